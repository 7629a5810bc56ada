// The fixed names of a Linux installation: the ICA Client's files and keys, the driver file, the
// udev rules file and the marks that tell our lines from everyone else's.
#pragma once

#include <cstddef>

namespace linuxsetup {

constexpr const char* kDefaultICARoot = "/opt/Citrix/ICAClient";
constexpr const char* kICARootVariable = "ICAROOT";
constexpr const char* kModuleIniPath = "config/module.ini";  // relative to $ICAROOT
constexpr const char* kUsbConfPath = "usb.conf";             // relative to $ICAROOT

constexpr const char* kICASection = "ICA 3.0";
constexpr const char* kVirtualDriverKey = "VirtualDriver";
constexpr const char* kChannelName = "TovUSB";     // list entry, key in [ICA 3.0], section name
constexpr const char* kEnabledValue = "On";
constexpr const char* kDriverNameKey = "DriverName";
constexpr const char* kDriverFileName = "VDTOVUSB.DLL";  // in $ICAROOT and beside tovusb-setup

constexpr const char* kRulesPath = "etc/udev/rules.d/70-tovusb.rules";  // relative to --root
constexpr const char* kRulesFileName = "70-tovusb.rules";

// usb.conf lines of ours end with this comment, followed by the model's name.
constexpr const char* kUsbConfMark = " # TovUSB: ";

// Largest module.ini and usb.conf read (the ICA Client's own are a few tens of kilobytes).
constexpr size_t kMaxConfigFileBytes = 1024 * 1024;
// Largest driver file copied.
constexpr size_t kMaxDriverFileBytes = 64 * 1024 * 1024;

}  // namespace linuxsetup
