// The hidden state of one HID device and its reader thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "CriticalSection.h"
#include "HIDDeviceIO.h"
#include "HIDReportWriter.h"
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

// Threads: Open, Close, Write, QueueWrite and the info fields belong to the owner's thread (the
// engine thread in the driver). The reader thread reads info and uses the read side of io; the
// writer thread uses its write side; the owner's thread changes io only while neither runs.
// stopRequested is written by the closing thread and read by the reader (atomic); endLock guards
// runningThreads, handlesAbandoned's hand-over and releaseAtEnd, which all three threads use.
//
// Ownership once a stop has not waited: Close waits for the reader on the engine thread, but only
// for the stop wait's bound (30000 ms), and does not wait for a write under way at all (a stalled
// device may take seconds to refuse it). A reader or writer still running after Close owns the
// handles of its opening from then on: Close leaves them open (handlesAbandoned), the last of the
// two to end closes them, and no Open starts another opening meanwhile. Whatever else they use
// (this object, the device that receives the reports, their locks, what the report handler and
// the write completions reach) must outlive them too: the owner of the device hands the device
// over with ReleaseWhenThreadsEnd, and the last thread to end then releases it itself.
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
    // Owner's thread: checks the report as Write does (throwing the same texts), then queues it for
    // the writer thread, which it starts with the first report of an opening. Throws "WriteFile to
    // %s failed" when kMaxWaiting reports wait already or the writer cannot be started.
    void QueueWrite(const std::vector<char>& report, HIDWriteDone done);
    // Writer thread: one report through the write handle, synchronously.
    bool WriteNow(const std::vector<char>& report);
    // One input report into report (reader thread). False when the read failed or a stop was asked.
    bool ReadReport(std::vector<char>& report);
    // Owner's thread: hands release to the threads of the opening while one of them runs; false
    // when none runs (the owner releases the device itself).
    bool ReleaseWhenThreadsEnd(std::function<void()> release);
    // Reader or writer thread, as it ends: the last one closes the handles Close left to them and
    // takes the release handed over, if any.
    std::function<void()> EndThread();
    // Owner's thread: waits for the reader and the writer (each at most milliseconds).
    bool WaitForThreadsEnd(uint32_t milliseconds);

    CUSBHIDDevice* owner;  // not owned; its OnReport receives the reports
    USBHIDDeviceInfo info;
    std::atomic<bool> stopRequested;

private:
    // Starts the writer for this opening; false when it cannot run.
    bool StartWriter();
    // Throws what a write refuses before it begins: a closed device, a report of the wrong length.
    void CheckWrite(const std::vector<char>& report) const;

    // Everything the reader and the writer use is declared before the threads, so it is destroyed
    // after them: a thread's destructor waits for a reader or writer still running.
    CCriticalSectionClass endLock;
    int runningThreads = 0;               // guarded by endLock: the opening's reader and writer
    bool handlesAbandoned = false;        // guarded by endLock: Close left the handles to them
    std::function<void()> releaseAtEnd;   // guarded by endLock

public:
    std::unique_ptr<CHIDDeviceIO> io;  // the platform's read, write and wake-up handles
    CUSBDeviceThread thread;
    CHIDReportWriter writer;
    bool isOpen;
};

// Report lengths come from the device's capabilities or from the server; HID lengths are 16-bit.
constexpr int32_t kMaxReportLength = 0xFFFF;
// The system's error for a path that is not there: ERROR_FILE_NOT_FOUND on Windows, ENOENT natively.
constexpr unsigned long kErrorFileNotFound = 2;
