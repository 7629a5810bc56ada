// What the ICA Client for Linux's generic USB rules ($ICAROOT/usb.conf) do to the supported devices
// present: the file read as tovusb-setup reads it (bounded), each device's USB interfaces from the
// HID backend, and the DENY line that tovusb-setup install writes for its model. Runs on the
// terminal's thread (the device session's), reading the file again at each call.
#pragma once

#include <list>

#include "SetupPaths.h"
#include "USBButtonDeviceDescriptor.h"
#include "UsbRuleReport.h"

namespace devicecheck {

UsbRulesContent LinuxUsbRules(const linuxsetup::SetupPaths& paths, const std::list<USBButtonDeviceDescriptor>& devices);

}  // namespace devicecheck
