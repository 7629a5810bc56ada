// The way of the HID interface changes from the engine thread through the manager's probe thread
// and back: arrivals and listed paths are probed there, removals pass through in their place, so
// the engine thread receives every change in the order the devices came and went.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "CriticalSection.h"
#include "Semaphore.h"
#include "USBHIDDeviceInfo.h"

// One change on its way. A listed path whose listing was answered before its probe finished
// becomes an arrival.
struct HIDProbeItem {
    enum Kind { kArrival, kRemoval, kListed };
    Kind kind = kArrival;
    std::string path;      // lower-cased, except a listed path (as the enumeration gave it)
    uint64_t listing = 0;  // kListed: the listing that asked
    bool probed = false;   // the probe succeeded and filled info
    USBHIDDeviceInfo info;
    std::string thrown;    // the text the probe threw, if it threw one
    // The open was refused for want of permission, on a device with these ids (see CHIDAccessWait).
    bool refused = false;
    uint16_t vendorId = 0, productId = 0;
};

// Which refused devices the probe thread waits for: the supported models (a node the rule does not
// reach would stay closed). Called on the probe thread.
using AccessWaitFilter = bool (*)(uint16_t vendorId, uint16_t productId);

// Held by the manager (std::shared_ptr) and by its probe thread, whichever lets go last frees it:
// a probe stuck in a system open keeps the queue, the manager never waits for it beyond its
// deadline. Threads: Push, Append, TakeFinished, TakeListed, WaitUntilIdle, RequestStop and
// WaitForRunEnd run on the engine thread, NextItem, Finish, FinishRetried, WaitsForAccess and
// EndRun on the probe thread. lock guards every member but the three semaphores, which are the
// wake-ups (at most one count each).
class CHIDProbeQueue {
public:
    CHIDProbeQueue();

    void Push(HIDProbeItem item);
    // An item probed where it came from (no probe thread): finished at once.
    void Append(HIDProbeItem item);
    // The finished arrivals and removals, in order; listed items stay for their listing. Every
    // poll asks, so nothing is allocated when nothing has finished.
    std::vector<HIDProbeItem> TakeFinished();
    // Marks the listing answered and takes its finished items, in order.
    std::vector<HIDProbeItem> TakeListed(uint64_t listing);
    // Waits until every item pushed so far has finished; false when the deadline came first.
    bool WaitUntilIdle(std::chrono::steady_clock::time_point deadline);
    void RequestStop();
    // Waits until the probe thread's run has ended (EndRun); false when the deadline came first.
    bool WaitForRunEnd(std::chrono::steady_clock::time_point deadline);

    // Which refused devices are waited for; none until it is set. Any thread.
    void SetAccessWaitFilter(AccessWaitFilter filter);
    bool WaitsForAccess(uint16_t vendorId, uint16_t productId);

    enum class Next { kItem, kStopped, kTimedOut };
    // Waits for the next item until `until` (a retry that is due); kStopped once a stop was requested.
    Next NextItem(HIDProbeItem& item, std::chrono::steady_clock::time_point until);
    void Finish(HIDProbeItem item);
    // An item refused at first that opened on a later try (it was finished already): delivered as
    // an arrival, or with its listing when that has not been answered yet.
    void FinishRetried(HIDProbeItem item);
    // The run's end, the probe thread's last use of the queue but for letting go of it.
    void EndRun();

private:
    CCriticalSectionClass lock;
    CSemaphoreClass work{"", true};      // released by Push and RequestStop
    CSemaphoreClass progress{"", true};  // released by Finish
    CSemaphoreClass ended{"", true};     // released by EndRun
    std::deque<HIDProbeItem> waiting;
    std::deque<HIDProbeItem> finished;
    size_t unfinished = 0;  // pushed, not yet finished
    uint64_t answeredListing = 0;
    bool stopping = false;
    bool runEnded = false;
    AccessWaitFilter accessWaitFilter = nullptr;

    void Deliver(HIDProbeItem item);  // with lock held
};
