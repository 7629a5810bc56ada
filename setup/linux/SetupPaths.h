// Where an installation's files are, from the command line's folders.
#pragma once

#include <string>

namespace linuxsetup {

struct SetupPaths {
    std::string icaRoot;       // the ICA Client's folder ($ICAROOT)
    std::string root = "/";    // the system whose /etc gets the udev rules
    std::string driverSource;  // the driver file to install (beside tovusb-setup)

    std::string ModuleIni() const;
    std::string UsbConf() const;
    std::string DriverTarget() const;
    std::string Rules() const;
    // True when the rules are for this running system (root "/"), so udevadm may apply them.
    bool IsRunningSystem() const;
};

// --icaroot, else $ICAROOT when set and not empty, else /opt/Citrix/ICAClient.
std::string DefaultICARoot(const char* environmentValue);

}  // namespace linuxsetup
