#include "USBButtonDeviceManagerData.h"

#include "SupportedDeviceTable.h"
#include "USBButtonDeviceManager.h"

CUSBButtonDeviceManagerData::CUSBButtonDeviceManagerData(CUSBButtonDeviceManager* owner)
    : owner(owner) {
    // A supported model's node that the session user cannot open yet is waited for; other
    // devices' nodes are not ours to wait for (the udev rule never gives them to the user).
    WaitForAccessOf([](uint16_t vendorId, uint16_t productId) {
        return FindSupportedDevice(vendorId, productId) != nullptr;
    });
}

CUSBButtonDeviceManagerData::~CUSBButtonDeviceManagerData() { knownDevices.clear(); }

void CUSBButtonDeviceManagerData::OnDeviceArrival(const USBHIDDeviceInfo& info) {
    USBButtonDeviceDescriptor descriptor;
    if (ResolveDescriptor(info, descriptor)) owner->OnDeviceConnected(descriptor);
}

void CUSBButtonDeviceManagerData::OnDeviceRemoval(const USBHIDDeviceInfo& info) {
    USBButtonDeviceDescriptor descriptor;
    if (ResolveDescriptor(info, descriptor)) owner->OnDeviceDisconnected(descriptor);
}

void CUSBButtonDeviceManagerData::OnDeviceChangeQueued() { owner->OnDeviceChangeQueued(); }

bool CUSBButtonDeviceManagerData::ResolveDescriptor(const USBHIDDeviceInfo& info,
                                                    USBButtonDeviceDescriptor& descriptor) {
    const SupportedDevice* row = FindSupportedInterface(info);
    if (row == nullptr) return false;
    auto known = knownDevices.find(info);
    if (known != knownDevices.end()) {
        // The same interface seen again keeps its first descriptor. A path that now names another
        // product is another device: hidraw reuses its node numbers (/dev/hidraw0 for whatever is
        // plugged next), so a stored descriptor of another model would list and decode it wrongly.
        // A Windows interface path holds the ids, so there this never happens.
        const USBHIDDeviceInfo& stored = known->second.hidInfo;
        if (stored.vendorID == info.vendorID && stored.productID == info.productID) {
            descriptor = known->second;
            return true;
        }
        knownDevices.erase(known);
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
