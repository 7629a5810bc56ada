// The writer thread of one open HID device: writes the device's output reports in the order they
// were queued, so that a device that takes seconds to accept a report (a control transfer to a
// stalled device) never holds the thread that queued it, in the driver the ICA Client's engine thread.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "CriticalSection.h"
#include "Thread.h"
#include "USBHIDDevice.h"

class CUSBHIDDeviceImpl;

// The thread runs only while there is something to write: Queue asks for it with the first report
// after an idle spell, and it ends as soon as the queue is empty, so an idle device has no writer.
//
// Threads: Queue, Unqueue, Stop and Restart run on the owner's thread (the engine thread in the
// driver), Run on the writer thread. lock guards every member below it.
class CHIDReportWriter : public CThread {
public:
    // How many reports may wait behind the one being written; Queue refuses one more.
    static constexpr size_t kMaxWaiting = 32;

    enum class Queued { kRefused, kQueued, kStartWriter };

    explicit CHIDReportWriter(CUSBHIDDeviceImpl* impl);
    ~CHIDReportWriter() override;

    // Owner's thread, at Open: the device takes reports again.
    void Restart();
    // Owner's thread: queues one report, to be written on path. kStartWriter: no writer drains the
    // queue now, the caller starts one (after the last one has returned), or takes the report back
    // with Unqueue when it cannot. kRefused (nothing queued): the device is closed or kMaxWaiting
    // reports wait already.
    Queued Queue(const std::vector<char>& report, const std::string& path, HIDWriteDone done);
    void Unqueue();
    // Owner's thread, at Close: no further write begins; the reports still waiting are moved to
    // dropped (the caller reports them as not written). True when a write is under way at this
    // moment: the writer ends once that system call returns, which may take seconds.
    bool Stop(std::deque<std::pair<std::vector<char>, HIDWriteDone>>& dropped);

    // Writer thread: writes until the queue is empty or a stop is asked.
    void Run(int param) override;

private:
    struct Pending {
        std::vector<char> report;
        std::string path;  // for the failure's text; the owner may change the device's info meanwhile
        HIDWriteDone done;
    };

    CUSBHIDDeviceImpl* impl;  // the impl that embeds this writer; not owned
    CCriticalSectionClass lock;
    std::deque<Pending> waiting;  // guarded by lock
    bool stopping = false;        // guarded by lock: the device is closed
    bool draining = false;        // guarded by lock: a writer thread takes the waiting reports
    bool writing = false;         // guarded by lock: a write is under way
};
