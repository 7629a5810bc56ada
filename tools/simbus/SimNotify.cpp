#include "SimBus.h"
#include "SimNotifyRecord.h"
#include "TovSimBus.h"

namespace simbus {

bool IsHidInterfaceRegistration(const void* recipient, const hidseam::BroadcastDeviceInterface& filter,
                                uint32_t flags) {
    hidseam::Guid hid;
    hidseam::GetHidGuid(hid);
    return recipient && filter.size == 32 && filter.deviceType == hidseam::kDeviceTypeInterface &&
           filter.classGuid == hid && flags == hidseam::kNotifyWindowHandle;
}

void Announce(uint32_t event, uint32_t deviceType, const std::string& name) {
    BroadcastDeviceChange(event, deviceType, name);
}

}  // namespace simbus

extern "C" {

int TovSim_SendDeviceChange(unsigned event, unsigned deviceType, const char* name) {
    return simbus::BroadcastDeviceChange(event, deviceType, name ? name : "");
}

}  // extern "C"
