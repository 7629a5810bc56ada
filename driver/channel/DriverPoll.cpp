#include <chrono>

#include "ChannelTrace.h"
#include "EnginePollHook.h"
#include "CitrixClient.h"
#include "CitrixClientData.h"
#include "CitrixClientOperations.h"
#include "ExceptionText.h"
#include "FormatString.h"
#include "SessionSharing.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSendInterval = std::chrono::milliseconds(60);

// True when 60 ms have passed since the last successful send. The engine thread is never made to
// wait for the rest: a block that may not leave yet waits in the queue for a later poll. A last send
// time in the future cannot happen on a monotonic clock; should it all the same, the interval
// starts again from now rather than from that time.
bool PacingAllowsSend(Clock::time_point& lastSendTime) {
    const Clock::time_point now = Clock::now();
    if (now < lastSendTime) {
        lastSendTime = now;
        return false;
    }
    return now - lastSendTime >= kSendInterval;
}

}  // namespace

int DriverPoll(VD* vd, DLLPOLL* poll, uint16_t*) {
    CCitrixClientData& state = CCitrixClientData::Instance();
    if (state.firstPoll) {
        TraceClient(FormatString("DriverPoll. Legacy Poll information: ulCurrentTime: %u.",
                                 poll ? static_cast<unsigned>(poll->CurrentTime) : 0u));
        state.firstPoll = false;
    }
    // Arrivals and removals that the platform's device monitor has for this thread (the hidraw
    // backend on Linux; nothing is installed on Windows, where the hidden window gets them).
    try {
        RunEnginePollHook();
    } catch (...) {
        const std::string what = DescribeCurrentException();
        try {
            TraceClientError("The device monitor threw " + what);
        } catch (...) {
        }
    }
    // Which of the user's sessions gets the button presses (Windows); throws nothing.
    if (state.queueVirtualWrite) SessionSharingPoll(vd);
    if (state.client) {
        // Like the receive path, the poll path lets no exception reach the ICA Client.
        try {
            state.client->OnPoll();
        } catch (...) {
            const std::string what = DescribeCurrentException();
            try {
                TraceClientError("OnPoll threw " + what);
            } catch (...) {
            }
        }
    }
    if (!state.Front()) return ica::kStatusNoData;
    return LegacySendAvailableData();
}

int LegacySendAvailableData() {
    CCitrixClientData& state = CCitrixClientData::Instance();
    const std::vector<uint8_t>* const block = state.Front();
    if (state.hpcMode || !block) return ica::kStatusNoData;

    int rc = ica::kErrorNullPointer;  // a channel that was never opened cannot send
    if (state.queueVirtualWrite) {
        // Less than 60 ms since the last send: nothing leaves and nothing is traced. The answer is
        // 0, not 21, because a block is waiting: after 21 the engine may poll less often, which
        // would hold the block back beyond its 60 ms.
        if (!PacingAllowsSend(state.lastSendTime)) return ica::kStatusSuccess;
        MEMORY_SECTION section;
        section.length = static_cast<uint32_t>(block->size());
        section.pSection = const_cast<uint8_t*>(block->data());
        rc = state.queueVirtualWrite(state.wdData, state.channelNumber, &section, 1, 0);
    }
    if (rc != ica::kStatusSuccess) {
        TraceServerError("LegacySendAvailableData: Failed to send data to server");
        return ica::kStatusRetry;
    }
    // The interval runs from the moment the WD took the block, before the trace line is written.
    state.lastSendTime = Clock::now();
    TraceClient("LegacySendAvailableData: Successfully sent data to server");
    state.Pop();
    return ica::kStatusSuccess;
}
