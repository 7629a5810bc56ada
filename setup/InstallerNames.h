// The fixed names of an installation: registry keys and values under HKEY_LOCAL_MACHINE, the
// driver file and the channel's entry in the ICA Client's list of virtual drivers.
#pragma once

namespace installer {

constexpr const char* kICAClientKey = "SOFTWARE\\Citrix\\Install\\ICA Client";
constexpr const char* kInstallFolderValue = "InstallFolder";

constexpr const char* kChannelModuleKey =
    "SOFTWARE\\Citrix\\ICA Client\\Engine\\Configuration\\Advanced\\Modules\\TovUSB";
constexpr const char* kDriverNameValue = "DriverNameWin32";

constexpr const char* kVirtualDriverListKey =
    "SOFTWARE\\Citrix\\ICA Client\\Engine\\Configuration\\Advanced\\Modules\\ICA 3.0";
constexpr const char* kVirtualDriverListValue = "VirtualDriverEx";

constexpr const char* kDriverFileName = "TovaroCitrixVC.dll";
constexpr const char* kDriverName = "TovaroCitrixVC";
constexpr const char* kDriverExtension = "dll";
constexpr const char* kChannelName = "TovUSB";
constexpr const char* kListSeparator = ", ";

}  // namespace installer
