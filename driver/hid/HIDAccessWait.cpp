#include "HIDAccessWait.h"

#include <algorithm>
#include <utility>

#include "FormatString.h"
#include "HIDSeam.h"
#include "TraceLog.h"

constexpr std::chrono::milliseconds CHIDAccessWait::kRetryEvery;
constexpr std::chrono::milliseconds CHIDAccessWait::kWaitAtMost;
constexpr size_t CHIDAccessWait::kMaxWaiting;

void CHIDAccessWait::Add(HIDProbeItem item, Clock::time_point now) {
    Forget(item.path);
    if (waiting.size() >= kMaxWaiting) return;
    waiting.push_back({std::move(item), now, now + kRetryEvery});
}

void CHIDAccessWait::Forget(const std::string& path) {
    waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                                 [&](const Waiting& w) { return w.item.path == path; }),
                  waiting.end());
}

CHIDAccessWait::Clock::time_point CHIDAccessWait::NextTry() const {
    Clock::time_point next = Clock::time_point::max();
    for (const Waiting& w : waiting) next = std::min(next, w.nextTry);
    return next;
}

std::vector<CHIDAccessWait::Waiting> CHIDAccessWait::TakeDue(Clock::time_point now) {
    std::vector<Waiting> due;
    for (auto it = waiting.begin(); it != waiting.end();) {
        if (it->nextTry > now) {
            ++it;
            continue;
        }
        if (now - it->firstRefusal >= kWaitAtMost) {
            // Once per window, with what the administrator checks.
            if (IsTraceLogOn(kClientLogPath)) {
                WriteLogLine(FormatString("%s (vendor %04X, product %04X) stayed closed to this user for %d s: %s",
                                          it->item.path.c_str(), it->item.vendorId, it->item.productId,
                                          static_cast<int>(kWaitAtMost.count() / 1000),
                                          hidseam::AccessRefusalHint().c_str()),
                             kClientLogPath, __FILE__, true);
            }
        } else {
            due.push_back(std::move(*it));
        }
        it = waiting.erase(it);
    }
    return due;
}

void CHIDAccessWait::Retry(Waiting w, Clock::time_point now) {
    if (waiting.size() >= kMaxWaiting) return;
    w.nextTry = now + kRetryEvery;
    waiting.push_back(std::move(w));
}
