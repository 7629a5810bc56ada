// The record by which a supported button device is listed, announced, sent and initialised.
#pragma once

#include <cstdint>
#include <string>

#include "USBHIDDeviceInfo.h"

struct USBButtonDeviceDescriptor {
    int32_t id = 0;           // 0 when the driver builds it; carried unchanged from the server
    std::string name;         // display name from the supported-device table
    USBHIDDeviceInfo hidInfo;  // the HID interface of the device
};

// One LED setting of a SetLEDs command; led 11 addresses all LEDs of the device.
struct LEDSetting {
    int32_t led = 11;
    int32_t value = 0;
};
