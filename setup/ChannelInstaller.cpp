#include "ChannelInstaller.h"

#include "DiskFile.h"
#include "DriverFile.h"
#include "InstallerNames.h"
#include "LabelledLog.h"
#include "LogText.h"
#include "PeImage.h"
#include "ProgramFolder.h"
#include "Registry.h"
#include "RegistryValueType.h"
#include "UserClient.h"
#include "VirtualDriverList.h"
#include "WindowsBitness.h"

using namespace installer;

// The state of one client before the install changed it, and what it changed.
struct CChannelInstaller::ClientChanges {
    ClientBitness client = ClientBitness::k32;
    std::string label;  // in front of the client's lines: "64-bit client: ", or ""

    bool moduleWritten = false;  // "DriverNameWin32" was written
    bool moduleKeyExisted = false;
    bool moduleValueExisted = false;
    std::string moduleValueBefore;

    bool listWritten = false;  // "VirtualDriverEx" was written
    std::string listBefore;

    std::string target;       // the driver file in the client's folder
    std::string movedAside;   // the file that was there before, renamed aside; "" when none
    bool copied = false;      // the new file was copied in
};

namespace {

CFileName WindowsPath(const std::string& text) { return CFileName(text, FileNameSyntax::Windows()); }

std::string ClientLabel(ClientBitness client) { return std::string(Traits(client).name) + " client: "; }

// The log as one client's lines are written: with the client's name in front on a PC that has
// more than one client and for the per-user client, unchanged otherwise.
class CClientLog : public CInstallerLogInterface {
public:
    CClientLog(CInstallerLogInterface& log, const std::string& label) : labelled(log, label) {}
    void AddLogLine(const std::string& text) override { labelled.AddLogLine(text); }
    void Refresh() override { labelled.Refresh(); }

private:
    CLabelledLog labelled;
};

std::string ReadFailed(const CRegistry& value) {
    return FormatLogText("ERROR: Could not read value %s in registry key %s", value.GetValueName().c_str(),
                         value.GetKeyPath().c_str());
}

std::string WriteFailed(const CRegistry& value) {
    return FormatLogText("ERROR: Could not write value %s in registry key %s", value.GetValueName().c_str(),
                         value.GetKeyPath().c_str());
}

std::string Wrote(const CRegistry& value, const std::string& list) {
    return FormatLogText("Successfully wrote %s to value %s in registry key %s", list.c_str(),
                         value.GetValueName().c_str(), value.GetKeyPath().c_str());
}

// Reads the client's virtual driver list and logs it. False (logged) when it cannot be read.
bool ReadVirtualDriverList(const CRegistry& driverList, std::string& list, CInstallerLogInterface& log) {
    if (!driverList.ReadString(list)) {
        log.AddLogLine(ReadFailed(driverList));
        return false;
    }
    log.AddLogLine(FormatLogText("Sucessfully read %s from value %s in registry key %s", list.c_str(),
                                 driverList.GetValueName().c_str(), driverList.GetKeyPath().c_str()));
    return true;
}

// The line for a driver that a running ICA Client has loaded and that was renamed aside; `ending`
// is "replacement" or "removal".
std::string InUseLine(const std::string& target, const std::string& aside, bool markedForRestart,
                      const char* ending) {
    return FormatLogText(markedForRestart ? "%s is in use; it was renamed to %s and is deleted at the next restart. A "
                                            "restart (or the end of the running Citrix sessions) completes the %s"
                                          : "%s is in use; it was renamed to %s, which the next install or uninstall "
                                            "deletes. A restart (or the end of the running Citrix sessions) completes "
                                            "the %s",
                         target.c_str(), aside.c_str(), ending);
}

}  // namespace

CChannelInstaller::CChannelInstaller() : CChannelInstaller(GetProgramFolder) {}

CChannelInstaller::CChannelInstaller(InstallScope scope) : CChannelInstaller(GetProgramFolder) { this->scope = scope; }

