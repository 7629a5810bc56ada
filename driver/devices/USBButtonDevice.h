// One supported button device: decodes its input reports into button events and writes its LED
// reports.
#pragma once

#include <functional>

#include "USBButtonDeviceInterface.h"
#include "USBHIDDevice.h"

class CUSBButtonDeviceData;

// OnButtonPressed stays pure: a derived class reports the events. Such a class must call
// DisconnectAndWaitForThreads() in its own destructor, so that the reader and writer threads have
// ended before the derived part (whose OnButtonPressed and write completions they call) is gone.
//
// Threads: OnButtonPressed runs on the device's reader thread, QueueLEDs' completion on its writer
// thread (or on the caller's, see there); every other operation runs on the
// caller's thread (one thread: the dispatcher's). GetDescriptor returns a reference that the
// caller's thread must not hold across its own Init.
class CUSBButtonDevice : public CUSBButtonDeviceInterface {
public:
    CUSBButtonDevice();
    // Deletes the state; closing it waits for the reader thread to end.
    ~CUSBButtonDevice() override;
    CUSBButtonDevice(const CUSBButtonDevice&) = delete;
    // Closes this device, takes the other's HID interface (reopening it when the other is open) and
    // its pressed buttons. Descriptor, event switch and last report stay this device's own.
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

    // For the owner about to delete this device after Disconnect, on the engine thread: a reader
    // that Disconnect's bounded wait left running (stuck in OnButtonPressed), or a write still under
    // way, still uses this whole device, so the last of them to end takes release (deleting the
    // device, typically) and calls it on its own thread; the owner must then neither delete nor use
    // the device. False when neither runs: the owner deletes the device itself.
    bool ReleaseWhenThreadsEnd(std::function<void()> release);

protected:
    // For derived destructors: Disconnect, then, should the reader or the writer still run, a wait
    // without limit for their end, because the part they report to goes next. Returns at once for
    // a device handed to them (ReleaseWhenThreadsEnd), whose destructor runs after the end.
    void DisconnectAndWaitForThreads();

private:
    CUSBButtonDeviceData* data;  // owned
};
