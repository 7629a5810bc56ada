#include <new>

#include "ChannelTrace.h"
#include "CitrixClientData.h"
#include "CitrixClientOperations.h"
#include "FormatString.h"
#include "TraceLog.h"

uint32_t CurrentLoad() { return CCitrixClientData::Instance().Load(); }

void SendMessageToServer(const uint8_t* data, int size, uint32_t madeInLoad) {
    // Runs for every button event on a reader thread: the line is formatted only while the log is on.
    if (IsTraceLogOn(kClientLogPath)) TraceClient(FormatString("SendMessageToServer with %i bytes", size));
    // Every block carries at least one byte; an empty or missing block would reach the WD as a
    // zero-length write, so it is dropped here.
    if (!data || size <= 0) {
        TraceClientError(FormatString("SendMessageToServer: block of %i bytes dropped", size));
        return;
    }
    try {
        if (!CCitrixClientData::Instance().Push(data, static_cast<size_t>(size), madeInLoad)) {
            TraceClient(FormatString("SendMessageToServer: block of %i bytes of an ended session dropped", size));
        }
    } catch (const std::bad_alloc&) {
        TraceClientError(FormatString("SendMessageToServer: no memory to queue %i bytes", size));
    }
}
