#include <chrono>

#include "ChannelTrace.h"
#include "CitrixClient.h"
#include "CitrixClientData.h"
#include "CitrixClientOperations.h"
#include "ExceptionText.h"
#include "FormatString.h"
#include "SleepMilliseconds.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSendInterval = std::chrono::milliseconds(60);

// Waits until at least 60 ms have passed since the last successful send. Sleeps on the calling
// engine thread, in whole milliseconds rounded up, and checks again after waking.
void PaceSend(const Clock::time_point lastSendTime) {
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now < lastSendTime) {  // cannot happen on a monotonic clock; be safe all the same
            SleepMilliseconds(static_cast<uint32_t>(kSendInterval.count()));
            return;
        }
        const auto elapsed = now - lastSendTime;
        if (elapsed >= kSendInterval) return;
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(kSendInterval - elapsed);
        SleepMilliseconds(static_cast<uint32_t>(rest.count()));
    }
}

}  // namespace

int DriverPoll(VD*, DLLPOLL* poll, uint16_t*) {
    CCitrixClientData& state = CCitrixClientData::Instance();
    if (state.firstPoll) {
        TraceClient(FormatString("DriverPoll. Legacy Poll information: ulCurrentTime: %u.",
                                 poll ? static_cast<unsigned>(poll->CurrentTime) : 0u));
        state.firstPoll = false;
    }
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
        PaceSend(state.lastSendTime);
        MEMORY_SECTION section;
        section.length = static_cast<uint32_t>(block->size());
        section.pSection = const_cast<uint8_t*>(block->data());
        rc = state.queueVirtualWrite(state.wdData, state.channelNumber, &section, 1, 0);
    }
    if (rc != ica::kStatusSuccess) {
        TraceServerError("LegacySendAvailableData: Failed to send data to server");
        return ica::kStatusRetry;
    }
    TraceClient("LegacySendAvailableData: Successfully sent data to server");
    state.lastSendTime = Clock::now();
    state.Pop();
    return ica::kStatusSuccess;
}
