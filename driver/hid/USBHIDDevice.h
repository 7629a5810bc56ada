// One HID interface opened for reading (overlapped, on its own reader thread) and writing.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "USBHIDDeviceInfo.h"

class CUSBHIDDeviceImpl;

class CUSBHIDDevice {
public:
    CUSBHIDDevice();
    // Closes the device if open (waiting for its reader thread), then destroys the thread object.
    virtual ~CUSBHIDDevice();

    // One input report of exactly inputReportByteLength bytes, byte 0 the report ID.
    // Runs on the device's reader thread; this layer holds no lock while calling it.
    virtual void OnReport(std::vector<char>& report) = 0;

    // Opens info().devicePath for reading and writing and starts the reader thread; the result is
    // that of starting the thread. Throws std::string: "CreateEvent failed",
    // "CreateFile of %s for reading failed", "CreateFile of %s for writing failed".
    bool Open();
    // Stops the reader (flag, event, a wait of at most 30000 ms on the calling thread) and closes
    // every handle; nothing when closed. A reader still running after the wait keeps the handles
    // open until it ends (it closes them then); the device counts as closed meanwhile, and Open
    // starts no new reader before that one has ended.
    void Close();
    bool IsOpen() const;
    // Waits at most milliseconds for the reader thread to end; true when it ended or never ran.
    // The reader ends by itself when a read fails (the interface was unplugged, for instance).
    bool WaitForReaderEnd(uint32_t milliseconds);
    // For the owner of a device whose Close could not wait for the reader: when a reader still
    // runs, it takes release and calls it on its own thread once it has ended (after Run), so the
    // owner may leave the device's destruction to it; answers false when no reader runs (the owner
    // releases the device itself).
    bool ReleaseWhenReaderEnds(std::function<void()> release);
    // How long Close waits for the reader; 30000 ms unless a test shortens it. Tests only.
    static void SetStopWaitForTests(uint32_t milliseconds);
    // Sends one output report synchronously. Throws std::string: "Invalid file handle. Can not write
    // to this device", "Too small buffer (only %i bytes) to send. Required size is %i bytes",
    // "Too big buffer (%i bytes) to send. Required size is %i bytes", "WriteFile to %s failed".
    void Write(const std::vector<char>& report);

    // The interface this device opens; written by the owner before Open.
    USBHIDDeviceInfo& Info();
    const USBHIDDeviceInfo& Info() const;

    // Closes this device if open, copies the eight info fields, and opens this device when the
    // other one is open (each then has its own handles and reader thread). Self-assignment: nothing.
    CUSBHIDDevice& operator=(const CUSBHIDDevice& other);
    CUSBHIDDevice(const CUSBHIDDevice&) = delete;

private:
    CUSBHIDDeviceImpl* impl;  // owned
};
