// Enumerates the HID interfaces present and reports their arrival and removal.
#pragma once

#include <chrono>
#include <cstdint>
#include <list>

#include "USBHIDDeviceInfo.h"

class CUSBHIDManagerImpl;

// Threads: every operation runs on the engine thread (the thread that constructed the manager,
// whose message loop serves the notification window), the probes on the manager's probe thread.
class CUSBHIDManager {
public:
    // Builds the hidden notification window on the constructing thread and registers it for HID
    // interface notifications. Reports no failure: without a window there are no notifications.
    CUSBHIDManager();
    // Stops the probe thread and waits for it at most 250 ms; a probe still running then ends by
    // itself and keeps what it uses.
    virtual ~CUSBHIDManager();
    CUSBHIDManager(const CUSBHIDManager&) = delete;
    CUSBHIDManager& operator=(const CUSBHIDManager&) = delete;

    // Hooks, called only by DeliverDeviceChanges, in the order the interfaces came and went. The
    // base does nothing.
    virtual void OnDeviceArrival(const USBHIDDeviceInfo& info);
    virtual void OnDeviceRemoval(const USBHIDDeviceInfo& info);
    // Called by the notification handler once it has queued an arrival or removal for the probe
    // thread. The base does nothing: the engine poll delivers. A program without such a poll (the
    // device check) waits for the probes and delivers from here.
    virtual void OnDeviceChangeQueued();

    // Clears the list, then appends one record per present HID interface that could be probed, in
    // enumeration order; each probed interface is also remembered. The probes run on the probe
    // thread, waited for at most 250 ms: an interface whose probe finishes later is reported with
    // OnDeviceArrival then. Throws std::string: "SetupDiGetClassDevs failed",
    // "HidD_GetPreparsedData failed", "HidP_GetCaps failed".
    void GetHIDDevices(std::list<USBHIDDeviceInfo>& devices);

    // Calls the hooks for the arrivals and removals whose probes have finished. The engine poll.
    void DeliverDeviceChanges();
    // Waits until every arrival and listing received so far has been probed (not delivered);
    // false when the deadline came first.
    bool WaitForProbes(std::chrono::steady_clock::time_point deadline);
    // Asks the probe thread to end (a probe under way finishes first) and returns at once.
    void RequestStop();
    // Waits until the probe thread has ended or the deadline has passed; true when it has ended
    // (or never ran).
    bool WaitForStop(std::chrono::steady_clock::time_point deadline);

    // The devices whose arrivals are kept and probed again for a while when the system refuses to
    // open them for want of permission (a hidraw node udevd has not given to the user yet); none
    // unless set. The filter runs on the probe thread.
    void WaitForAccessOf(bool (*supported)(uint16_t vendorId, uint16_t productId));

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
