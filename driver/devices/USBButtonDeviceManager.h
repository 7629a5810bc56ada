// Which supported button devices are present, and when one arrives or goes away.
#pragma once

#include <chrono>

#include "USBButtonDeviceManagerInterface.h"

class CUSBButtonDeviceManagerData;

// Threads: construct, list, deliver and destroy the manager on one thread whose message loop runs
// (the dispatcher's, the engine thread); the hooks are called on that thread, from
// DeliverDeviceChanges only, so a derived class's hooks are never called while it is destroyed.
// The HID manager's probe thread touches nothing of this class.
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
    // Announces the arrivals and removals whose probes have finished, in order (the hooks). The
    // other three are the HID manager's (CUSBHIDManager).
    void DeliverDeviceChanges();
    bool WaitForProbes(std::chrono::steady_clock::time_point deadline);
    void RequestStop();
    bool WaitForStop(std::chrono::steady_clock::time_point deadline);
    // Both do nothing here.
    void OnDeviceConnected(const USBButtonDeviceDescriptor& descriptor) override;
    void OnDeviceDisconnected(const USBButtonDeviceDescriptor& descriptor) override;
    // CUSBHIDManager::OnDeviceChangeQueued of the HID manager; does nothing here.
    virtual void OnDeviceChangeQueued() {}

private:
    CUSBButtonDeviceManagerData* data;  // owned
};
