#include "DeviceNames.h"

#include <set>
#include <string>

#include "FormatString.h"

bool USBHIDDeviceInfoLess::operator()(const USBHIDDeviceInfo& a, const USBHIDDeviceInfo& b) const {
    if (a.devicePath.empty() && b.devicePath.empty()) {
        const uint32_t vendorA = static_cast<uint32_t>(a.vendorID);
        const uint32_t vendorB = static_cast<uint32_t>(b.vendorID);
        if (vendorA != vendorB) return vendorA < vendorB;
        return static_cast<uint32_t>(a.productID) < static_cast<uint32_t>(b.productID);
    }
    return a.devicePath < b.devicePath;
}

void MakeNamesUnique(std::list<USBButtonDeviceDescriptor>& devices) {
    devices.sort([](const USBButtonDeviceDescriptor& a, const USBButtonDeviceDescriptor& b) {
        return a.hidInfo.devicePath < b.hidInfo.devicePath;
    });  // std::list::sort is stable
    std::set<std::string> seen;
    int counter = 2;
    for (USBButtonDeviceDescriptor& device : devices) {
        if (seen.insert(device.name).second) continue;
        device.name += FormatString(" (%i)", counter);
        ++counter;
    }
}
