#include "USBButtonDeviceManagerData.h"

#include "SupportedDeviceTable.h"
#include "USBButtonDeviceManager.h"

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
