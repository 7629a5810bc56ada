// The hidden state of one HID device and its reader thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "CriticalSection.h"
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
// changes only while no reader runs. stopRequested is written by the closing thread and read by the
// reader (atomic); endLock guards readerEnded and releaseAtEnd, which both threads use.
//
// Ownership once a stop has timed out: Close waits for the reader on the engine thread, but only
// for the stop wait's bound (30000 ms). A reader still running after it (stuck in its report
// handler) owns the handles of its opening from then on: Close leaves them open (handlesAbandoned),
// the reader closes them as it ends, and no Open starts another reader meanwhile. Whatever else
// the reader uses (this object, the device that receives its reports, their locks, what the report
// handler reaches) must outlive it too: the owner of the device hands the device over with
// ReleaseWhenReaderEnds, and the reader then releases it itself once it has ended.
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
    // Owner's thread: hands release to a reader that has not ended; false when none runs.
    bool ReleaseWhenReaderEnds(std::function<void()> release);
    // Reader thread, as it ends: closes the handles Close left to it and takes the release handed
    // over, if any; from then on ReleaseWhenReaderEnds answers false.
    std::function<void()> EndReader();

    CUSBHIDDevice* owner;  // not owned; its OnReport receives the reports
    USBHIDDeviceInfo info;
    // Declared before thread, so it is destroyed after it: the thread's destructor waits for a
    // reader still running, and the reader reads through these handles until it ends.
    std::unique_ptr<CHIDDeviceIO> io;  // the platform's read, write and wake-up handles
    CUSBDeviceThread thread;
    bool isOpen;
    std::atomic<bool> stopRequested;
    // Set by a Close whose wait timed out: the reader still running owns the handles.
    std::atomic<bool> handlesAbandoned{false};

private:
    CCriticalSectionClass endLock;
    bool readerEnded = true;              // guarded by endLock
    std::function<void()> releaseAtEnd;   // guarded by endLock
};

// Report lengths come from the device's capabilities or from the server; HID lengths are 16-bit.
constexpr int32_t kMaxReportLength = 0xFFFF;
// The system's error for a path that is not there: ERROR_FILE_NOT_FOUND on Windows, ENOENT natively.
constexpr unsigned long kErrorFileNotFound = 2;
