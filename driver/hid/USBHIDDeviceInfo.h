// The record of one HID interface, and the usage types of its top-level collection.
#pragma once

#include <cstdint>
#include <string>

// Fields in declared order, which is also their order on the channel.
struct USBHIDDeviceInfo {
    std::string devicePath;            // lower-cased interface path; the manager's key
    int32_t usageType = 0;             // a HIDUsageType value
    int32_t vendorID = 0;              // 16-bit USB id, zero-extended
    int32_t productID = 0;
    int32_t versionNumber = 0;
    std::string productString;         // the probe leaves it empty
    int32_t inputReportByteLength = 0;  // report-ID byte included
    int32_t outputReportByteLength = 0;
};

enum HIDUsageType : int32_t {
    HIDUsagePointer = 1,
    HIDUsageMouse = 2,
    HIDUsageJoystick = 3,
    HIDUsageGamePad = 4,
    HIDUsageKeyboard = 5,
    HIDUsageKeypad = 6,
    HIDUsageSystemControl = 7,
    HIDUsageConsumerAudioControl = 8,
    HIDUsageOther = 9,
};

// The first row whose usage page and usage both match; 9 when none does.
int32_t LookupHIDUsageType(uint16_t usagePage, uint16_t usage);
