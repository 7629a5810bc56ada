#include "PacingCheck.h"

#include <string>
#include <thread>


namespace channeltest {

namespace {

constexpr double kIntervalMs = 60;
constexpr auto kPatience = std::chrono::seconds(5);

}  // namespace

PacingReport CheckPacing(const std::vector<enginesim::PollRecord>& polls,
                         const std::vector<enginesim::SentBlock>& sent, size_t expectedBlocks) {
    PacingReport report;
    for (size_t i = 1; i < sent.size(); ++i) {
        const double gap = sent[i].ms - sent[i - 1].ms;
        if (gap < kIntervalMs) {
            report.violations.push_back("blocks " + std::to_string(i - 1) + " and " + std::to_string(i) + " only " +
                                        std::to_string(gap) + " ms apart");
        }
    }
    const enginesim::PollRecord* lastSender = nullptr;
    size_t sentSoFar = 0;
    for (size_t i = 0; i < polls.size(); ++i) {
        const enginesim::PollRecord& poll = polls[i];
        const std::string name = "poll " + std::to_string(i);
        if (poll.sentBlocks > 1) report.violations.push_back(name + " sent " + std::to_string(poll.sentBlocks) + " blocks");
        if (poll.sentBlocks > 0) {
            if (poll.rc != 0) report.violations.push_back(name + " sent a block and answered " + std::to_string(poll.rc));
            ++report.sendingPolls;
            sentSoFar += poll.sentBlocks;
            lastSender = &poll;
            continue;
        }
        if (lastSender && sentSoFar < expectedBlocks && poll.rc == 21) {
            report.violations.push_back(name + " answered 21 with " + std::to_string(sentSoFar) + " of " +
                                        std::to_string(expectedBlocks) + " blocks sent");
        }
        if (poll.rc != 0) continue;
        ++report.waitingPolls;
        // Before any send of this run the last send time is unknown here: nothing to judge.
        if (lastSender && poll.startMs >= lastSender->ms + kIntervalMs) {
            report.violations.push_back(name + " started " + std::to_string(poll.startMs - lastSender->ms) +
                                        " ms after the last send returned and sent nothing");
        }
    }
    return report;
}

bool PollUntilSent(enginesim::EngineSimulator& sim, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        sim.PollOnce();
        if (sim.Wd().SentBlockCount() >= count) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the engine's cadence, not a wait for a result
    }
}

int PollUntilTried(enginesim::EngineSimulator& sim) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        const size_t before = sim.Wd().SentBlockCount();
        const int rc = sim.PollOnce();
        if (rc != 0 || sim.Wd().SentBlockCount() > before) return rc;
        if (std::chrono::steady_clock::now() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

double LongestCall(const std::vector<enginesim::CallTime>& calls, enginesim::EntryPoint entry) {
    double longest = 0;
    for (const enginesim::CallTime& call : calls) {
        if (call.entry == entry && call.durationUs > longest) longest = call.durationUs;
    }
    return longest;
}

}  // namespace channeltest
