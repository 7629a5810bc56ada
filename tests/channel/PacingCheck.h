// Checks the send pacing of a run of the simulated ICA Client against its records: which poll sent
// which block, when each poll started and returned, and when the WD took each block.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "EngineSimulator.h"

namespace channeltest {

// The longest a single poll may hold the engine thread. Far below the 60 ms of the pacing, so a
// poll that waits out the interval itself cannot pass, and far above what a poll costs (tens of
// microseconds natively, below a millisecond under Wine), so scheduling noise does not fail it.
constexpr double kPollBoundUs = 20000;

struct PacingReport {
    std::vector<std::string> violations;  // empty when every rule held
    size_t sendingPolls = 0;
    size_t waitingPolls = 0;  // answered 0 and sent nothing: a block waited for the 60 ms
};

// The rules: a poll sends at most one block; blocks the WD took are at least 60 ms apart; a poll
// that sent nothing and answered 0 came less than 60 ms after the poll that sent the previous
// block returned (the driver stamps its send time before that), so each block leaves at the first
// poll that may send it; no poll answers 21 while a block is still to be sent (`expectedBlocks`).
PacingReport CheckPacing(const std::vector<enginesim::PollRecord>& polls,
                         const std::vector<enginesim::SentBlock>& sent, size_t expectedBlocks);

// Polls by hand, about once a millisecond, until the WD holds `count` blocks or five seconds
// have passed. True when it does.
bool PollUntilSent(enginesim::EngineSimulator& sim, size_t count);

// Polls by hand until a poll sends a block or answers anything but 0 (a poll that answers 0 and
// sends nothing is waiting for the pacing); that poll's answer, or -1 after five seconds.
int PollUntilTried(enginesim::EngineSimulator& sim);

// The longest call of `entry` among the records, in microseconds (0 when there was none).
double LongestCall(const std::vector<enginesim::CallTime>& calls, enginesim::EntryPoint entry);

}  // namespace channeltest
