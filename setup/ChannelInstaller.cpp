#include "ChannelInstaller.h"

#include "DiskFile.h"
#include "InstallerNames.h"
#include "LogText.h"
#include "ProgramFolder.h"
#include "Registry.h"
#include "VirtualDriverList.h"

using namespace installer;

namespace {

CRegistry MachineValue(const char* key, const char* value) {
    return CRegistry(kRegistryLocalMachine, CFileName(key, FileNameSyntax::Windows()), value);
}

CFileName WindowsPath(const std::string& text) { return CFileName(text, FileNameSyntax::Windows()); }

// Reads the ICA Client's virtual driver list, lets `edit` add or remove the channel's entry and
// writes the list back when `edit` changed it, logging each step. False after the first failure
// (already logged), so the procedure stops there.
bool EditVirtualDriverList(CInstallerLogInterface& log, bool (*edit)(std::string&, const std::string&)) {
    CRegistry driverList = MachineValue(kVirtualDriverListKey, kVirtualDriverListValue);
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

CChannelInstaller::CChannelInstaller() : programFolder(GetProgramFolder) {}

CChannelInstaller::CChannelInstaller(ProgramFolderLookup programFolder)
    : programFolder(std::move(programFolder)) {}

std::string CChannelInstaller::GetICAClientFolder() const {
    std::string folder;
    if (!MachineValue(kICAClientKey, kInstallFolderValue).ReadString(folder)) return std::string();
    return folder;
}

bool CChannelInstaller::IsICAClientInstalled() const { return !GetICAClientFolder().empty(); }

bool CChannelInstaller::IsChannelInstalled() const {
    std::string driverName;
    return MachineValue(kChannelModuleKey, kDriverNameValue).ReadString(driverName);
}

std::string CChannelInstaller::GetDriverSourcePath() const {
    CFileName folder(FileNameSyntax::Windows());
    if (!programFolder || !programFolder(folder)) throw 1;
    folder.SetName(kDriverName);
    folder.SetExtension(kDriverExtension);
    return folder.GetFullName();
}

bool CChannelInstaller::DriverSourceExists() const {
    try {
        return CDiskFile(WindowsPath(GetDriverSourcePath())).Exists();
    } catch (int) {
        return false;
    }
}

std::string CChannelInstaller::GetDriverTargetPath() const {
    std::string folder = GetICAClientFolder();
    if (folder.empty()) return folder;
    // The value normally ends with a backslash. Without one, appending the file name directly
    // would name a file beside the folder ("...\ICA ClientTovaroCitrixVC.dll") that the ICA Client
    // never loads, so the separator is added.
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder + kDriverFileName;
}

void CChannelInstaller::OnInstall(CInstallerLogInterface& log) const {
    if (!IsICAClientInstalled()) {
        log.AddLogLine("ERROR: Citrix client is not installed");
        return;
    }
    if (!DriverSourceExists()) {
        log.AddLogLine("Error: Citrix client DLL does not exist");
        return;
    }

    CRegistry module = MachineValue(kChannelModuleKey, kDriverNameValue);
    if (!module.WriteString(kDriverFileName)) {
        log.AddLogLine(FormatLogText("ERROR: Could not write to value %s in registry key %s",
                                     module.GetValueName().c_str(), module.GetKeyPath().c_str()));
        return;
    }
    log.AddLogLine(FormatLogText("Successfully added %s to registry value %s", kDriverFileName,
                                 module.GetKeyPath().c_str()));

    if (!EditVirtualDriverList(log, AddToList)) return;

    const std::string source = GetDriverSourcePath();
    const std::string target = GetDriverTargetPath();
    if (!CDiskFile(WindowsPath(source)).CopyTo(WindowsPath(target), false, true)) {
        log.AddLogLine(FormatLogText("ERROR: Could not copy %s to %s", source.c_str(), target.c_str()));
        return;
    }
    log.AddLogLine(FormatLogText("Successfully copied %s to %s", source.c_str(), target.c_str()));
    log.AddLogLine("Citrix client installation finished successfully\r\n");
    log.Refresh();
}

void CChannelInstaller::OnUninstall(CInstallerLogInterface& log) const {
    if (!IsICAClientInstalled()) {
        log.AddLogLine("ERROR: Citrix client is not installed");
        return;
    }

    CRegistry module = MachineValue(kChannelModuleKey, kDriverNameValue);
    if (!module.DeleteKey()) {
        log.AddLogLine(FormatLogText("ERROR: Could not delete registry key %s", module.GetKeyPath().c_str()));
        return;
    }
    log.AddLogLine(FormatLogText("Successfully deleted registry key %s", module.GetKeyPath().c_str()));

    if (!EditVirtualDriverList(log, RemoveFromList)) return;

    const std::string target = GetDriverTargetPath();
    if (!CDiskFile(WindowsPath(target)).Delete()) {
        log.AddLogLine(FormatLogText("ERROR: Could not delete %s", target.c_str()));
        return;
    }
    log.AddLogLine(FormatLogText("Successfully deleted %s", target.c_str()));
    log.AddLogLine("Citrix client uninstall finished successfully\r\n");
    log.Refresh();
}