CChannelInstaller::CChannelInstaller(ProgramFolderLookup programFolder, WindowsBitnessLookup is64BitWindows)
    : programFolder(std::move(programFolder)),
      is64BitWindows(is64BitWindows ? std::move(is64BitWindows) : WindowsBitnessLookup(IsWindows64Bit)) {}

bool CChannelInstaller::Is64BitWindows() const { return is64BitWindows(); }

CRegistry CChannelInstaller::Value(ClientBitness client, const char* key, const char* value) const {
    // The per-user client's keys are the user's own: HKEY_CURRENT_USER\SOFTWARE is one for both views.
    if (IsPerUser()) return CRegistry(kRegistryCurrentUser, WindowsPath(key), value, RegistryView::kProgram);
    return CRegistry(kRegistryLocalMachine, WindowsPath(key), value, Traits(client).view);
}

bool CChannelInstaller::ValueType(ClientBitness client, const char* key, const char* value, uint32_t& type) const {
    return IsPerUser() ? QueryValueType(kRegistryCurrentUser, RegistryView::kProgram, key, value, type)
                       : QueryValueType(kRegistryLocalMachine, Traits(client).view, key, value, type);
}

bool CChannelInstaller::KeyPresent(ClientBitness client, const char* key) const {
    return IsPerUser() ? KeyExists(kRegistryCurrentUser, RegistryView::kProgram, key)
                       : KeyExists(kRegistryLocalMachine, Traits(client).view, key);
}

std::string CChannelInstaller::Label(ClientBitness client, bool perClient) const {
    if (IsPerUser()) return "Per-user client: ";
    return perClient ? ClientLabel(client) : std::string();
}

std::string CChannelInstaller::GetICAClientFolder(ClientBitness client) const {
    // On 32-bit Windows the 64-bit view is the only registry there is: it holds the 32-bit client.
    if (client == ClientBitness::k64 && !Is64BitWindows()) return std::string();
    if (IsPerUser()) {
        UserClient found;
        return FindUserClient(found) && found.bitness == client ? found.folder : std::string();
    }
    std::string folder;
    if (!Value(client, kICAClientKey, kInstallFolderValue).ReadString(folder)) return std::string();
    uint32_t type = kRegString;
    if (ValueType(client, kICAClientKey, kInstallFolderValue, type) &&
        type == kRegExpandString)
        folder = ExpandEnvironmentReferences(folder);
    return folder;
}

bool CChannelInstaller::IsICAClientInstalled(ClientBitness client) const {
    return !GetICAClientFolder(client).empty();
}

bool CChannelInstaller::IsClientFolderPresent(ClientBitness client) const {
    return FolderExists(GetICAClientFolder(client));
}

bool CChannelInstaller::IsModuleKeyPresent(ClientBitness client) const {
    if (client == ClientBitness::k64 && !Is64BitWindows()) return false;
    std::string driverName;
    return Value(client, kChannelModuleKey, kDriverNameValue).ReadString(driverName);
}

bool CChannelInstaller::IsListEntryPresent(ClientBitness client) const {
    if (client == ClientBitness::k64 && !Is64BitWindows()) return false;
    std::string list;
    return Value(client, kVirtualDriverListKey, kVirtualDriverListValue).ReadString(list) &&
           FindInList(list, kChannelName) != std::string::npos;
}

bool CChannelInstaller::IsDriverFilePresent(ClientBitness client) const {
    const std::string target = GetDriverTargetPath(client);
    return !target.empty() && CDiskFile(WindowsPath(target)).Exists();
}

bool CChannelInstaller::IsChannelInstalled(ClientBitness client) const {
    if (client == ClientBitness::k64 && !Is64BitWindows()) return false;
    return KeyPresent(client, kChannelModuleKey) || IsListEntryPresent(client) ||
           IsDriverFilePresent(client);
}

std::string CChannelInstaller::GetDriverSourcePath(ClientBitness client) const {
    CFileName folder(FileNameSyntax::Windows());
    if (!programFolder || !programFolder(folder)) throw 1;
    if (*Traits(client).sourceFolder) folder.AddFolder(Traits(client).sourceFolder);
    folder.SetName(kDriverName);
    folder.SetExtension(kDriverExtension);
    return folder.GetFullName();
}

