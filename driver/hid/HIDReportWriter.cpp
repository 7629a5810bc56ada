#include "HIDReportWriter.h"

#include <utility>

#include "FormatString.h"
#include "USBHIDDeviceImpl.h"

CHIDReportWriter::CHIDReportWriter(CUSBHIDDeviceImpl* impl) : CThread(0, false), impl(impl) {}

CHIDReportWriter::~CHIDReportWriter() = default;

void CHIDReportWriter::Restart() {
    CCriticalSectionLocker locker(lock);
    stopping = false;
}

CHIDReportWriter::Queued CHIDReportWriter::Queue(const std::vector<char>& report, const std::string& path,
                                                 HIDWriteDone done) {
    CCriticalSectionLocker locker(lock);
    if (stopping || waiting.size() >= kMaxWaiting) return Queued::kRefused;
    waiting.push_back(Pending{report, path, std::move(done)});
    if (draining) return Queued::kQueued;
    draining = true;
    return Queued::kStartWriter;
}

void CHIDReportWriter::Unqueue() {
    CCriticalSectionLocker locker(lock);
    if (!waiting.empty()) waiting.pop_back();
    draining = false;
}

bool CHIDReportWriter::Stop(std::deque<std::pair<std::vector<char>, HIDWriteDone>>& dropped) {
    CCriticalSectionLocker locker(lock);
    stopping = true;
    for (Pending& pending : waiting) dropped.emplace_back(std::move(pending.report), std::move(pending.done));
    waiting.clear();
    return writing;
}

void CHIDReportWriter::Run(int) {
    try {
        for (;;) {
            Pending next;
            {
                CCriticalSectionLocker locker(lock);
                if (stopping || waiting.empty()) {
                    draining = false;  // decided under the lock: from here on Queue asks for a new writer
                    break;
                }
                next = std::move(waiting.front());
                waiting.pop_front();
                writing = true;
            }
            const bool written = impl->WriteNow(next.report);
            {
                CCriticalSectionLocker locker(lock);
                writing = false;
            }
            if (!next.done) continue;
            try {
                if (written) {
                    next.done(nullptr);
                } else {
                    const std::string failure = FormatString("WriteFile to %s failed", next.path.c_str());
                    next.done(&failure);
                }
            } catch (...) {
                // A completion that fails (out of memory while it queues its reply, say) ends the
                // handling of its own report only.
            }
        }
    } catch (...) {
        // Out of memory in the writer's own steps: it ends; what still waits goes to the next
        // writer, or is reported by Close.
        CCriticalSectionLocker locker(lock);
        writing = false;
        draining = false;
    }
    // The last use of impl: once the reader has ended too and Close has left the handles to them,
    // what the owner handed over is released on this thread, after Run (it may destroy impl and
    // this object).
    std::function<void()> release = impl->EndThread();
    if (release) RunAfterEnd(std::move(release));
}
