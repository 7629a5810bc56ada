#include "SetupPaths.h"

#include "LinuxNames.h"

namespace linuxsetup {

namespace {

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return "/" + name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

std::string SetupPaths::ModuleIni() const { return Join(icaRoot, kModuleIniPath); }
std::string SetupPaths::UsbConf() const { return Join(icaRoot, kUsbConfPath); }
std::string SetupPaths::DriverTarget() const { return Join(icaRoot, kDriverFileName); }
std::string SetupPaths::Rules() const { return Join(root, kRulesPath); }

bool SetupPaths::IsRunningSystem() const {
    return root.find_first_not_of('/') == std::string::npos;
}

std::string DefaultICARoot(const char* environmentValue) {
    if (environmentValue && environmentValue[0]) return environmentValue;
    return kDefaultICARoot;
}

}  // namespace linuxsetup