bool CChannelInstaller::DriverSourceExists(ClientBitness client) const {
    try {
        return CDiskFile(WindowsPath(GetDriverSourcePath(client))).Exists();
    } catch (int) {
        return false;
    }
}

std::string CChannelInstaller::GetDriverTargetPath(ClientBitness client) const {
    std::string folder = GetICAClientFolder(client);
    if (folder.empty()) return folder;
    // The value normally ends with a backslash. Without one, appending the file name directly
    // would name a file beside the folder ("...\ICA ClientTovaroCitrixVC.dll") that the ICA Client
    // never loads, so the separator is added.
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder + kDriverFileName;
}

bool CChannelInstaller::IsRegistrationWhole(ClientBitness client) const {
    if (client == ClientBitness::k64 && !Is64BitWindows()) return false;
    std::string driverName;
    if (!Value(client, kChannelModuleKey, kDriverNameValue).ReadString(driverName) ||
        driverName != kDriverFileName || !IsListEntryPresent(client))
        return false;
    const std::string target = GetDriverTargetPath(client);
    try {
        return !target.empty() && SameFileContent(GetDriverSourcePath(client), target);
    } catch (int) {
        return false;
    }
}

bool CChannelInstaller::Is64BitClientPresent() const {
    return !IsPerUser() && IsICAClientInstalled(ClientBitness::k64);
}

std::vector<CChannelInstaller::ClientBitness> CChannelInstaller::ClientsFound() const {
    std::vector<ClientBitness> clients;
    for (ClientBitness client : {ClientBitness::k32, ClientBitness::k64})
        if (IsICAClientInstalled(client) && IsClientFolderPresent(client)) clients.push_back(client);
    return clients;
}

bool CChannelInstaller::CanInstall() const {
    // Install registers every client or none, so each one needs its driver.
    const std::vector<ClientBitness> clients = ClientsFound();
    for (ClientBitness client : clients)
        if (!DriverSourceExists(client)) return false;
    return !clients.empty();
}

bool CChannelInstaller::CanUninstall() const {
    for (ClientBitness client : ClientsFound())
        if (IsChannelInstalled(client)) return true;
    return false;
}

void CChannelInstaller::ReportUserClient(CInstallerLogInterface& log) const {
    for (ClientBitness client : {ClientBitness::k32, ClientBitness::k64}) {
        const std::string folder = GetICAClientFolder(client);
        if (folder.empty()) continue;
        log.AddLogLine(FormatLogText("Per-user client: %s Citrix client of this user is installed in %s", Traits(client).name,
                                     folder.c_str()));
        log.AddLogLine(IsChannelInstalled(client) ? "Per-user client: Citrix virtual channel is already installed"
                                                  : "Per-user client: Citrix virtual channel is not installed");
        if (!DriverSourceExists(client)) {
            std::string source;
            try {
                source = GetDriverSourcePath(client);
            } catch (int) {
            }
            log.AddLogLine(FormatLogText("Per-user client: ERROR: Could not find Citrix client DLL (%s)", source.c_str()));
        }
        return;
    }
    log.AddLogLine("Per-user client: no Citrix client installed by this user");
}

void CChannelInstaller::ReportState(CInstallerLogInterface& log) const {
    if (IsPerUser()) {
        ReportUserClient(log);
        return;
    }
    ReportMachineClients(log);
    // A per-user client of the user running the program is named after the machine-wide ones: the
    // machine-wide procedures do not reach it, /install /user does.
    CChannelInstaller user = *this;
    user.scope = InstallScope::kUser;
    if (user.ClientsFound().empty()) return;
    user.ReportUserClient(log);
    log.AddLogLine("Per-user client: registered only by TovaroCitrixVCClientSetup.exe /install /user, run by this "
                   "user; the machine-wide install does not reach it");
}

