#include "InstallationStatus.h"

#include "DeviceModels.h"
#include "ElfImage.h"
#include "LinuxNames.h"
#include "SystemFiles.h"
#include "UdevRules.h"

namespace linuxsetup {

bool InstallationStatus::Registered() const {
    const bool usbConfOk = !usbConfPresent ||
                           (usbConfRead && usbConf.present == usbConf.expected && usbConf.misplaced == 0);
    return icaClient && moduleIniRead && moduleIni.Complete() && driverLoadable && rulesCurrent && usbConfOk;
}

InstallationStatus InspectInstallation(const SetupPaths& paths) {
    InstallationStatus status;
    status.paths = paths;
    status.icaClient = PathExists(paths.ModuleIni());
    const ElfMachine host = HostMachine();
    status.machine = host.name;
    FileOwner owner;

    std::string bytes;
    if (status.icaClient) {
        status.moduleIniRead = ReadRegularFile(paths.ModuleIni(), kMaxConfigFileBytes, bytes, owner, status.moduleIniError);
        if (status.moduleIniRead) status.moduleIni = InspectModuleIni(bytes);
    }

    status.driverPresent = PathExists(paths.DriverTarget());
    if (status.driverPresent) {
        // The header and program headers are within the first 64 KiB of any library we build.
        std::string why;
        if (ReadRegularFile(paths.DriverTarget(), kMaxDriverFileBytes, bytes, owner, why))
            status.driverLoadable = IsSharedObjectFor(bytes, host, status.driverWhy);
        else
            status.driverWhy = "unreadable: " + why;
    }

    std::string why;
    status.rulesPresent = PathExists(paths.Rules());
    if (status.rulesPresent && ReadRegularFile(paths.Rules(), kMaxConfigFileBytes, bytes, owner, why)) {
        status.rulesGroup = RulesGroup(bytes);
        status.rulesCurrent = bytes == UdevRulesText(SupportedModels(), status.rulesGroup);
    }

    status.usbConfPresent = PathExists(paths.UsbConf());
    if (status.usbConfPresent) {
        status.usbConfRead = ReadRegularFile(paths.UsbConf(), kMaxConfigFileBytes, bytes, owner, status.usbConfError);
        if (status.usbConfRead) status.usbConf = InspectUsbConf(bytes, SupportedModels());
    }
    return status;
}

std::vector<std::string> StatusLines(const InstallationStatus& s) {
    std::vector<std::string> lines;
    const std::string ini = s.paths.ModuleIni();
    if (!s.icaClient) {
        lines.push_back("No Citrix ICA Client in " + s.paths.icaRoot + " (no " + ini + ")");
    } else {
        lines.push_back("Citrix ICA Client in " + s.paths.icaRoot);
        if (!s.moduleIniRead) {
            lines.push_back("NOT registered: cannot read " + ini + ": " + s.moduleIniError);
        } else if (!s.moduleIni.icaSection) {
            lines.push_back(std::string("NOT registered: ") + ini + " has no [" + kICASection + "] section");
        } else {
            const ModuleIniStatus& m = s.moduleIni;
            lines.push_back(std::string(m.listEntry ? "" : "NOT registered: ") + kVirtualDriverKey + " in [" +
                            kICASection + "] of " + ini + (m.listEntry ? " lists " : " does not list ") + kChannelName +
                            (m.listKey ? " (" + m.list + ")" : " (no such key)"));
            lines.push_back(std::string(m.enabled ? "" : "NOT registered: no ") + kChannelName + "=" + kEnabledValue +
                            " in [" + kICASection + "]");
            lines.push_back(std::string(m.driverName ? "" : "NOT registered: no ") + "[" + kChannelName + "] with " +
                            kDriverNameKey + "=" + kDriverFileName);
        }
    }
    const std::string driver = s.paths.DriverTarget();
    if (!s.driverPresent)
        lines.push_back("NOT registered: no driver file " + driver);
    else if (!s.driverLoadable)
        lines.push_back("NOT registered: " + driver + " is " + s.driverWhy);
    else
        lines.push_back("Driver " + driver + " is an ELF shared object for " + s.machine);

    const std::string rules = s.paths.Rules();
    if (!s.rulesPresent)
        lines.push_back("NOT installed: no udev rules " + rules);
    else if (!s.rulesCurrent)
        lines.push_back("NOT current: udev rules " + rules + " differ from this version's");
    else
        lines.push_back("udev rules " + rules + " give access to " +
                        (s.rulesGroup.empty() ? std::string("the seat's user") : "the seat's user and group " + s.rulesGroup));

    const std::string usb = s.paths.UsbConf();
    if (!s.usbConfPresent) {
        lines.push_back("No " + usb + ": the ICA Client redirects no USB devices");
    } else if (!s.usbConfRead) {
        lines.push_back("NOT registered: cannot read " + usb + ": " + s.usbConfError);
    } else {
        const UsbConfStatus& u = s.usbConf;
        std::string line = std::to_string(u.present) + " of " + std::to_string(u.expected) +
                           " DENY lines in " + usb + " before its first other rule";
        if (u.misplaced) line += ", " + std::to_string(u.misplaced) + " misplaced or out of date";
        lines.push_back((u.present == u.expected && u.misplaced == 0 ? "" : "NOT registered: ") + line);
    }
    lines.push_back(s.Registered() ? "TovUSB is registered with the ICA Client"
                                   : "TovUSB is NOT registered with the ICA Client");
    return lines;
}

}  // namespace linuxsetup
