// One HID interface opened for reading (overlapped, on its own reader thread) and writing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "USBHIDDeviceInfo.h"

class CUSBHIDDeviceImpl;

// Called once per report queued with QueueWrite: on the device's writer thread after the write,
// with nullptr when the report was written and with the failure's text ("WriteFile to %s failed")
// when it was not; or on the owner's thread, from Close, with "Invalid file handle. Can not write
// to this device" when the device was closed before the write began. It must not throw (whatever
// it throws is dropped).
using HIDWriteDone = std::function<void(const std::string* failure)>;

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
    // every handle; nothing when closed. A reader still running after the wait, or a write still
    // under way (not waited for), keeps the handles open until it ends (the last to end closes
    // them); the device counts as closed meanwhile, and Open starts no new opening before then.
    void Close();
    bool IsOpen() const;
    // Waits at most milliseconds for the reader thread to end; true when it ended or never ran.
    // The reader ends by itself when a read fails (the interface was unplugged, for instance).
    bool WaitForReaderEnd(uint32_t milliseconds);
    // The same for both threads of the opening, the reader and the writer (each at most milliseconds).
    bool WaitForThreadsEnd(uint32_t milliseconds);
    // For the owner of a device whose Close could not wait for its threads: while the reader or the
    // writer still runs, they take release, and the last of them to end calls it on its own thread
    // (after its Run), so the owner may leave the device's destruction to it; answers false when
    // neither runs (the owner releases the device itself).
    bool ReleaseWhenThreadsEnd(std::function<void()> release);
    // How long Close waits for the reader; 30000 ms unless a test shortens it. Tests only.
    static void SetStopWaitForTests(uint32_t milliseconds);
    // Sends one output report synchronously. Throws std::string: "Invalid file handle. Can not write
    // to this device", "Too small buffer (only %i bytes) to send. Required size is %i bytes",
    // "Too big buffer (%i bytes) to send. Required size is %i bytes", "WriteFile to %s failed".
    void Write(const std::vector<char>& report);
    // Sends one output report without waiting for it: the report is checked as Write checks it
    // (same thrown texts), then written on the device's own writer thread, after the reports
    // queued before it; done learns the outcome (see HIDWriteDone). At most
    // CHIDReportWriter::kMaxWaiting (8) reports wait behind the one being written; one more throws
    // "WriteFile to %s failed", as a failed write. Close drops the reports still waiting and does
    // not wait for a write under way.
    void QueueWrite(const std::vector<char>& report, HIDWriteDone done);

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
