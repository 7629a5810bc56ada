// The plain-text report of tovusb-devicecheck for a support ticket (LF line ends): the
// registration with the ICA Client as tovusb-setup status states it, the devices, what the ICA
// Client's USB rules (usb.conf) would do to them, where the button
// map was looked for, the trace log and the event lines.
#pragma once

#include <list>
#include <map>
#include <string>
#include <vector>

#include "ButtonMapStatus.h"
#include "DateTime.h"
#include "USBButtonDeviceDescriptor.h"

namespace devicecheck {

struct TerminalReportContent {
    CDateTime created;
    std::vector<std::string> registration;  // linuxsetup::StatusLines
    std::list<USBButtonDeviceDescriptor> devices;
    int otherHIDDevices = 0;
    std::string listError;
    std::map<std::string, std::string> cannotOpen;  // NodesThisUserCannotOpen
    std::vector<std::string> usbRules;  // UsbRulesLines
    std::vector<std::string> buttonMapFolders;  // where the driver looks, in order
    ButtonMapStatus buttonMap;
    std::string traceLog;  // "" without a home folder
    bool traceLogPresent = false;
    std::string selectedDevice;  // "" when none is selected
    std::string selectedPath;
    std::vector<std::string> lines;
};

// "  1  Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)  /dev/hidraw3", one line per
// device numbered from 1 as select takes them, the selected one marked with "*" after its number,
// then the count of the other HID devices and a failed listing's message. A device whose node this
// user may not open (cannotOpen: path -> reason) gets a line below it that says so and why.
std::vector<std::string> DeviceListLines(const std::list<USBButtonDeviceDescriptor>& devices, int otherHIDDevices,
                                         const std::string& listError, const std::string& selectedPath,
                                         const std::map<std::string, std::string>& cannotOpen);

// Where HardwareButtonMap.ini was found and its entries, or the folders it was looked for in.
std::vector<std::string> LinuxButtonMapLines(const ButtonMapStatus& status, const std::vector<std::string>& folders);

std::string BuildTerminalReport(const TerminalReportContent& content);

}  // namespace devicecheck
