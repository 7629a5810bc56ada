// The hidden state of the HID device manager.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "HIDProbeQueue.h"
#include "USBHIDManager.h"


// Threads: everything here belongs to the thread that constructed the manager (the engine
// thread). The notification window (or, natively, the recipient the backend delivers to) runs on
// that thread, and GetHIDDevices and DeliverDeviceChanges are called there too, so
// probedInterfaces needs no lock. The probe thread shares only the queue (its own lock).
// Holds: the queue with the probe thread, the probe thread object until its run ends or is
// abandoned at the stop's deadline.
class CUSBHIDManagerImpl {
public:
    explicit CUSBHIDManagerImpl(CUSBHIDManager* owner);

    // Hands an item to the probe thread, started at the first item (or probes it here when no
    // thread can be started).
    void Push(HIDProbeItem item);
    // The device-change handler: queues the arrival or removal for the probe thread.
    void OnDeviceChange(uint32_t message, uintptr_t event, const void* record);
    void DeliverDeviceChanges();
    void Stop();
    // The window procedure's guard around OnDeviceChange: any exception becomes the
    // ShowDeviceChangeFailure box.
    void HandleMessage(uint32_t message, uintptr_t event, const void* record);
    void GetHIDDevices(std::list<USBHIDDeviceInfo>& devices);

    // Platform parts: the hidden window (or native recipient) and its notification registration.
    void CreateNotificationWindow();
    void DestroyNotificationWindow();

    std::map<std::string, USBHIDDeviceInfo> probedInterfaces;  // key: lower-cased path
    std::shared_ptr<CHIDProbeQueue> probes;
    bool probeThreadStarted;  // the probe thread runs (started with the first item), until the stop
    bool stopWaited;          // WaitForStop was called: the destructor waits no more
    uint64_t listings;             // the last listing's number
    void* notificationHandle;
    void* window;
    CUSBHIDManager* owner;  // not owned
};

// The "USBHIDManager" box of a failed device change, with the calling thread's last-error text.
void ShowDeviceChangeFailure();

// The window class name and window title of the hidden window.
extern const char* const kHiddenWindowName;
