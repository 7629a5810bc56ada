// The hidden state of one HID device and its reader thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "HIDSeam.h"
#include "Thread.h"
#include "USBHIDDevice.h"

class CUSBHIDDeviceImpl;

// The reader thread of one open device: reads input reports until stopped or the read fails.
class CUSBDeviceThread : public CThread {
public:
    explicit CUSBDeviceThread(CUSBHIDDeviceImpl* impl);
    ~CUSBDeviceThread() override;
    // Runs on the reader thread; the parameter (0) is not used.
    void Run(int param) override;

private:
    CUSBHIDDeviceImpl* impl;  // the impl that embeds this thread; not owned
};

// Threads: Open, Close, Write and the info fields belong to the owner's thread (the engine thread in
// the driver). The reader thread reads info, readHandle, readEvent and the overlapped record, which
// the owner's thread changes only while no reader runs (Close waits for it before it closes
// anything). stopRequested is written by the closing thread and read by the reader (atomic).
class CUSBHIDDeviceImpl {
public:
    explicit CUSBHIDDeviceImpl(CUSBHIDDevice* owner);
    ~CUSBHIDDeviceImpl();

    bool Open();
    void Close();
    void Write(const std::vector<char>& report);
    // One input report into report (reader thread). False when the read failed or a stop was asked.
    bool ReadReport(std::vector<char>& report);

    CUSBHIDDevice* owner;  // not owned; its OnReport receives the reports
    USBHIDDeviceInfo info;
    CUSBDeviceThread thread;
    hidseam::Handle readHandle;   // overlapped read handle (Windows) or descriptor (natively)
    hidseam::Handle writeHandle;  // synchronous write handle or descriptor
    intptr_t readEvent;  // Windows: the manual-reset read event; natively a descriptor waking the reader
    alignas(8) unsigned char overlapped[32];  // Windows: the OVERLAPPED record of every read
    bool isOpen;
    std::atomic<bool> stopRequested;

private:
    // Platform parts.
    static hidseam::Handle NoHandle();
    bool HasWriteHandle() const;
    // Creates the event and both handles; throws the Open texts and then leaves nothing open.
    void OpenHandles();
    // Wakes a reader blocked in its wait (after stopRequested was set).
    void WakeReader();
    // Closes every handle that is open and marks it absent.
    void CloseHandles();
    // Sends outputReportByteLength bytes synchronously; false when the system refuses.
    bool WriteHandle(const std::vector<char>& report);
};

// Report lengths come from the device's capabilities or from the server; HID lengths are 16-bit.
constexpr int32_t kMaxReportLength = 0xFFFF;
