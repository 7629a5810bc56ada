// What is installed of the channel on this system: module.ini entries, the driver file and its
// machine type, the udev rules, the usb.conf lines. Read-only; tovusb-setup status and the device
// check show it.
#pragma once

#include <string>
#include <vector>

#include "ModuleIniEdit.h"
#include "SetupPaths.h"
#include "UsbConfEdit.h"

namespace linuxsetup {

struct InstallationStatus {
    SetupPaths paths;
    bool icaClient = false;  // $ICAROOT/config/module.ini exists

    bool moduleIniRead = false;
    std::string moduleIniError;  // why it could not be read
    ModuleIniStatus moduleIni;

    bool driverPresent = false;
    bool driverLoadable = false;  // an ELF shared object of this machine's type
    std::string driverWhy;        // what it is otherwise
    std::string machine;          // this machine's type, "x86-64"

    bool rulesPresent = false;
    bool rulesCurrent = false;  // byte for byte what this version writes for the group it names
    std::string rulesGroup;

    bool usbConfPresent = false;
    bool usbConfRead = false;
    std::string usbConfError;
    UsbConfStatus usbConf;

    bool Registered() const;
};

InstallationStatus InspectInstallation(const SetupPaths& paths);

// One line per fact; a missing piece says "NOT".
std::vector<std::string> StatusLines(const InstallationStatus& status);

}  // namespace linuxsetup
