// The hidden state of the HID device manager.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>

#include "USBHIDManager.h"

// Threads: everything here belongs to the thread that constructed the manager. The notification
// window (or, natively, the recipient the backend delivers to) runs on that thread, and
// GetHIDDevices is called there too, so probedInterfaces needs no lock.
class CUSBHIDManagerImpl {
public:
    explicit CUSBHIDManagerImpl(CUSBHIDManager* owner);

    // Probes one interface and remembers it under its lower-cased path.
    bool Probe(const std::string& path, USBHIDDeviceInfo& info);
    // The device-change handler: arrival probes, removal answers from probedInterfaces.
    void OnDeviceChange(uint32_t message, uintptr_t event, const void* record);
    // The window procedure's guard around OnDeviceChange: any exception becomes the
    // "USBHIDManager" box with the system's last-error text.
    void HandleMessage(uint32_t message, uintptr_t event, const void* record);
    void GetHIDDevices(std::list<USBHIDDeviceInfo>& devices);

    // Platform parts: the hidden window (or native recipient) and its notification registration.
    void CreateNotificationWindow();
    void DestroyNotificationWindow();

    std::map<std::string, USBHIDDeviceInfo> probedInterfaces;  // key: lower-cased path
    void* notificationHandle;
    void* window;
    CUSBHIDManager* owner;  // not owned
};

// The window class name and window title of the hidden window.
extern const char* const kHiddenWindowName;
