// The wait for nodes the user may not open yet: a try every half second from the first refusal,
// none after 15 s, a newer change of the node replacing the wait, and a bound on what is kept.
#include <gtest/gtest.h>

#include "HIDAccessWait.h"

namespace {

using namespace std::chrono_literals;
using Clock = CHIDAccessWait::Clock;

HIDProbeItem Refused(const std::string& path) {
    HIDProbeItem item;
    item.path = path;
    item.refused = true;
    return item;
}

TEST(HIDAccessWait, TriesEveryHalfSecondForFifteenSecondsThenNoMore) {
    CHIDAccessWait wait;
    const Clock::time_point t0 = Clock::now();
    EXPECT_EQ(wait.NextTry(), Clock::time_point::max());
    wait.Add(Refused("/dev/hidraw3"), t0);
    EXPECT_EQ(wait.NextTry(), t0 + 500ms);
    EXPECT_TRUE(wait.TakeDue(t0 + 499ms).empty());
    int tries = 0;
    Clock::time_point now = t0 + 500ms;
    for (; now < t0 + 20s; now += 500ms) {
        std::vector<CHIDAccessWait::Waiting> due = wait.TakeDue(now);
        if (due.empty()) break;
        ASSERT_EQ(due.size(), 1u);
        EXPECT_EQ(due[0].item.path, "/dev/hidraw3");
        ++tries;
        wait.Retry(std::move(due[0]), now);
    }
    // Tries at 0.5 s, 1 s, ... 14.5 s; at 15 s the window has ended.
    EXPECT_EQ(tries, 29);
    EXPECT_EQ(now, t0 + 15s);
    EXPECT_EQ(wait.NextTry(), Clock::time_point::max());
}

TEST(HIDAccessWait, ANewerChangeReplacesTheWaitAndTheCountIsBounded) {
    CHIDAccessWait wait;
    const Clock::time_point t0 = Clock::now();
    wait.Add(Refused("/dev/hidraw1"), t0);
    wait.Add(Refused("/dev/hidraw2"), t0 + 100ms);
    wait.Forget("/dev/hidraw1");
    const std::vector<CHIDAccessWait::Waiting> due = wait.TakeDue(t0 + 1s);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].item.path, "/dev/hidraw2");
    // A refusal of the same node again starts its window anew, once.
    wait.Add(Refused("/dev/hidraw2"), t0 + 14s);
    wait.Add(Refused("/dev/hidraw2"), t0 + 14s);
    EXPECT_EQ(wait.TakeDue(t0 + 20s).size(), 1u);
    for (size_t i = 0; i < CHIDAccessWait::kMaxWaiting + 5; ++i) wait.Add(Refused("/dev/hidraw" + std::to_string(i)), t0);
    EXPECT_EQ(wait.TakeDue(t0 + 1s).size(), CHIDAccessWait::kMaxWaiting);
}

}  // namespace
