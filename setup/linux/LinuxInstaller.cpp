#include "LinuxInstaller.h"

#include <grp.h>

#include "DeviceModels.h"
#include "DeviceNodeAccess.h"
#include "ElfImage.h"
#include "InstallationStatus.h"
#include "LinuxNames.h"
#include "ModuleIniEdit.h"
#include "ProgramRunner.h"
#include "SystemFiles.h"
#include "UdevRules.h"
#include "UsbConfEdit.h"

namespace linuxsetup {

namespace {

// A configuration file as read: where it really is (symbolic links resolved, so the link stays a
// link), its bytes, owner and mode.
struct ConfigFile {
    std::string path;      // as named
    std::string realPath;  // where the replacement goes
    std::string bytes;
    FileOwner owner;
};

bool ReadConfig(const std::string& path, ConfigFile& file, SetupLog& log) {
    file.path = path;
    std::string why;
    if (!ResolveExisting(path, file.realPath, why) ||
        !ReadRegularFile(file.realPath, kMaxConfigFileBytes, file.bytes, file.owner, why)) {
        log.Error("Could not read " + path + ": " + why);
        return false;
    }
    return true;
}

bool WriteConfig(const ConfigFile& file, const std::string& bytes, SetupLog& log) {
    std::string why;
    if (!ReplaceFile(file.realPath, bytes, file.owner, why)) {
        log.Error("Could not write " + file.path + ": " + why);
        return false;
    }
    return true;
}

bool FindICAClient(const SetupPaths& paths, SetupLog& log) {
    if (!PathExists(paths.ModuleIni())) {
        log.Error("No Citrix ICA Client found in " + paths.icaRoot + " (no " + paths.ModuleIni() + ")");
        return false;
    }
    log.Line("Citrix ICA Client found in " + paths.icaRoot);
    return true;
}

bool CheckDriver(const std::string& source, std::string& bytes, SetupLog& log) {
    FileOwner owner;
    std::string why;
    if (!PathExists(source)) {
        log.Error("The driver " + source + " does not exist");
        return false;
    }
    if (!ReadRegularFile(source, kMaxDriverFileBytes, bytes, owner, why)) {
        log.Error("Could not read the driver " + source + ": " + why);
        return false;
    }
    const ElfMachine host = HostMachine();
    if (!IsSharedObjectFor(bytes, host, why)) {
        log.Error("The driver " + source + " is " + why);
        return false;
    }
    log.Line("Checked " + source + ": an ELF shared object for " + host.name);
    return true;
}

bool CheckGroup(const InstallOptions& options, SetupLog& log) {
    if (options.group.empty() || !options.paths.IsRunningSystem()) return true;
    if (getgrnam(options.group.c_str()) == nullptr) {
        log.Error("The group " + options.group + " does not exist on this system");
        return false;
    }
    return true;
}

bool CopyDriver(const std::string& source, const std::string& bytes, const SetupPaths& paths, SetupLog& log) {
    const std::string target = paths.DriverTarget();
    std::string realTarget = target, why;
    FileOwner owner = NewFileOwner(0644);
    if (PathExists(target)) {
        std::string old;
        // Keep the owner and mode of the file it replaces (and a link to it a link).
        if (!ResolveExisting(target, realTarget, why) ||
            !ReadRegularFile(realTarget, kMaxDriverFileBytes, old, owner, why)) {
            log.Error("Could not replace " + target + ": " + why);
            return false;
        }
    }
    if (!ReplaceFile(realTarget, bytes, owner, why)) {
        log.Error("Could not copy " + source + " to " + target + ": " + why);
        return false;
    }
    log.Line("Successfully copied " + source + " to " + target);
    return true;
}

bool WriteRules(const InstallOptions& options, SetupLog& log) {
    const std::string path = options.paths.Rules();
    const std::string text = UdevRulesText(SupportedModels(), options.group);
    std::string old, why;
    FileOwner owner = NewFileOwner(0644);
    if (PathExists(path) && ReadRegularFile(path, kMaxConfigFileBytes, old, owner, why) && old == text) {
        log.Line("The udev rules " + path + " are up to date");
        return true;
    }
    const size_t slash = path.rfind('/');
    if (!MakeFolders(path.substr(0, slash), why) || !ReplaceFile(path, text, NewFileOwner(0644), why)) {
        log.Error("Could not write the udev rules " + path + ": " + why);
        return false;
    }
    log.Line("Successfully wrote the udev rules " + path +
             (options.group.empty() ? std::string(" (the seat's user)") : " (the seat's user and group " + options.group + ")"));
    return true;
}

// The nodes our removed rules opened keep that access until the device is unplugged (see
// DeviceNodeAccess.h); this gives them back before udev is triggered. A node left as it is does not
// fail the uninstall (the rules are gone; unplugging the device ends its access), but is reported.
void GiveBackPresentNodes(SetupLog& log) {
    const std::vector<NodeReset> resets = ResetSupportedNodes(SupportedModels());
    if (resets.empty()) {
        log.Line("No supported device is plugged in; no device node to give back");
        return;
    }
    for (const NodeReset& reset : resets) {
        if (reset.done) {
            log.Line("Gave " + reset.node + " (" + reset.model + ") back to root:root, mode 0600");
        } else {
            log.Line("WARNING: " + reset.node + " (" + reset.model + ") keeps its access until it is unplugged: " +
                     reset.why);
        }
    }
}

// udev applies changed rules only after a reload, and to present devices only after a trigger. A
// system without a running udev (an image being built, a container) gets them at its next start,
// so a failure here is reported but does not fail the installation. With giveBackNodes (uninstall
// of our rules) the present supported nodes are given back after udev has dropped the old rules
// and finished the events it had begun with them, and before the trigger lets other rules apply.
void ApplyRules(const SetupPaths& paths, SetupLog& log, bool giveBackNodes) {
    if (!paths.IsRunningSystem()) {
        log.Line("udevadm not run: the rules are for the system in " + paths.root);
        return;
    }
    const ProgramResult reload = RunProgram({"udevadm", "control", "--reload"});
    if (!reload.started) {
        log.Line("udevadm not found: the rules apply from the next start of udev");
        if (giveBackNodes) GiveBackPresentNodes(log);
        return;
    }
    if (reload.exitCode != 0) {
        log.Line("WARNING: udevadm control --reload failed (exit " + std::to_string(reload.exitCode) +
                 "): the rules apply from the next start of udev");
        if (giveBackNodes) GiveBackPresentNodes(log);
        return;
    }
    if (giveBackNodes) {
        RunProgram({"udevadm", "settle", "--timeout=10"});
        GiveBackPresentNodes(log);
    }
    const ProgramResult trigger = RunProgram({"udevadm", "trigger", "--subsystem-match=hidraw", "--action=change"});
    if (!trigger.started || trigger.exitCode != 0) {
        log.Line("WARNING: udevadm trigger failed (exit " + std::to_string(trigger.exitCode) +
                 "): present devices get the rules when they are plugged in again");
        return;
    }
    log.Line("Reloaded the udev rules and applied them to the present hidraw devices");
}

}  // namespace

int RunInstall(const InstallOptions& options, SetupLog& log) {
    const SetupPaths& paths = options.paths;
    if (!FindICAClient(paths, log)) return kExitNoICAClient;

    // Everything is read and checked before anything is written.
    std::string driver;
    if (!CheckDriver(paths.driverSource, driver, log)) return kExitStepFailed;
    ConfigFile ini;
    if (!ReadConfig(paths.ModuleIni(), ini, log)) return kExitStepFailed;
    const ModuleIniEdit edit = AddChannel(ini.bytes);
    if (!edit.ok) {
        log.Error("Could not register " + std::string(kChannelName) + " in " + ini.path + ": " + edit.error);
        return kExitStepFailed;
    }
    log.Line("Read " + ini.path + ": " + kVirtualDriverKey + " = " + InspectModuleIni(ini.bytes).list);
    ConfigFile usb;
    const bool hasUsbConf = PathExists(paths.UsbConf());
    if (hasUsbConf && !ReadConfig(paths.UsbConf(), usb, log)) return kExitStepFailed;
    if (!CheckGroup(options, log)) return kExitStepFailed;

    if (!CopyDriver(paths.driverSource, driver, paths, log)) return kExitStepFailed;

    if (!edit.changed) {
        log.Line(ini.path + " already registers " + kChannelName + "; left unchanged");
    } else {
        if (!WriteConfig(ini, edit.text, log)) return kExitStepFailed;
        log.Line("Successfully registered " + std::string(kChannelName) + " in " + ini.path + " (" + kVirtualDriverKey +
                 " = " + edit.list + "; " + kChannelName + "=" + kEnabledValue + "; [" + kChannelName + "] " +
                 kDriverNameKey + "=" + kDriverFileName + ")");
    }

    if (!hasUsbConf) {
        log.Line("No " + paths.UsbConf() + ": the ICA Client redirects no USB devices, nothing to keep local");
    } else {
        const std::vector<DeviceModel> models = SupportedModels();
        const std::string text = AddDenyLines(usb.bytes, models);
        if (text == usb.bytes) {
            log.Line(usb.path + " already keeps the supported devices local; left unchanged");
        } else {
            if (!WriteConfig(usb, text, log)) return kExitStepFailed;
            log.Line("Successfully added " + std::to_string(models.size()) + " DENY lines to " + usb.path);
        }
    }

    if (!WriteRules(options, log)) return kExitStepFailed;
    ApplyRules(paths, log, false);
    log.Line("TovUSB installation finished successfully");
    return kExitSucceeded;
}

int RunUninstall(const InstallOptions& options, SetupLog& log) {
    const SetupPaths& paths = options.paths;
    if (!FindICAClient(paths, log)) return kExitNoICAClient;

    ConfigFile ini;
    if (!ReadConfig(paths.ModuleIni(), ini, log)) return kExitStepFailed;
    const ModuleIniEdit edit = RemoveChannel(ini.bytes);
    if (!edit.ok) {
        log.Error("Could not unregister " + std::string(kChannelName) + " in " + ini.path + ": " + edit.error);
        return kExitStepFailed;
    }
    ConfigFile usb;
    const bool hasUsbConf = PathExists(paths.UsbConf());
    if (hasUsbConf && !ReadConfig(paths.UsbConf(), usb, log)) return kExitStepFailed;

    // The ICA Client stops loading the driver before the file goes.
    if (!edit.changed) {
        log.Line(ini.path + " holds no " + kChannelName + " entries; left unchanged");
    } else {
        if (!WriteConfig(ini, edit.text, log)) return kExitStepFailed;
        log.Line("Successfully removed " + std::string(kChannelName) + " from " + ini.path + ": " + kVirtualDriverKey +
                 " = " + edit.list);
    }

    if (hasUsbConf) {
        const std::string text = RemoveDenyLines(usb.bytes);
        if (text == usb.bytes) {
            log.Line(usb.path + " holds no DENY lines of ours; left unchanged");
        } else {
            if (!WriteConfig(usb, text, log)) return kExitStepFailed;
            log.Line("Successfully removed our DENY lines from " + usb.path);
        }
    }

    const bool hadRules = PathExists(paths.Rules());
    std::string why;
    for (const std::string& file : {paths.DriverTarget(), paths.Rules()}) {
        if (!PathExists(file)) {
            log.Line(file + " is not there; nothing to delete");
        } else if (!RemoveFile(file, why)) {
            log.Error("Could not delete " + file + ": " + why);
            return kExitStepFailed;
        } else {
            log.Line("Successfully deleted " + file);
        }
    }
    ApplyRules(paths, log, hadRules);
    log.Line("TovUSB uninstall finished successfully");
    return kExitSucceeded;
}

int RunStatus(const InstallOptions& options, SetupLog& log) {
    const InstallationStatus status = InspectInstallation(options.paths);
    for (const std::string& line : StatusLines(status)) log.Line(line);
    if (!status.icaClient) return kExitNoICAClient;
    return status.Registered() ? kExitSucceeded : kExitStepFailed;
}

}  // namespace linuxsetup
