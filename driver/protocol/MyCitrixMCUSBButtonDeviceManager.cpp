#include "MyCitrixMCUSBButtonDeviceManager.h"

#include "EventMessages.h"

void CMyCitrixMCUSBButtonDeviceManager::OnDeviceConnected(const USBButtonDeviceDescriptor& descriptor) {
    if (channelClient.load() == nullptr) return;
    SendDeviceEvent(MessageType::DeviceConnected, serverHandle.load(), descriptor);
}

void CMyCitrixMCUSBButtonDeviceManager::OnDeviceDisconnected(const USBButtonDeviceDescriptor& descriptor) {
    if (channelClient.load() == nullptr) return;
    SendDeviceEvent(MessageType::DeviceDisconnected, serverHandle.load(), descriptor);
}