void CChannelInstaller::ReportMachineClients(CInstallerLogInterface& log) const {
    const bool perClient = Is64BitClientPresent();
    for (ClientBitness client : {ClientBitness::k32, ClientBitness::k64}) {
        const std::string folder = GetICAClientFolder(client);
        const std::string name = Traits(client).name;
        if (!perClient) {
            // The 32-bit client alone: its lines as they have always been.
            if (client == ClientBitness::k64) break;
            if (!folder.empty())
                log.AddLogLine(FormatLogText("Citrix client is installed in %s", folder.c_str()));
            else
                log.AddLogLine("Citrix client is not installed");
            log.AddLogLine(IsChannelInstalled(client) ? "Citrix virutal channel is already installed"
                                                      : "Citrix virtual channel is not installed");
        } else if (folder.empty()) {
            log.AddLogLine(name + " Citrix client is not installed");
            continue;
        } else {
            log.AddLogLine(FormatLogText("%s Citrix client is installed in %s", name.c_str(), folder.c_str()));
            log.AddLogLine(FormatLogText(IsChannelInstalled(client)
                                             ? "Citrix virtual channel is already installed for the %s Citrix client"
                                             : "Citrix virtual channel is not installed for the %s Citrix client",
                                         name.c_str()));
        }
        if (!folder.empty() && !IsClientFolderPresent(client)) {
            CClientLog(log, Label(client, perClient))
                .AddLogLine(FormatLogText("Citrix client is registered but its folder %s does not exist", folder.c_str()));
            continue;
        }
        if (!DriverSourceExists(client)) {
            std::string source;
            try {
                source = GetDriverSourcePath(client);
            } catch (int) {
                // The program's own folder is always found while it runs; an empty path otherwise.
            }
            log.AddLogLine(perClient ? FormatLogText("ERROR: Could not find %s Citrix client DLL (%s)", name.c_str(),
                                                     source.c_str())
                                     : FormatLogText("ERROR: Could not find Citrix client DLL (%s)", source.c_str()));
        }
    }
}

void CChannelInstaller::ReportMissingFolders(CInstallerLogInterface& log) const {
    const bool perClient = Is64BitClientPresent();
    for (ClientBitness client : {ClientBitness::k32, ClientBitness::k64}) {
        const std::string folder = GetICAClientFolder(client);
        if (folder.empty() || IsClientFolderPresent(client)) continue;
        CClientLog(log, Label(client, perClient))
            .AddLogLine(FormatLogText("Citrix client is registered but its folder %s does not exist; it is skipped",
                                      folder.c_str()));
    }
}

bool CChannelInstaller::CheckListType(ClientBitness client, CInstallerLogInterface& log) const {
    // Only a REG_SZ list can be edited as text: a REG_MULTI_SZ list read as a string ends at its
    // first entry, and writing it back as REG_SZ would lose the others' drivers.
    uint32_t type = kRegString;
    if (!ValueType(client, kVirtualDriverListKey, kVirtualDriverListValue, type) ||
        type == kRegString)
        return true;
    log.AddLogLine(FormatLogText("ERROR: Value %s in registry key %s is of type %s, not REG_SZ; nothing was changed",
                                 kVirtualDriverListValue, kVirtualDriverListKey, RegistryTypeName(type).c_str()));
    return false;
}

bool CChannelInstaller::CheckBeforeInstall(ClientBitness client, CInstallerLogInterface& log) const {
    if (!DriverSourceExists(client)) {
        log.AddLogLine("Error: Citrix client DLL does not exist");
        return false;
    }
    const std::string source = GetDriverSourcePath(client);
    // The client loads only a driver of its own machine type; a wrong file copied in would be
    // registered but never load.
    if (!IsDllForMachine(source, Traits(client).machine)) {
        log.AddLogLine(FormatLogText("ERROR: %s is not a %s DLL", source.c_str(), Traits(client).machineText));
        return false;
    }
    return CheckListType(client, log);
}

bool CChannelInstaller::CheckSeparateFolders(const std::vector<ClientBitness>& clients,
                                             CInstallerLogInterface& log) const {
    if (clients.size() < 2) return true;
    const std::string folder = GetICAClientFolder(clients[0]);
    if (!IsSameFolder(folder, GetICAClientFolder(clients[1]))) return true;
    // One file cannot be both clients' driver: each install would overwrite the other's.
    log.AddLogLine(FormatLogText(
        "ERROR: The 32-bit and the 64-bit Citrix client both name the folder %s; nothing was installed",
        folder.c_str()));
    return false;
}

