#include "HIDOpening.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "FormatString.h"
#include "LastError.h"
#include "MessageBox.h"
#include "Thread.h"

// What the stopping thread waits on: how many threads of the opening still run. Each thread holds
// it besides the opening and leaves only after it has let go of the opening, so a wait that ends
// finds the handles closed unless the waiter itself holds the opening.
struct CHIDOpening::Threads {
    std::mutex lock;
    std::condition_variable changed;  // notified when a thread leaves, or the write queue changes
    int running = 0;                  // guarded by lock
};

namespace {

// Waits on changed until ended() or the steady deadline. libstdc++ waits against a steady clock
// with pthread_cond_clockwait, which the oldest C library the Linux driver supports (2.27) lacks, so
// the wait is made against the system clock in steps of at most 50 ms, and the steady clock decides
// when the deadline has passed (a step of the wall clock costs one step at most).
template <typename Ended>
bool WaitSteady(std::condition_variable& changed, std::unique_lock<std::mutex>& locker,
                CHIDOpening::Clock::time_point deadline, Ended ended) {
    while (!ended()) {
        const auto now = CHIDOpening::Clock::now();
        if (now >= deadline) return false;
        const auto step = std::min<CHIDOpening::Clock::duration>(deadline - now, std::chrono::milliseconds(50));
        changed.wait_until(locker, std::chrono::system_clock::now() +
                                       std::chrono::duration_cast<std::chrono::system_clock::duration>(step));
    }
    return true;
}

std::atomic<uint32_t> writeTimeoutMilliseconds{CHIDOpening::kWriteTimeoutMilliseconds};

// Report lengths come from the device's capabilities or from the server; HID lengths are 16-bit.
constexpr int32_t kMaxReportLength = 0xFFFF;

// The reader's failure box, shown on the reader's thread once it has left its opening, so that no
// stop waits for whoever has to dismiss it; the box uses nothing but its own text.
void ShowReadFailure(const std::string& text) {
    ShowMessageBox(text, "USBHIDManager", kMessageBoxOk | kMessageBoxIconError);
}

}  // namespace

void CHIDOpening::SetWriteTimeoutForTests(uint32_t milliseconds) { writeTimeoutMilliseconds = milliseconds; }

CHIDOpening::CHIDOpening(const USBHIDDeviceInfo& info, CUSBHIDDevice* sink, std::shared_ptr<void> sinkHold)
    : info(info), sink(sink), sinkHold(std::move(sinkHold)), io(CHIDDeviceIO::Create()),
      threads(std::make_shared<Threads>()) {}

// Runs on the last holder's thread; no thread of the opening uses the handles any more.
CHIDOpening::~CHIDOpening() = default;

std::shared_ptr<CHIDOpening> CHIDOpening::Create(const USBHIDDeviceInfo& info, CUSBHIDDevice* sink,
                                                 std::shared_ptr<void> sinkHold) {
    std::shared_ptr<CHIDOpening> opening(new CHIDOpening(info, sink, std::move(sinkHold)));
    opening->io->Open(info.devicePath);
    // The interface numbers are handed out again: the path may now reach another device than the
    // one info describes (a foot switch on the node a hand-set had). Its reports would be decoded
    // with the wrong model's table, so it is refused as a path that cannot be opened.
    if (!opening->io->OpenedAs(info)) {
        SetLastErrorCode(kErrorFileNotFound);
        throw FormatString("CreateFile of %s for reading failed", info.devicePath.c_str());
    }
    return opening;
}

bool CHIDOpening::StartThread(std::string (CHIDOpening::*body)()) {
    std::shared_ptr<Threads> counter = threads;
    {
        std::lock_guard<std::mutex> locker(counter->lock);
        ++counter->running;
    }
    std::shared_ptr<CHIDOpening> self = shared_from_this();
    // The thread leaves its opening once: before its failure box (no stop waits for whoever has to
    // dismiss it, though the thread still counts as running), otherwise after it no longer counts.
    auto left = std::make_shared<std::atomic<bool>>(false);
    auto leave = [counter, left] {
        if (left->exchange(true)) return;
        std::lock_guard<std::mutex> locker(counter->lock);
        --counter->running;
        counter->changed.notify_all();
    };
    const bool started = CThread::StartDetached(
        [self, body, leave]() mutable {
            std::string failure;
            try {
                failure = ((*self).*body)();
            } catch (...) {
            }
            self.reset();  // the last holder closes the handles here
            if (failure.empty()) return;
            leave();
            ShowReadFailure(failure);
        },
        leave);
    if (!started) leave();
    return started;
}

bool CHIDOpening::StartReader() {
    {
        std::lock_guard<std::mutex> locker(threads->lock);
        readerRunning = true;
    }
    if (StartThread(&CHIDOpening::RunReader)) return true;
    std::lock_guard<std::mutex> locker(threads->lock);
    readerRunning = false;
    return false;
}

bool CHIDOpening::WaitForReaderEnd(Clock::time_point deadline) {
    std::unique_lock<std::mutex> locker(threads->lock);
    return WaitSteady(threads->changed, locker, deadline, [this] { return !readerRunning; });
}

