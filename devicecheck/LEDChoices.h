// Which LED settings the device check offers for a model: one entry per LED that the model's LED
// report can change, and the settings that turn every LED off.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "USBButtonDeviceDescriptor.h"

struct LEDChoices {
    // LED numbers with a distinct effect on the model's report, ascending (numbers that change the
    // same bits as a listed one are left out). Empty for a model that gets no LED report.
    std::vector<int32_t> leds;
    // One SetLEDs call that turns every LED off; empty when `leds` is.
    std::list<LEDSetting> allOff;
};

// The value a setting carries for "on" and for "off".
constexpr int32_t kLEDOn = 1;
constexpr int32_t kLEDOff = 0;

LEDChoices GetLEDChoices(int32_t vendorID, int32_t productID);
