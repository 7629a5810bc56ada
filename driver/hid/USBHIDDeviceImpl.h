// The hidden state of one HID device and its reader thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "HIDDeviceIO.h"
#include "Thread.h"
#include "USBHIDDevice.h"

class CUSBHIDDeviceImpl;

// The reader thread of one open device: reads input reports until stopped or the read fails.
class CUSBDeviceThread : public CThread {
public:
    explicit CUSBDeviceThread(CUSBHIDDeviceImpl* impl);
    ~CUSBDeviceThread() override;
    // Runs on the reader thread; the parameter (0) is not used. A failure's message box is shown
    // on this thread after Run has returned (RunAfterEnd), so a stop never waits for the box and
    // the box touches nothing of the device, which may be gone by the time it is dismissed.
    void Run(int param) override;

private:
    CUSBHIDDeviceImpl* impl;  // the impl that embeds this thread; not owned
};

// Threads: Open, Close, Write and the info fields belong to the owner's thread (the engine thread in
// the driver). The reader thread reads info and uses the read side of io, which the owner's thread
// changes only while no reader runs (Close waits for it before it closes anything). stopRequested is
// written by the closing thread and read by the reader (atomic).
class CUSBHIDDeviceImpl {
public:
    explicit CUSBHIDDeviceImpl(CUSBHIDDevice* owner);
    ~CUSBHIDDeviceImpl();
    // Reader thread: the length of one report, the server's (info) bounded by what the open device
    // declares; 0 when nothing sensible can be read.
    size_t ReportLength() const;

    bool Open();
    void Close();
    void Write(const std::vector<char>& report);
    // One input report into report (reader thread). False when the read failed or a stop was asked.
    bool ReadReport(std::vector<char>& report);

    CUSBHIDDevice* owner;  // not owned; its OnReport receives the reports
    USBHIDDeviceInfo info;
    CUSBDeviceThread thread;
    std::unique_ptr<CHIDDeviceIO> io;  // the platform's read, write and wake-up handles
    bool isOpen;
    std::atomic<bool> stopRequested;
};

// Report lengths come from the device's capabilities or from the server; HID lengths are 16-bit.
constexpr int32_t kMaxReportLength = 0xFFFF;
// The system's error for a path that is not there: ERROR_FILE_NOT_FOUND on Windows, ENOENT natively.
constexpr unsigned long kErrorFileNotFound = 2;
