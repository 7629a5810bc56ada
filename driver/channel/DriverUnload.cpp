#include "CitrixClient.h"
#include "CitrixClientData.h"
#include "ChannelTrace.h"
#include "DriverOperations.h"
#include "FormatString.h"
#include "Thread.h"

void DriverUnload() {
    CCitrixClientData& state = CCitrixClientData::Instance();
    if (state.client) state.client->OnUnload();
    state.EndSession();
}

void DriverLoadAfterUnload() {
    CCitrixClientData& state = CCitrixClientData::Instance();
    if (!state.TakeEndedSession()) return;  // a freshly mapped module: nothing to say
    TraceClient(FormatString(
        "Load after an unload that left the module loaded: %i thread(s) of the earlier session still running; "
        "the new session starts empty",
        CThread::RunningThreads()));
}
