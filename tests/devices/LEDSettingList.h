// Writing LED settings in tests as {led, value} pairs.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <list>
#include <utility>

#include "USBButtonDeviceDescriptor.h"

inline std::list<LEDSetting> Settings(std::initializer_list<std::pair<int32_t, int32_t>> pairs) {
    std::list<LEDSetting> settings;
    for (const auto& pair : pairs) {
        LEDSetting setting;
        setting.led = pair.first;
        setting.value = pair.second;
        settings.push_back(setting);
    }
    return settings;
}
