// The USB HID devices the driver serves, with their display names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "USBHIDDeviceInfo.h"

// One supported model: the interface whose ids match and whose top-level usage is usageType.
struct SupportedDevice {
    uint32_t vendorID;
    uint32_t productID;
    int32_t usageType;  // a HIDUsageType value
    const char* name;   // display name, the name of the device's descriptor
};

constexpr size_t kSupportedDeviceCount = 11;
// Searched in this order; the first row with both ids equal is the model.
extern const SupportedDevice SupportedDeviceTable[kSupportedDeviceCount];

// The first row whose vendor and product ids both equal the given ones (16-bit USB ids, zero-extended),
// or nullptr.
const SupportedDevice* FindSupportedDevice(uint32_t vendorID, uint32_t productID);

// The row of a supported device for this HID interface: its ids have a row and its usage type is the
// row's. nullptr otherwise (for instance the keyboard or mouse interface of a supported hand-set).
const SupportedDevice* FindSupportedInterface(const USBHIDDeviceInfo& info);