std::string CChannelInstaller::NotInstalledLine() const {
    if (!IsPerUser()) return "ERROR: Citrix client is not installed";
    return "ERROR: No Citrix client installed by this user: %LOCALAPPDATA%\\Citrix\\ICA Client holds no wfica*.exe, or "
           "HKEY_CURRENT_USER\\" + std::string(kVirtualDriverListKey) + " is missing";
}

bool CChannelInstaller::OnInstall(CInstallerLogInterface& log) const {
    const bool perClient = Is64BitClientPresent();
    ReportMissingFolders(log);
    const std::vector<ClientBitness> clients = ClientsFound();
    if (clients.empty()) {
        log.AddLogLine(NotInstalledLine());
        return false;
    }

    // Everything that can be known in advance is checked for every client before anything changes.
    bool ready = true;
    for (ClientBitness client : clients) {
        CClientLog clientLog(log, Label(client, perClient));
        ready = CheckBeforeInstall(client, clientLog) && ready;
    }
    if (!ready || !CheckSeparateFolders(clients, log)) return false;

    std::vector<ClientChanges> changes;
    for (ClientBitness client : clients) {
        DeleteMovedAsideFiles(GetICAClientFolder(client));
        changes.emplace_back();
        changes.back().client = client;
        changes.back().label = Label(client, perClient);
        CClientLog clientLog(log, Label(client, perClient));
        if (!InstallFor(client, clientLog, changes.back())) {
            // Put back every client's state as it was before this install, the last change first.
            for (auto undo = changes.rbegin(); undo != changes.rend(); ++undo) PutBack(*undo, log);
            log.AddLogLine("ERROR: Citrix client installation failed; what it had changed was put back");
            log.Refresh();
            return false;
        }
    }
    for (const ClientChanges& done : changes) FinishInstall(done, log);
    return true;
}

bool CChannelInstaller::OnHeal(CInstallerLogInterface& log) const {
    const bool perClient = Is64BitClientPresent();
    bool allWhole = true;
    for (ClientBitness client : ClientsFound()) {
        if (IsRegistrationWhole(client)) continue;
        CClientLog clientLog(log, Label(client, perClient));
        clientLog.AddLogLine("Citrix virtual channel is not wholly registered; registering it");
        if (!CheckBeforeInstall(client, clientLog)) {
            allWhole = false;
            continue;
        }
        ClientChanges changes;
        changes.client = client;
        changes.label = Label(client, perClient);
        if (!InstallFor(client, clientLog, changes, true)) {
            PutBack(changes, log);
            clientLog.AddLogLine("ERROR: Citrix client installation failed; what it had changed was put back");
            clientLog.Refresh();
            allWhole = false;
            continue;
        }
        FinishInstall(changes, log);
    }
    return allWhole;
}

