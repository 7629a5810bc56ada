// One supported button device: decodes its input reports into button events and writes its LED
// reports.
#pragma once

#include <functional>

#include "USBButtonDeviceInterface.h"

class CUSBButtonDeviceData;

// OnButtonPressed stays pure: a derived class reports the events. Such a class must call
// DisconnectAndWaitForReader() in its own destructor, so that the reader thread has ended before
// the derived part (whose OnButtonPressed it calls) is gone.
//
// Threads: OnButtonPressed runs on the device's reader thread; every other operation runs on the
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

    // For the owner about to delete this device after Disconnect, on the engine thread: a reader
    // that Disconnect's bounded wait left running (stuck in OnButtonPressed) still uses this whole
    // device, so it takes release (deleting the device, typically) and calls it on its own thread
    // once it has ended; the owner must then neither delete nor use the device. False when no
    // reader runs: the owner deletes the device itself.
    bool ReleaseWhenReaderEnds(std::function<void()> release);

protected:
    // For derived destructors: Disconnect, then, should the reader still run past its bound, a
    // wait without limit for its end, because the part it reports to goes next. Returns at once for
    // a device handed to its reader (ReleaseWhenReaderEnds), whose destructor runs after the end.
    void DisconnectAndWaitForReader();

private:
    CUSBButtonDeviceData* data;  // owned
};
