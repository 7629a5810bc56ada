#include "USBButtonDeviceManagerData.h"

#include <set>
#include <string>

#include "FormatString.h"
#include "SupportedDeviceTable.h"
#include "USBButtonDeviceManager.h"

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

CUSBButtonDeviceManagerData::CUSBButtonDeviceManagerData(CUSBButtonDeviceManager* owner)
    : owner(owner) {}

CUSBButtonDeviceManagerData::~CUSBButtonDeviceManagerData() { knownDevices.clear(); }

void CUSBButtonDeviceManagerData::OnDeviceArrival(const USBHIDDeviceInfo& info) {
    USBButtonDeviceDescriptor descriptor;
    if (ResolveDescriptor(info, descriptor)) owner->OnDeviceConnected(descriptor);
}

void CUSBButtonDeviceManagerData::OnDeviceRemoval(const USBHIDDeviceInfo& info) {
    USBButtonDeviceDescriptor descriptor;
    if (ResolveDescriptor(info, descriptor)) owner->OnDeviceDisconnected(descriptor);
}

bool CUSBButtonDeviceManagerData::ResolveDescriptor(const USBHIDDeviceInfo& info,
                                                    USBButtonDeviceDescriptor& descriptor) {
    const SupportedDevice* row = FindSupportedInterface(info);
    if (row == nullptr) return false;
    auto known = knownDevices.find(info);
    if (known != knownDevices.end()) {
        descriptor = known->second;
        return true;
    }
    descriptor.name = row->name;
    descriptor.hidInfo = info;
    knownDevices.emplace(info, descriptor);
    return true;
}

void CUSBButtonDeviceManagerData::GetConnectedDevices(std::list<USBButtonDeviceDescriptor>& devices) {
    devices.clear();
    std::list<USBHIDDeviceInfo> interfaces;
    GetHIDDevices(interfaces);
    for (const USBHIDDeviceInfo& info : interfaces) {
        USBButtonDeviceDescriptor descriptor;
        if (ResolveDescriptor(info, descriptor)) devices.push_back(descriptor);
    }
    MakeNamesUnique(devices);
}