bool CChannelInstaller::InstallFor(ClientBitness client, CInstallerLogInterface& log, ClientChanges& changes,
                                   bool keepWhatIsRight) const {
    const std::string source = GetDriverSourcePath(client);

    CRegistry module = Value(client, kChannelModuleKey, kDriverNameValue);
    changes.moduleKeyExisted = KeyPresent(client, kChannelModuleKey);
    changes.moduleValueExisted = changes.moduleKeyExisted && module.ReadString(changes.moduleValueBefore);
    if (keepWhatIsRight && changes.moduleValueExisted && changes.moduleValueBefore == kDriverFileName) {
        // Already right: nothing is written, so there is nothing to put back either.
    } else if (!module.WriteString(kDriverFileName)) {
        // A failed write may still have created the key: the put-back deletes it again.
        changes.moduleWritten = true;
        log.AddLogLine(FormatLogText("ERROR: Could not write to value %s in registry key %s",
                                     module.GetValueName().c_str(), module.GetKeyPath().c_str()));
        return false;
    } else {
        changes.moduleWritten = true;
        log.AddLogLine(FormatLogText("Successfully added %s to registry value %s", kDriverFileName,
                                     module.GetKeyPath().c_str()));
    }

    CRegistry driverList = Value(client, kVirtualDriverListKey, kVirtualDriverListValue);
    std::string list;
    if (!ReadVirtualDriverList(driverList, list, log)) return false;
    const std::string listBefore = list;
    if (AddToList(list, kChannelName)) {
        changes.listBefore = listBefore;
        changes.listWritten = true;
        if (!driverList.WriteString(list)) {
            log.AddLogLine(WriteFailed(driverList));
            return false;
        }
        log.AddLogLine(Wrote(driverList, list));
    }

    // The file there before is renamed aside rather than deleted: a loaded driver can only be
    // renamed, and a failure later on can move it back.
    changes.target = GetDriverTargetPath(client);
    if (keepWhatIsRight && SameFileContent(source, changes.target)) return true;
    CDiskFile sourceFile(WindowsPath(source));
    if (CDiskFile(WindowsPath(changes.target)).Exists()) {
        changes.movedAside = MoveAside(changes.target);
        if (changes.movedAside.empty()) {
            log.AddLogLine(FormatLogText("ERROR: Could not copy %s to %s", source.c_str(), changes.target.c_str()));
            return false;
        }
    }
    if (!sourceFile.CopyTo(WindowsPath(changes.target), false, false)) {
        log.AddLogLine(FormatLogText("ERROR: Could not copy %s to %s", source.c_str(), changes.target.c_str()));
        return false;
    }
    changes.copied = true;
    log.AddLogLine(FormatLogText("Successfully copied %s to %s", source.c_str(), changes.target.c_str()));
    return true;
}

void CChannelInstaller::FinishInstall(const ClientChanges& changes, CInstallerLogInterface& log) const {
    CClientLog clientLog(log, changes.label);
    if (!changes.movedAside.empty() && !DeleteDriverFile(changes.movedAside)) {
        // Still loaded by a running ICA Client: new sessions load the new file already.
        clientLog.AddLogLine(InUseLine(changes.target, changes.movedAside, DeleteAtRestart(changes.movedAside),
                                       "replacement"));
    }
    clientLog.AddLogLine("Citrix client installation finished successfully\r\n");
    clientLog.Refresh();
}

void CChannelInstaller::PutBack(const ClientChanges& changes, CInstallerLogInterface& log) const {
    CClientLog clientLog(log, changes.label);
    if (changes.copied || !changes.movedAside.empty()) {
        // The new copy was not loaded by anyone yet, so it can be deleted.
        if (changes.copied && !DeleteDriverFile(changes.target))
            clientLog.AddLogLine(FormatLogText("ERROR: Could not delete %s", changes.target.c_str()));
        else if (!changes.movedAside.empty() && !MoveBack(changes.movedAside, changes.target))
            clientLog.AddLogLine(FormatLogText("ERROR: Could not move %s back to %s", changes.movedAside.c_str(),
                                               changes.target.c_str()));
        else
            clientLog.AddLogLine(FormatLogText(changes.movedAside.empty() ? "Put back: deleted %s"
                                                                          : "Put back: the previous %s",
                                               changes.target.c_str()));
    }
    if (changes.listWritten) {
        CRegistry driverList = Value(changes.client, kVirtualDriverListKey, kVirtualDriverListValue);
        if (!driverList.WriteString(changes.listBefore))
            clientLog.AddLogLine(WriteFailed(driverList));
        else
            clientLog.AddLogLine("Put back: " + Wrote(driverList, changes.listBefore));
    }
    if (changes.moduleWritten) {
        CRegistry module = Value(changes.client, kChannelModuleKey, kDriverNameValue);
        bool done;
        if (!changes.moduleKeyExisted)
            done = module.DeleteKey();
        else if (changes.moduleValueExisted)
            done = module.WriteString(changes.moduleValueBefore);
        else
            done = module.DeleteValue();
        if (!done)
            clientLog.AddLogLine(FormatLogText("ERROR: Could not put back registry key %s", module.GetKeyPath().c_str()));
        else if (!changes.moduleKeyExisted)
            clientLog.AddLogLine(FormatLogText("Put back: deleted registry key %s", module.GetKeyPath().c_str()));
        else
            clientLog.AddLogLine(FormatLogText("Put back: value %s in registry key %s as it was",
                                               module.GetValueName().c_str(), module.GetKeyPath().c_str()));
    }
}

