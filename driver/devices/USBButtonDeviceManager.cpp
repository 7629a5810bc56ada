#include "USBButtonDeviceManager.h"

#include "USBButtonDeviceManagerData.h"

CUSBButtonDeviceManager::CUSBButtonDeviceManager() : data(new CUSBButtonDeviceManagerData(this)) {}

CUSBButtonDeviceManager::~CUSBButtonDeviceManager() { delete data; }

void CUSBButtonDeviceManager::GetConnectedDevices(std::list<USBButtonDeviceDescriptor>& devices) {
    data->GetConnectedDevices(devices);
}

void CUSBButtonDeviceManager::DeliverDeviceChanges() { data->DeliverDeviceChanges(); }

bool CUSBButtonDeviceManager::WaitForProbes(std::chrono::steady_clock::time_point deadline) {
    return data->WaitForProbes(deadline);
}

void CUSBButtonDeviceManager::RequestStop() { data->RequestStop(); }

bool CUSBButtonDeviceManager::WaitForStop(std::chrono::steady_clock::time_point deadline) {
    return data->WaitForStop(deadline);
}

void CUSBButtonDeviceManager::OnDeviceConnected(const USBButtonDeviceDescriptor&) {}

void CUSBButtonDeviceManager::OnDeviceDisconnected(const USBButtonDeviceDescriptor&) {}
