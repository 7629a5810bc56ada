#include "ChannelInstaller.h"

#include "DiskFile.h"
#include "InstallerNames.h"
#include "LabelledLog.h"
#include "LogText.h"
#include "PeImage.h"
#include "ProgramFolder.h"
#include "Registry.h"
#include "VirtualDriverList.h"
#include "WindowsBitness.h"

using namespace installer;

namespace {

CRegistry MachineValue(ClientBitness client, const char* key, const char* value) {
    return CRegistry(kRegistryLocalMachine, CFileName(key, FileNameSyntax::Windows()), value, Traits(client).view);
}

CFileName WindowsPath(const std::string& text) { return CFileName(text, FileNameSyntax::Windows()); }

std::string ClientLabel(ClientBitness client) { return std::string(Traits(client).name) + " client: "; }

// Reads the client's virtual driver list, lets `edit` add or remove the channel's entry and writes
// the list back when `edit` changed it, logging each step. False after the first failure (already
// logged), so the procedure stops there.
bool EditVirtualDriverList(ClientBitness client, CInstallerLogInterface& log,
                           bool (*edit)(std::string&, const std::string&)) {
    CRegistry driverList = MachineValue(client, kVirtualDriverListKey, kVirtualDriverListValue);
    std::string list;
    if (!driverList.ReadString(list)) {
        log.AddLogLine(FormatLogText("ERROR: Could not read value %s in registry key %s",
                                     driverList.GetValueName().c_str(), driverList.GetKeyPath().c_str()));
        return false;
    }
    log.AddLogLine(FormatLogText("Sucessfully read %s from value %s in registry key %s", list.c_str(),
                                 driverList.GetValueName().c_str(), driverList.GetKeyPath().c_str()));

    if (!edit(list, kChannelName)) return true;
    if (!driverList.WriteString(list)) {
        log.AddLogLine(FormatLogText("ERROR: Could not write value %s in registry key %s",
                                     driverList.GetValueName().c_str(), driverList.GetKeyPath().c_str()));
        return false;
    }
    log.AddLogLine(FormatLogText("Successfully wrote %s to value %s in registry key %s", list.c_str(),
                                 driverList.GetValueName().c_str(), driverList.GetKeyPath().c_str()));
    return true;
}

}  // namespace

CChannelInstaller::CChannelInstaller() : CChannelInstaller(GetProgramFolder) {}

CChannelInstaller::CChannelInstaller(ProgramFolderLookup programFolder, WindowsBitnessLookup is64BitWindows)
    : programFolder(std::move(programFolder)),
      is64BitWindows(is64BitWindows ? std::move(is64BitWindows) : WindowsBitnessLookup(IsWindows64Bit)) {}

bool CChannelInstaller::Is64BitWindows() const { return is64BitWindows(); }

std::string CChannelInstaller::GetICAClientFolder(ClientBitness client) const {
    // On 32-bit Windows the 64-bit view is the only registry there is: it holds the 32-bit client.
    if (client == ClientBitness::k64 && !Is64BitWindows()) return std::string();
    std::string folder;
    if (!MachineValue(client, kICAClientKey, kInstallFolderValue).ReadString(folder)) return std::string();
    return folder;
}

bool CChannelInstaller::IsICAClientInstalled(ClientBitness client) const {
    return !GetICAClientFolder(client).empty();
}

