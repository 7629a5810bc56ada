#include "HIDProbeQueue.h"

#include <utility>

#include "Thread.h"

CHIDProbeQueue::CHIDProbeQueue() {}

void CHIDProbeQueue::Push(HIDProbeItem item) {
    {
        CCriticalSectionLocker locked(lock);
        waiting.push_back(std::move(item));
        ++unfinished;
    }
    work.Release(1);  // fails when a wake-up is pending already, which is enough
}

void CHIDProbeQueue::Append(HIDProbeItem item) {
    {
        CCriticalSectionLocker locked(lock);
        ++unfinished;
    }
    Finish(std::move(item));
}

std::vector<HIDProbeItem> CHIDProbeQueue::TakeFinished() {
    std::vector<HIDProbeItem> taken;
    CCriticalSectionLocker locked(lock);
    for (auto it = finished.begin(); it != finished.end();) {
        if (it->kind == HIDProbeItem::kListed) {
            ++it;
            continue;
        }
        taken.push_back(std::move(*it));
        it = finished.erase(it);
    }
    return taken;
}

std::vector<HIDProbeItem> CHIDProbeQueue::TakeListed(uint64_t listing) {
    std::vector<HIDProbeItem> taken;
    CCriticalSectionLocker locked(lock);
    answeredListing = listing;
    for (auto it = finished.begin(); it != finished.end();) {
        if (it->kind != HIDProbeItem::kListed || it->listing != listing) {
            ++it;
            continue;
        }
        taken.push_back(std::move(*it));
        it = finished.erase(it);
    }
    return taken;
}

bool CHIDProbeQueue::WaitUntilIdle(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        {
            CCriticalSectionLocker locked(lock);
            if (unfinished == 0) return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        // A count left from an earlier finish only makes one more round.
        progress.Wait(static_cast<uint32_t>(left.count()));
    }
}

void CHIDProbeQueue::RequestStop() {
    {
        CCriticalSectionLocker locked(lock);
        stopping = true;
    }
    work.Release(1);
}

bool CHIDProbeQueue::WaitForRunEnd(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        {
            CCriticalSectionLocker locked(lock);
            if (runEnded) return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        ended.Wait(static_cast<uint32_t>(left.count()));
    }
}

void CHIDProbeQueue::SetAccessWaitFilter(AccessWaitFilter filter) {
    CCriticalSectionLocker locked(lock);
    accessWaitFilter = filter;
}

bool CHIDProbeQueue::WaitsForAccess(uint16_t vendorId, uint16_t productId) {
    AccessWaitFilter filter;
    {
        CCriticalSectionLocker locked(lock);
        filter = accessWaitFilter;
    }
    return filter && filter(vendorId, productId);
}

CHIDProbeQueue::Next CHIDProbeQueue::NextItem(HIDProbeItem& item, std::chrono::steady_clock::time_point until) {
    for (;;) {
        {
            CCriticalSectionLocker locked(lock);
            if (stopping) return Next::kStopped;
            if (!waiting.empty()) {
                item = std::move(waiting.front());
                waiting.pop_front();
                return Next::kItem;
            }
        }
        uint32_t wait = CSemaphoreClass::kInfinite;
        if (until != std::chrono::steady_clock::time_point::max()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return Next::kTimedOut;
            wait = static_cast<uint32_t>(left.count());
        }
        work.Wait(wait);
    }
}

void CHIDProbeQueue::Deliver(HIDProbeItem item) {
    if (item.kind == HIDProbeItem::kListed && item.listing <= answeredListing) item.kind = HIDProbeItem::kArrival;
    // A listed path that could not be probed is left out; an arrival that could not is not reported.
    if (item.probed || item.kind == HIDProbeItem::kRemoval || item.kind == HIDProbeItem::kListed) {
        finished.push_back(std::move(item));
    }
}

void CHIDProbeQueue::Finish(HIDProbeItem item) {
    {
        CCriticalSectionLocker locked(lock);
        --unfinished;
        Deliver(std::move(item));
    }
    progress.Release(1);
}

void CHIDProbeQueue::FinishRetried(HIDProbeItem item) {
    CCriticalSectionLocker locked(lock);
    Deliver(std::move(item));
}

void CHIDProbeQueue::EndRun() {
    {
        CCriticalSectionLocker locked(lock);
        runEnded = true;
    }
    ended.Release(1);
}