size_t CHIDOpening::ReportLength() const {
    const int32_t length = info.inputReportByteLength;
    if (length <= 0 || length > kMaxReportLength) return 0;  // nothing sensible to read
    // The server names the length; a read never fills more than the device's own report, so the
    // buffer is no longer than that.
    const int32_t deviceLength = io->InputReportLength();
    return static_cast<size_t>(deviceLength > 0 && deviceLength < length ? deviceLength : length);
}

std::string CHIDOpening::RunReader() {
    std::string failure;
    try {
        // One buffer for the whole opening, its room reserved once: a report allocates nothing.
        const size_t length = ReportLength();
        std::vector<char> report;
        report.reserve(length);
        while (length > 0 && !stopRequested) {
            report.assign(length, 0);
            if (!io->Read(report, stopRequested)) break;
            sink->OnReport(report);
        }
    } catch (const HIDReadFailure& readFailure) {
        // The thrown text itself is not shown; the box carries the failed wait's system error.
        SetLastErrorCode(readFailure.error);
        failure = FormatString("Reading from USB deviced failed: %s", LastErrorText().c_str());
    } catch (...) {
        // The thrown text itself is not shown; the box carries the system's last error.
        failure = FormatString("Reading from USB deviced failed: %s", LastErrorText().c_str());
    }
    {
        std::lock_guard<std::mutex> locker(threads->lock);
        readerRunning = false;
    }
    threads->changed.notify_all();
    return failure;
}

std::string CHIDOpening::RunWriter() {
    const std::string failure = FormatString("WriteFile to %s failed", info.devicePath.c_str());
    for (;;) {
        Pending next;
        {
            std::unique_lock<std::mutex> locker(threads->lock);
            threads->changed.wait(locker, [this] { return stopping || !waiting.empty(); });
            if (stopping) break;
            next = std::move(waiting.front());
            waiting.pop_front();
        }
        const bool written = io->Write(next.report, next.report.size(), stopRequested, writeTimeoutMilliseconds);
        if (!next.done) continue;
        try {
            next.done(written ? nullptr : &failure);
        } catch (...) {
            // A completion that fails (out of memory while it queues its reply, say) ends the
            // handling of its own report only.
        }
    }
    return std::string();
}

void CHIDOpening::CheckWrite(const std::vector<char>& report) const {
    if (!io->CanWrite()) throw std::string("Invalid file handle. Can not write to this device");
    const uint32_t size = static_cast<uint32_t>(report.size());
    const uint32_t required = static_cast<uint32_t>(info.outputReportByteLength);
    if (size < required) {
        throw FormatString("Too small buffer (only %i bytes) to send. Required size is %i bytes",
                           static_cast<int>(size), static_cast<int>(required));
    }
    if (size > required) {
        throw FormatString("Too big buffer (%i bytes) to send. Required size is %i bytes", static_cast<int>(size),
                           static_cast<int>(required));
    }
}

void CHIDOpening::WriteNow(const std::vector<char>& report) {
    CheckWrite(report);
    if (!io->Write(report, report.size(), stopRequested, writeTimeoutMilliseconds)) {
        throw FormatString("WriteFile to %s failed", info.devicePath.c_str());
    }
}

void CHIDOpening::QueueWrite(const std::vector<char>& report, HIDWriteDone done) {
    CheckWrite(report);
    bool startWriter = false;
    {
        std::lock_guard<std::mutex> locker(threads->lock);
        if (stopping || waiting.size() >= kMaxWaiting) {
            throw FormatString("WriteFile to %s failed", info.devicePath.c_str());
        }
        waiting.push_back(Pending{report, std::move(done)});
        startWriter = !writerStarted;
        writerStarted = true;
    }
    threads->changed.notify_all();
    if (startWriter && !StartThread(&CHIDOpening::RunWriter)) {
        std::lock_guard<std::mutex> locker(threads->lock);
        waiting.pop_back();
        writerStarted = false;
        throw FormatString("WriteFile to %s failed", info.devicePath.c_str());
    }
}

void CHIDOpening::Stop() {
    std::deque<Pending> dropped;
    {
        std::lock_guard<std::mutex> locker(threads->lock);
        if (stopping) return;
        stopping = true;
        dropped.swap(waiting);
    }
    stopRequested = true;
    threads->changed.notify_all();
    io->WakeReader();
    io->CancelWrite();
    // The reports that never reached the device are reported as written to a closed device.
    const std::string notWritten = "Invalid file handle. Can not write to this device";
    for (Pending& report : dropped) {
        if (!report.done) continue;
        try {
            report.done(&notWritten);
        } catch (...) {
        }
    }
}

bool CHIDOpening::WaitUntil(Clock::time_point deadline) {
    std::unique_lock<std::mutex> locker(threads->lock);
    auto ended = [this] { return threads->running == 0; };
    if (deadline == Clock::time_point::max()) {
        threads->changed.wait(locker, ended);
        return true;
    }
    return WaitSteady(threads->changed, locker, deadline, ended);
}