bool CChannelInstaller::IsChannelInstalled(ClientBitness client) const {
    if (client == ClientBitness::k64 && !Is64BitWindows()) return false;
    std::string driverName;
    return MachineValue(client, kChannelModuleKey, kDriverNameValue).ReadString(driverName);
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

bool CChannelInstaller::Is64BitClientPresent() const { return IsICAClientInstalled(ClientBitness::k64); }

std::vector<CChannelInstaller::ClientBitness> CChannelInstaller::ClientsFound() const {
    std::vector<ClientBitness> clients;
    for (ClientBitness client : {ClientBitness::k32, ClientBitness::k64})
        if (IsICAClientInstalled(client)) clients.push_back(client);
    return clients;
}

bool CChannelInstaller::CanInstall() const {
    for (ClientBitness client : ClientsFound())
        if (DriverSourceExists(client)) return true;
    return false;
}

bool CChannelInstaller::CanUninstall() const {
    for (ClientBitness client : ClientsFound())
        if (IsChannelInstalled(client)) return true;
    return false;
}

void CChannelInstaller::ReportState(CInstallerLogInterface& log) const {
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

bool CChannelInstaller::OnInstall(CInstallerLogInterface& log) const {
    if (!Is64BitClientPresent()) return InstallFor(ClientBitness::k32, log);
    bool allDone = true;
    for (ClientBitness client : ClientsFound()) {
        CLabelledLog labelled(log, ClientLabel(client));
        allDone = InstallFor(client, labelled) && allDone;
    }
    return allDone;
}

bool CChannelInstaller::OnUninstall(CInstallerLogInterface& log) const {
    if (!Is64BitClientPresent()) return UninstallFor(ClientBitness::k32, log);
    const std::vector<ClientBitness> clients = ClientsFound();
    bool allDone = true;
    for (ClientBitness client : clients) {
        CLabelledLog labelled(log, ClientLabel(client));
        // With two clients the channel may be registered with one of them only; the other one
        // has nothing to remove, which is not a failure.
        if (clients.size() > 1 && !IsChannelInstalled(client)) {
            labelled.AddLogLine("Citrix virtual channel is not installed, nothing to remove");
            continue;
        }
        allDone = UninstallFor(client, labelled) && allDone;
    }
    return allDone;
}

bool CChannelInstaller::InstallFor(ClientBitness client, CInstallerLogInterface& log) const {
    if (!IsICAClientInstalled(client)) {
        log.AddLogLine("ERROR: Citrix client is not installed");
        return false;
    }
    if (!DriverSourceExists(client)) {
        log.AddLogLine("Error: Citrix client DLL does not exist");
        return false;
    }
    const std::string source = GetDriverSourcePath(client);
    // The client loads only a driver of its own machine type; a wrong file copied in would be
    // registered but never load. Checked before anything is changed.
    if (!IsDllForMachine(source, Traits(client).machine)) {
        log.AddLogLine(FormatLogText("ERROR: %s is not a %s DLL", source.c_str(), Traits(client).machineText));
        return false;
    }

    CRegistry module = MachineValue(client, kChannelModuleKey, kDriverNameValue);
    if (!module.WriteString(kDriverFileName)) {
        log.AddLogLine(FormatLogText("ERROR: Could not write to value %s in registry key %s",
                                     module.GetValueName().c_str(), module.GetKeyPath().c_str()));
        return false;
    }
    log.AddLogLine(FormatLogText("Successfully added %s to registry value %s", kDriverFileName,
                                 module.GetKeyPath().c_str()));

    if (!EditVirtualDriverList(client, log, AddToList)) return false;

    const std::string target = GetDriverTargetPath(client);
    if (!CDiskFile(WindowsPath(source)).CopyTo(WindowsPath(target), false, true)) {
        log.AddLogLine(FormatLogText("ERROR: Could not copy %s to %s", source.c_str(), target.c_str()));
        return false;
    }
    log.AddLogLine(FormatLogText("Successfully copied %s to %s", source.c_str(), target.c_str()));
    log.AddLogLine("Citrix client installation finished successfully\r\n");
    log.Refresh();
    return true;
}

bool CChannelInstaller::UninstallFor(ClientBitness client, CInstallerLogInterface& log) const {
    if (!IsICAClientInstalled(client)) {
        log.AddLogLine("ERROR: Citrix client is not installed");
        return false;
    }

    CRegistry module = MachineValue(client, kChannelModuleKey, kDriverNameValue);
    if (!module.DeleteKey()) {
        log.AddLogLine(FormatLogText("ERROR: Could not delete registry key %s", module.GetKeyPath().c_str()));
        return false;
    }
    log.AddLogLine(FormatLogText("Successfully deleted registry key %s", module.GetKeyPath().c_str()));

    if (!EditVirtualDriverList(client, log, RemoveFromList)) return false;

    const std::string target = GetDriverTargetPath(client);
    if (!CDiskFile(WindowsPath(target)).Delete()) {
        log.AddLogLine(FormatLogText("ERROR: Could not delete %s", target.c_str()));
        return false;
    }
    log.AddLogLine(FormatLogText("Successfully deleted %s", target.c_str()));
    log.AddLogLine("Citrix client uninstall finished successfully\r\n");
    log.Refresh();
    return true;
}
