// Which supported button devices are present, and when one arrives or goes away.
#pragma once

#include "USBButtonDeviceManagerInterface.h"

class CUSBButtonDeviceManagerData;

// Threads: construct, list and destroy the manager on one thread whose message loop runs (the
// dispatcher's); the hooks are called on that thread. A derived class that overrides the hooks
// relies on the notification window being gone before its own part is destroyed, which holds as
// the window belongs to this thread and is served only by its message loop.
class CUSBButtonDeviceManager : public CUSBButtonDeviceManagerInterface {
public:
    // Builds the HID manager with its hidden notification window on the constructing thread.
    CUSBButtonDeviceManager();
    ~CUSBButtonDeviceManager() override;
    CUSBButtonDeviceManager(const CUSBButtonDeviceManager&) = delete;
    CUSBButtonDeviceManager& operator=(const CUSBButtonDeviceManager&) = delete;

    // Sorted by device path, repeated names given " (2)", " (3)", ... Throws the HID enumeration's
    // std::string messages ("SetupDiGetClassDevs failed", "HidD_GetPreparsedData failed",
    // "HidP_GetCaps failed"); the list is then empty.
    void GetConnectedDevices(std::list<USBButtonDeviceDescriptor>& devices) override;
    // Both do nothing here.
    void OnDeviceConnected(const USBButtonDeviceDescriptor& descriptor) override;
    void OnDeviceDisconnected(const USBButtonDeviceDescriptor& descriptor) override;

private:
    CUSBButtonDeviceManagerData* data;  // owned
};
