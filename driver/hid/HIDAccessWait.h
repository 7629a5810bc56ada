// The arrivals whose node the session user may not open yet. On Linux the kernel announces a
// hidraw node before udevd has applied the rule that gives it to the user (and a listing after lost
// events can find it then too), so its first probe is refused. Such an arrival is kept here and
// probed again every half second, for at most 15 s, instead of being dropped: udevd may take
// seconds in a uevent storm. A node still refused then is traced once and left alone.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "HIDProbeQueue.h"

// Threads: the probe thread's own; no lock.
class CHIDAccessWait {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kRetryEvery{500};
    static constexpr std::chrono::milliseconds kWaitAtMost{15000};
    // At most this many nodes are waited for at once; a refusal beyond them is dropped, as before.
    static constexpr size_t kMaxWaiting = 64;

    struct Waiting {
        HIDProbeItem item;
        Clock::time_point firstRefusal;
        Clock::time_point nextTry;
    };

    // Keeps a refused arrival or listed path; its window starts now.
    void Add(HIDProbeItem item, Clock::time_point now);
    // A newer change of path (an arrival, a removal) replaces whatever waits for it.
    void Forget(const std::string& path);
    // When the next retry is due; Clock::time_point::max() when nothing waits.
    Clock::time_point NextTry() const;
    // The items whose retry is due at now, taken out. An item whose window has ended is traced
    // once and dropped instead.
    std::vector<Waiting> TakeDue(Clock::time_point now);
    // Puts back an item that TakeDue returned and that was refused again.
    void Retry(Waiting waiting, Clock::time_point now);

private:
    std::vector<Waiting> waiting;
};
