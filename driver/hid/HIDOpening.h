// One opening of a HID interface: its handles, its copy of the interface record, its reader and its
// LED writer, which live and end together.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "HIDDeviceIO.h"
#include "USBHIDDevice.h"

// Who holds what: the device holds its current opening while it is open; the reader and the writer
// each hold it while they run. The last holder closes the handles (the opening's destructor). The
// opening in turn holds the device that receives its reports (sinkHold, when a shared_ptr owns the
// device), so a thread that outlives its stop still reaches a live device; the device lets go of
// the opening at its stop, which ends that cycle. A new opening shares nothing with an old one.
//
// Threads: Create and StartReader run on the thread that opens the device; RunReader on the reader,
// RunWriter on the writer; QueueWrite, WriteNow and Stop on the owner's thread (the engine thread in
// the driver), WaitUntil on whoever stopped it. info and io never change after Create. lock (in the
// shared state) guards the write queue, the writer's start and the count of running threads.
// The system's error for a path that is not there: ERROR_FILE_NOT_FOUND on Windows, ENOENT natively.
constexpr unsigned long kErrorFileNotFound = 2;

class CHIDOpening : public std::enable_shared_from_this<CHIDOpening> {
public:
    using Clock = std::chrono::steady_clock;
    // How many reports may wait behind the one being written; QueueWrite refuses one more.
    static constexpr size_t kMaxWaiting = 32;
    // How long one output report may take before its write is given up.
    static constexpr uint32_t kWriteTimeoutMilliseconds = 5000;

    // Opens info.devicePath for reading and writing; throws as CHIDDeviceIO::Open does, and
    // "CreateFile of %s for reading failed" when the path now names another device than info.
    static std::shared_ptr<CHIDOpening> Create(const USBHIDDeviceInfo& info, CUSBHIDDevice* sink,
                                               std::shared_ptr<void> sinkHold);
    ~CHIDOpening();
    CHIDOpening(const CHIDOpening&) = delete;
    CHIDOpening& operator=(const CHIDOpening&) = delete;

    // Starts the reader; false when the thread cannot be started.
    bool StartReader();
    // Checks the report (throws "Too small buffer ..." / "Too big buffer ..." as the synchronous
    // write does), then queues it for the writer, which is started with the first report. Throws
    // "WriteFile to %s failed" when kMaxWaiting reports wait already, the opening is stopping, or
    // the writer cannot be started.
    void QueueWrite(const std::vector<char>& report, HIDWriteDone done);
    // Checks and writes one report on the calling thread, bounded as the writer's writes are.
    void WriteNow(const std::vector<char>& report);
    // Tells both threads to stop, at once and without waiting: the reader is woken, a write under
    // way is cancelled and the reports still waiting are answered as not written. Idempotent.
    void Stop();
    // Waits until both threads have ended and let go of the opening, at most until deadline;
    // true when they have.
    bool WaitUntil(Clock::time_point deadline);
    // Waits at most until deadline for the reader to end (or find it never ran); true when it has.
    bool WaitForReaderEnd(Clock::time_point deadline);
    // Whether the opening keeps its device alive (a shared_ptr owns the device); one that does not
    // must be waited for without limit before the device goes.
    bool KeepsSinkAlive() const { return static_cast<bool>(sinkHold); }

    // Tests: the bound of every write from now on (kWriteTimeoutMilliseconds unless shortened).
    static void SetWriteTimeoutForTests(uint32_t milliseconds);

    const USBHIDDeviceInfo info;  // the record this opening was made for

private:
    struct Threads;
    struct Pending {
        std::vector<char> report;
        HIDWriteDone done;
    };

    CHIDOpening(const USBHIDDeviceInfo& info, CUSBHIDDevice* sink, std::shared_ptr<void> sinkHold);
    void CheckWrite(const std::vector<char>& report) const;
    // Starts body on a thread of its own that holds this opening; false when it cannot start.
    bool StartThread(std::string (CHIDOpening::*body)());
    std::string RunReader();  // the failure text for the reader's box, empty when none
    std::string RunWriter();
    size_t ReportLength() const;

    CUSBHIDDevice* const sink;             // its OnReport receives the reports
    const std::shared_ptr<void> sinkHold;  // keeps sink alive, when a shared_ptr owns it
    // Declared after sinkHold, so destroyed before it: the handles are closed before the device
    // the opening held may go.
    std::unique_ptr<CHIDDeviceIO> io;
    std::atomic<bool> stopRequested{false};
    const std::shared_ptr<Threads> threads;  // outlives the opening until each thread has left it
    std::deque<Pending> waiting;          // guarded by threads->lock
    bool writerStarted = false;           // guarded by threads->lock
    bool stopping = false;                // guarded by threads->lock
    bool readerRunning = false;           // guarded by threads->lock
};
