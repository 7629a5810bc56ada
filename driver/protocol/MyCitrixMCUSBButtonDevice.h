// The button device the dispatcher creates for a server device proxy: it reports every button change
// to the server as a ButtonEvent addressed with the proxy's handle.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>

#include "ButtonRoute.h"
#include "CriticalSection.h"
#include "MessageType.h"
#include "USBButtonDevice.h"

class CCitrixUSBButtonDeviceManagerClient;

// Who holds what: the dispatcher's registry holds the device (a shared_ptr) until the server deletes
// it or the session ends; its HID openings hold it while their reader or writer runs, so the last of
// them may be the one that destroys it. Its link to the channel (Bind, Unbind) is cut before its
// openings are stopped, and what its threads send goes out only while the link holds, under
// bindingLock: once Unbind has returned, nothing more is queued for the device.
class CMyCitrixMCUSBButtonDevice : public CUSBButtonDevice {
public:
    CMyCitrixMCUSBButtonDevice() = default;
    // Disconnects first, so that no thread calls the part that goes here; a device the registry
    // shared is disconnected already, and its destructor runs once no thread holds it.
    ~CMyCitrixMCUSBButtonDevice() override;
    CMyCitrixMCUSBButtonDevice(const CMyCitrixMCUSBButtonDevice&) = delete;
    // The device model's assignment (the other's interface and pressed buttons). This device keeps its
    // own binding and serverHandle: later commands for it still find it under the handle it was
    // created with, and its events keep carrying that handle.
    CMyCitrixMCUSBButtonDevice& operator=(const CMyCitrixMCUSBButtonDevice& other);

    // Engine thread, right after construction and before the device can be connected: links the
    // device to the channel's current load under handle. Unbind cuts the link for good.
    void Bind(CCitrixUSBButtonDeviceManagerClient* client, ObjectHandle handle);
    void Unbind();

    // Engine thread: the device model's Connect and Disconnect, which also tell the route which
    // interface this session has connected (see CButtonRoute).
    bool Connect() override;
    void Disconnect() override;

    // Engine thread, for the server's SetLEDs: the LED report goes to the device's writer thread,
    // and SetLEDsReply follows once the device has taken it (from the writer thread, or at once
    // when there is nothing to write). A write that fails is traced as an error and answered with
    // nothing, as is one the device never began (closed meanwhile). Throws, with nothing queued
    // and no reply, what the device model throws before the write (see QueueLEDs).
    void SetLEDsThenReply(const std::list<LEDSetting>& settings);

    // Reader thread. Button 16 is never reported and not traced; every other change that the
    // route lets this session send (see CButtonRoute) sends one ButtonEvent and traces "On button
    // pressed %i, %i"; one it holds back for another session is traced as such. Nothing while
    // unbound.
    void OnButtonPressed(const int32_t& code, const int32_t& pressed) override;

    // Set by Bind; the dispatcher looks the device up by it.
    std::atomic<ObjectHandle> serverHandle{0};

private:
    CCriticalSectionClass bindingLock;                     // guards the two below
    CCitrixUSBButtonDeviceManagerClient* channelClient = nullptr;  // not owned; null while unbound
    uint32_t load = 0;  // the load of the module the device was bound in
    CButtonRoute route;  // its own lock; the engine thread connects it, the reader asks it
};
