// The button device manager the dispatcher creates for a server manager proxy: it announces every
// supported device that arrives or leaves with DeviceConnected and DeviceDisconnected.
#pragma once

#include <atomic>

#include "MessageType.h"
#include "USBButtonDeviceManager.h"

class CCitrixUSBButtonDeviceManagerClient;

class CMyCitrixMCUSBButtonDeviceManager : public CUSBButtonDeviceManager {
public:
    CMyCitrixMCUSBButtonDeviceManager() = default;

    // Both run on the thread that created the manager (the dispatcher's), from its notification
    // window. Nothing is traced; nothing is sent while unbound.
    void OnDeviceConnected(const USBButtonDeviceDescriptor& descriptor) override;
    void OnDeviceDisconnected(const USBButtonDeviceDescriptor& descriptor) override;

    // Set by the dispatcher right after construction, before the manager enters its registry.
    std::atomic<CCitrixUSBButtonDeviceManagerClient*> channelClient{nullptr};  // not owned
    std::atomic<ObjectHandle> serverHandle{0};
};
