// Enumerates the HID interfaces present and reports their arrival and removal.
#pragma once

#include <list>

#include "USBHIDDeviceInfo.h"

class CUSBHIDManagerImpl;

class CUSBHIDManager {
public:
    // Builds the hidden notification window on the constructing thread and registers it for HID
    // interface notifications. Reports no failure: without a window there are no notifications.
    CUSBHIDManager();
    virtual ~CUSBHIDManager();
    CUSBHIDManager(const CUSBHIDManager&) = delete;
    CUSBHIDManager& operator=(const CUSBHIDManager&) = delete;

    // Hooks, called only from the notification window's procedure, on the thread that constructed
    // the manager. The base does nothing.
    virtual void OnDeviceArrival(const USBHIDDeviceInfo& info);
    virtual void OnDeviceRemoval(const USBHIDDeviceInfo& info);

    // Clears the list, then appends one record per present HID interface that could be probed, in
    // enumeration order; each probed interface is also remembered. Throws std::string:
    // "SetupDiGetClassDevs failed", "HidD_GetPreparsedData failed", "HidP_GetCaps failed".
    void GetHIDDevices(std::list<USBHIDDeviceInfo>& devices);

    // Whether the hidden window exists and its notification registration was granted; without it
    // no arrival or removal is reported (the constructor reports no failure).
    bool ReceivesNotifications() const;

private:
    CUSBHIDManagerImpl* impl;  // owned
};

// The probe the manager runs on one interface path, without remembering the result: a query open
// (access 0), the HID attributes and capabilities. False when the path cannot be opened for query or
// has no HID attributes; throws "HidD_GetPreparsedData failed" / "HidP_GetCaps failed". On success
// fills info with the lower-cased path, ids, usage type and report lengths (productString empty).
bool ProbeHIDInterface(const std::string& devicePath, USBHIDDeviceInfo& info);
