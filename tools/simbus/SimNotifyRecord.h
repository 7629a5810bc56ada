// Building the records that announce a device change, and the parts of announcing it that the
// platforms share (SimNotify.cpp); SimNotify_posix.cpp and SimNotify_win32.cpp deliver it.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "HIDSeam.h"

namespace simbus {

// A DEV_BROADCAST_DEVICEINTERFACE_A for the HID class with the name for device type 5, a bare
// DEV_BROADCAST_HDR otherwise; empty for device type 0 (no record at all).
inline std::vector<unsigned char> BuildBroadcast(uint32_t deviceType, const std::string& name) {
    std::vector<unsigned char> record;
    if (deviceType == 0) return record;
    if (deviceType == hidseam::kDeviceTypeInterface) {
        const size_t size = offsetof(hidseam::BroadcastDeviceInterface, name) + name.size() + 1;
        record.assign(size < sizeof(hidseam::BroadcastDeviceInterface) ? sizeof(hidseam::BroadcastDeviceInterface)
                                                                       : size,
                      0);
        hidseam::BroadcastDeviceInterface header = {};
        header.size = static_cast<uint32_t>(size);
        header.deviceType = deviceType;
        hidseam::GetHidGuid(header.classGuid);
        std::memcpy(record.data(), &header, offsetof(hidseam::BroadcastDeviceInterface, name));
        std::memcpy(record.data() + offsetof(hidseam::BroadcastDeviceInterface, name), name.c_str(), name.size() + 1);
    } else {
        hidseam::BroadcastHeader header = {sizeof(hidseam::BroadcastHeader), deviceType, 0};
        record.resize(sizeof(header));
        std::memcpy(record.data(), &header, sizeof(header));
    }
    return record;
}

// True when a registration asks for what the bus announces: HID interface arrivals and removals
// (a 32-byte DEV_BROADCAST_DEVICEINTERFACE filter of the HID class) sent to a window handle.
bool IsHidInterfaceRegistration(const void* recipient, const hidseam::BroadcastDeviceInterface& filter,
                                uint32_t flags);

// Sends the device change to every registered recipient (each platform's own way); returns how
// many it reached (natively: queued for).
int BroadcastDeviceChange(uint32_t event, uint32_t deviceType, const std::string& name);

}  // namespace simbus
