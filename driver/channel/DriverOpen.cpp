#include <cinttypes>

#include "ChannelTrace.h"
#include "CitrixClientData.h"
#include "CitrixClientOperations.h"
#include "DriverEntry.h"
#include "FormatString.h"
#include "SessionSharing.h"

int DriverOpen(VD* vd, VDOPEN* open, uint16_t* size) {
    TraceClient("DriverOpen entered");
    if (size) *size = sizeof(VDOPEN);
    CCitrixClientData& state = CCitrixClientData::Instance();
    const char* const name = state.channelName.c_str();

    OPENVIRTUALCHANNEL channel = {};
    channel.pVCName = const_cast<char*>(name);
    WDQUERYINFORMATION query = {};
    query.WdInformationClass = ica::kWdClassOpenVirtualChannel;
    query.pWdInformation = &channel;
    query.WdInformationLength = sizeof(OPENVIRTUALCHANNEL);
    uint16_t querySize = sizeof(WDQUERYINFORMATION);

    TraceClient(FormatString("Opening virtual channel '%s'...", name));
    int rc = VdCallWd(vd, ica::kWdQueryInformation, &query, &querySize);
    if (rc != ica::kStatusSuccess) {
        TraceClientError(FormatString("Could not open virtual channel '%s'. rc = %d.", name, rc));
        return rc;
    }
    state.channelNumber = channel.Channel;
    TraceClient(FormatString("Successfully opened virtual channel '%s'. virtualChannelNum = %i", name,
                             static_cast<int>(state.channelNumber)));

    vd->pPrivate = nullptr;

    VDWRITEHOOK hook = {};
    hook.Type = state.channelNumber;
    hook.pVdData = vd;
    hook.pProc = &ChannelDataArrival;
    WDSETINFORMATION set = {};
    set.WdInformationClass = ica::kWdClassVirtualWriteHook;
    set.pWdInformation = &hook;
    set.WdInformationLength = sizeof(VDWRITEHOOK);
    uint16_t setSize = sizeof(WDSETINFORMATION);

    // The address is printed in full on 64-bit targets.
    TraceClient(FormatString("Writehook channel number=%u vdwh.pVdData=%" PRIxPTR " rc=%d",
                             static_cast<unsigned>(state.channelNumber), reinterpret_cast<uintptr_t>(vd), 0));
    rc = VdCallWd(vd, ica::kWdSetInformation, &set, &setSize);
    if (rc != ica::kStatusSuccess) {
        TraceClientError(FormatString("Could not register write hook. rc %d", rc));
        return rc;
    }

    state.wdData = hook.pWdData;
    state.queueVirtualWrite = hook.pQueueVirtualWriteProc;
    // The maximum write size counts one byte of channel overhead. A WD that reports 0 leaves 0
    // rather than a wrapped-around 65535.
    state.maxDataSize = hook.MaximumWriteSize > 0 ? static_cast<uint16_t>(hook.MaximumWriteSize - 1) : 0;
    state.hpcMode = false;
    TraceClient(FormatString("This is %s HPC channel.", "NOT a"));
    TraceClient("Successfully registered");
    // The session's window is asked for as soon as the channel is open (and again at later polls
    // while there is none).
    SessionSharingPoll(vd);
    return ica::kStatusSuccess;
}
