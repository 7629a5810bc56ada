#include "CitrixClient.h"
#include "CitrixClientData.h"
#include "ChannelTrace.h"
#include "DriverOperations.h"
#include "FormatString.h"
#include "SessionSharing.h"
#include "Thread.h"

void DriverUnload() {
    CCitrixClientData& state = CCitrixClientData::Instance();
    if (state.client) state.client->OnUnload();
    SessionSharingEnd();
    state.EndSession();
    // A thread still running here (a reader in its failure box, or one past its stop wait) holds
    // the module until it ends. Reading the count also orders this thread after the last steps of
    // every thread that has ended (the count is atomic).
    const int running = CThread::RunningThreads();
    if (running > 0) {
        TraceClient(FormatString("VdUnload: %i thread(s) still running keep the module loaded", running));
    }
}

void DriverLoadAfterUnload() {
    CCitrixClientData& state = CCitrixClientData::Instance();
    if (!state.TakeEndedSession()) return;  // a freshly mapped module: nothing to say
    TraceClient(FormatString(
        "Load after an unload that left the module loaded: %i thread(s) of the earlier session still running; "
        "the new session starts empty",
        CThread::RunningThreads()));
}
