#include "USBButtonDeviceManager.h"

#include "USBButtonDeviceManagerData.h"

CUSBButtonDeviceManager::CUSBButtonDeviceManager() : data(new CUSBButtonDeviceManagerData(this)) {}

CUSBButtonDeviceManager::~CUSBButtonDeviceManager() { delete data; }

void CUSBButtonDeviceManager::GetConnectedDevices(std::list<USBButtonDeviceDescriptor>& devices) {
    data->GetConnectedDevices(devices);
}

void CUSBButtonDeviceManager::OnDeviceConnected(const USBButtonDeviceDescriptor&) {}

void CUSBButtonDeviceManager::OnDeviceDisconnected(const USBButtonDeviceDescriptor&) {}