bool CChannelInstaller::OnUninstall(CInstallerLogInterface& log) const {
    const bool perClient = Is64BitClientPresent();
    ReportMissingFolders(log);
    const std::vector<ClientBitness> clients = ClientsFound();
    if (clients.empty()) {
        log.AddLogLine(NotInstalledLine());
        return false;
    }
    bool ready = true;
    for (ClientBitness client : clients) {
        CClientLog clientLog(log, Label(client, perClient));
        ready = CheckListType(client, clientLog) && ready;
    }
    if (!ready) return false;

    bool allDone = true;
    for (ClientBitness client : clients) {
        CClientLog clientLog(log, Label(client, perClient));
        // With two clients the channel may be registered with one of them only; the other one
        // has nothing to remove, which is not a failure.
        if (clients.size() > 1 && !IsChannelInstalled(client)) {
            clientLog.AddLogLine("Citrix virtual channel is not installed, nothing to remove");
            continue;
        }
        allDone = UninstallFor(client, clientLog) && allDone;
    }
    return allDone;
}

bool CChannelInstaller::UninstallFor(ClientBitness client, CInstallerLogInterface& log) const {
    DeleteMovedAsideFiles(GetICAClientFolder(client));
    // Each piece is removed on its own: one that is already gone, or that cannot be removed now,
    // does not keep the others in place.
    bool allDone = true;

    CRegistry module = Value(client, kChannelModuleKey, kDriverNameValue);
    if (!KeyPresent(client, kChannelModuleKey)) {
        log.AddLogLine(FormatLogText("Registry key %s does not exist, nothing to delete", module.GetKeyPath().c_str()));
    } else if (!module.DeleteKey()) {
        log.AddLogLine(FormatLogText("ERROR: Could not delete registry key %s", module.GetKeyPath().c_str()));
        allDone = false;
    } else {
        log.AddLogLine(FormatLogText("Successfully deleted registry key %s", module.GetKeyPath().c_str()));
    }

    CRegistry driverList = Value(client, kVirtualDriverListKey, kVirtualDriverListValue);
    std::string list;
    uint32_t type = kRegString;
    if (!ValueType(client, kVirtualDriverListKey, kVirtualDriverListValue, type)) {
        log.AddLogLine(FormatLogText("Value %s in registry key %s does not exist, nothing to remove",
                                     driverList.GetValueName().c_str(), driverList.GetKeyPath().c_str()));
    } else if (!ReadVirtualDriverList(driverList, list, log)) {
        allDone = false;
    } else if (RemoveFromList(list, kChannelName)) {
        if (!driverList.WriteString(list)) {
            log.AddLogLine(WriteFailed(driverList));
            allDone = false;
        } else {
            log.AddLogLine(Wrote(driverList, list));
        }
    }

    const std::string target = GetDriverTargetPath(client);
    if (!CDiskFile(WindowsPath(target)).Exists()) {
        log.AddLogLine(FormatLogText("%s does not exist, nothing to delete", target.c_str()));
    } else if (DeleteDriverFile(target)) {
        log.AddLogLine(FormatLogText("Successfully deleted %s", target.c_str()));
    } else {
        // Loaded by a running ICA Client: renamed aside, it is no longer the client's driver.
        const std::string aside = MoveAside(target);
        if (aside.empty()) {
            log.AddLogLine(FormatLogText("ERROR: Could not delete %s", target.c_str()));
            allDone = false;
        } else {
            log.AddLogLine(InUseLine(target, aside, DeleteAtRestart(aside), "removal"));
        }
    }
    if (!allDone) return false;
    log.AddLogLine("Citrix client uninstall finished successfully\r\n");
    log.Refresh();
    return true;
}
