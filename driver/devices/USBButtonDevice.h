// One supported button device: decodes its input reports into button events and writes its LED
// reports.
#pragma once

#include <functional>
#include <memory>

#include "USBButtonDeviceInterface.h"
#include "USBHIDDevice.h"

class CUSBButtonDeviceData;

// OnButtonPressed stays pure: a derived class reports the events. Who holds what: a device that a
// shared_ptr owns is held by its HID openings while their threads run (so a reader stuck in
// OnButtonPressed past a stop still reaches a live device, and the last of them may destroy it); a
// derived class that is not shared calls Disconnect in its own destructor, which then waits for the
// threads without limit, before the part they call is gone.
//
// Threads: OnButtonPressed runs on the device's reader thread, QueueLEDs' completion on its writer
// thread (or on the caller's, see there); every other operation runs on the
// caller's thread (one thread: the dispatcher's). GetDescriptor returns a reference that the
// caller's thread must not hold across its own Init.
class CUSBButtonDevice : public CUSBButtonDeviceInterface, public std::enable_shared_from_this<CUSBButtonDevice> {
public:
    CUSBButtonDevice();
    // Deletes the state, closing it first.
    ~CUSBButtonDevice() override;
    CUSBButtonDevice(const CUSBButtonDevice&) = delete;
    // Closes this device, takes the other's HID interface (opening it anew when the other is open)
    // and its pressed buttons. Descriptor, event switch and last report stay this device's own.
    CUSBButtonDevice& operator=(const CUSBButtonDevice& other);

    void Init(const USBButtonDeviceDescriptor& descriptor) override;
    const USBButtonDeviceDescriptor& GetDescriptor() override;
    void EnableButtonEvents(bool enabled) override;
    // Throw the HID layer's write messages (std::string).
    void SetLED(const int32_t& led, const int32_t& value) override;
    void SetLEDs(const std::list<LEDSetting>& settings) override;
    // Opens only a supported HID interface. Throws std::string: "CreateFile of %s for reading
    // failed" (also for a path that is not a supported HID interface), "CreateEvent failed",
    // "CreateFile of %s for writing failed".
    bool Connect() override;
    void Disconnect() override;
    bool IsConnected() override;
    bool ConnectToDevice(int32_t vendorID, int32_t productID,
                         const std::string& devicePath) override;

    // SetLEDs without waiting for the device (for the engine thread): the report is built, checked
    // and queued for the device's writer thread, and done learns the outcome (HIDWriteDone): called
    // at once on this thread with nullptr when there is nothing to send (an empty list, a model
    // without LEDs); otherwise on the writer thread once the report was written or failed, or from
    // Disconnect when it never began. Throws what SetLEDs throws before anything is queued, and
    // "WriteFile to %s failed" when the device's queue is full; done is then not called.
    void QueueLEDs(const std::list<LEDSetting>& settings, HIDWriteDone done);

    // Disconnect in two steps, so that an owner stopping many devices waits once for all of them:
    // RequestDisconnect tells the device's threads to stop and returns at once (the device counts
    // as disconnected); WaitForDisconnect waits for them until deadline (without limit for a device
    // no shared_ptr owns).
    void RequestDisconnect();
    void WaitForDisconnect(StopDeadline deadline);

private:
    CUSBButtonDeviceData* data;  // owned
};
