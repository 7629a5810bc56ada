// What the ICA Client for Windows' generic USB rules do to the supported devices present: the Group
// Policy value HKLM\Software\Policies\Citrix\ICA Client\GenericUSB\DeviceRules (read only: the
// value is the administrator's), each device's USB interfaces from the HID backend, and the rule
// to add at the start of the value. Runs on the dialog's thread, reading the value again at each call.
#pragma once

#include <list>

#include "USBButtonDeviceDescriptor.h"
#include "UsbRuleReport.h"

devicecheck::UsbRulesContent PolicyUsbRules(const std::list<USBButtonDeviceDescriptor>& devices);
