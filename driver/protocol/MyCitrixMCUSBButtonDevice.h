// The button device the dispatcher creates for a server device proxy: it reports every button change
// to the server as a ButtonEvent addressed with the proxy's handle.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>

#include "MessageType.h"
#include "USBButtonDevice.h"

class CCitrixUSBButtonDeviceManagerClient;

class CMyCitrixMCUSBButtonDevice : public CUSBButtonDevice {
public:
    CMyCitrixMCUSBButtonDevice() = default;
    // Ends the reader and writer threads before this part goes, so that no OnButtonPressed and no
    // write completion runs on a device that is being destroyed. The dispatcher deletes a device
    // whose threads outlived Disconnect only on the last of those threads, after its end, so the
    // engine thread never waits here.
    ~CMyCitrixMCUSBButtonDevice() override;
    CMyCitrixMCUSBButtonDevice(const CMyCitrixMCUSBButtonDevice&) = delete;
    // The device model's assignment (the other's interface and pressed buttons). This device keeps its
    // own channelClient and serverHandle: later commands for it still find it under the handle it was
    // created with, and its events keep carrying that handle.
    CMyCitrixMCUSBButtonDevice& operator=(const CMyCitrixMCUSBButtonDevice& other);

    // Engine thread, for the server's SetLEDs: the LED report goes to the device's writer thread,
    // and SetLEDsReply follows once the device has taken it (from the writer thread, or at once
    // when there is nothing to write). A write that fails is traced as an error and answered with
    // nothing, as is one the device never began (closed meanwhile). Throws, with nothing queued
    // and no reply, what the device model throws before the write (see QueueLEDs).
    void SetLEDsThenReply(const std::list<LEDSetting>& settings);

    // Reader thread. Button 16 is never reported and not traced; every other change sends one
    // ButtonEvent and traces "On button pressed %i, %i". Nothing while unbound.
    void OnButtonPressed(const int32_t& code, const int32_t& pressed) override;

    // Set by the dispatcher on its own thread right after construction, before the device can be
    // initialised or connected; read by the reader thread. Atomic, so the two threads need no lock.
    std::atomic<CCitrixUSBButtonDeviceManagerClient*> channelClient{nullptr};  // not owned
    std::atomic<ObjectHandle> serverHandle{0};
};
