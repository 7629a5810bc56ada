#include "DriverOperations.h"

#include <cstring>

#include "ChannelTrace.h"
#include "CitrixClientData.h"
#include "FormatString.h"

int DriverClose(VD*, DLLCLOSE*, uint16_t*) {
    TraceClient("DriverClose entered");
    return ica::kStatusSuccess;
}

int DriverInfo(VD*, DLLINFO* info, uint16_t* size) {
    TraceClient("DriverInfo entered");
    if (size) *size = sizeof(DLLINFO);
    if (!info) return ica::kErrorNullPointer;
    if (info->ByteCount < sizeof(TOV_C2H)) {
        info->ByteCount = sizeof(TOV_C2H);
        return ica::kErrorBufferTooSmall;
    }
    info->ByteCount = sizeof(TOV_C2H);
    if (!info->pBuffer) return ica::kErrorNullPointer;

    // Only the fields below are ours to write; every other byte stays as the ICA Client supplied it.
    // The buffer has no alignment guarantee, so the multi-byte fields are copied bytewise.
    uint8_t* const buffer = info->pBuffer;
    const uint16_t byteCount = sizeof(TOV_C2H);
    std::memcpy(buffer + offsetof(TOV_C2H, Header.Header.ByteCount), &byteCount, sizeof byteCount);
    buffer[offsetof(TOV_C2H, Header.Header.ModuleClass)] = ica::kModuleClassVirtualDriver;
    buffer[offsetof(TOV_C2H, Header.Header.VersionL)] = 1;
    buffer[offsetof(TOV_C2H, Header.Header.VersionH)] = 1;
    char hostModuleName[sizeof(MODULE_C2H::HostModuleName)] = {};
    std::strncpy(hostModuleName, "ICA", sizeof hostModuleName - 1);
    // "ICA" and its terminator; the rest of the 9-byte field is the ICA Client's.
    std::memcpy(buffer + offsetof(TOV_C2H, Header.Header.HostModuleName), hostModuleName,
                std::strlen(hostModuleName) + 1);
    buffer[offsetof(TOV_C2H, Header.Flow.BandwidthQuota)] = 0;
    buffer[offsetof(TOV_C2H, Header.Flow.Flow)] = ica::kFlowNone;
    const uint16_t maxDataSize = CCitrixClientData::Instance().maxDataSize;
    std::memcpy(buffer + offsetof(TOV_C2H, MaxDataSize), &maxDataSize, sizeof maxDataSize);
    return ica::kStatusSuccess;
}

int DriverQueryInformation(VD*, VDQUERYINFORMATION* query, uint16_t* size) {
    TraceClient("DriverQueryInformation entered");
    TraceClient(FormatString("pVdQueryInformation->VdInformationClass = %d",
                             query ? query->VdInformationClass : -1));
    if (size) *size = sizeof(VDQUERYINFORMATION);
    return ica::kStatusSuccess;
}

int DriverSetInformation(VD*, VDSETINFORMATION* set, uint16_t*) {
    TraceClient("DriverSetInformation entered");
    TraceClient(FormatString("pVdSetInformation->VdInformationClass = %d", set ? set->VdInformationClass : -1));
    return ica::kStatusSuccess;
}

int DriverGetLastError(VD* vd, VDLASTERROR* lastError) {
    TraceClient("DriverGetLastError entered");
    if (!lastError) return ica::kErrorNullPointer;
    lastError->Error = vd ? vd->LastError : 0;
    lastError->Message[0] = '\0';
    return ica::kStatusSuccess;
}
