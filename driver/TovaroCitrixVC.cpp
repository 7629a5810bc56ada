// The driver module's one channel client: a static object, bound to the channel "TovUSB" when the
// library is loaded.
//
// Until the server-message dispatcher takes its place, the client only traces what it receives.
#include <cstdint>

#include "CitrixClient.h"
#include "FormatString.h"
#include "TraceLog.h"

namespace {

class CTracingChannelClient : public CCitrixClient {
public:
    CTracingChannelClient() : CCitrixClient("TovUSB") {}

    // Engine thread.
    int OnDataReceived(const uint8_t* data, uint16_t size) override {
        WriteLogLine(FormatString("Received block: %s", FormatBufferDump(data, size).c_str()), kClientLogPath,
                     ".\\TovaroCitrixVC", false);
        return 0;
    }

    void OnPoll() override {}
};

CTracingChannelClient g_channelClient;

}  // namespace
