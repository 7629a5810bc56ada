#include "ChannelTrace.h"
#include "CitrixClient.h"
#include "CitrixClientData.h"
#include "CitrixClientOperations.h"
#include "ExceptionText.h"
#include "FormatString.h"

int TOV_ICA_CALL ChannelDataArrival(void*, uint16_t, uint8_t* buffer, uint16_t length) {
    // No exception may reach the WD: whatever the client throws is traced as an error line and the
    // block counts as handled (0, the interface's success code).
    try {
        TraceClient(FormatString("Data received from server with %i bytes", static_cast<int>(length)));
        CCitrixClient* const client = CCitrixClientData::Instance().client;
        if (!client) return ica::kStatusSuccess;
        return client->OnDataReceived(buffer, length);
    } catch (...) {
        const std::string what = DescribeCurrentException();
        try {
            TraceClientError("OnDataReceived threw " + what);
        } catch (...) {
        }
    }
    return ica::kStatusSuccess;
}
