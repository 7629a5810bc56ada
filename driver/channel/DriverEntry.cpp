#include "DriverEntry.h"

#include "CitrixClientOperations.h"
#include "DriverOperations.h"

namespace {

// Static data of the driver, one set per process. Written by Load and VdOpen only, both on the
// engine thread.
VD g_vd;
void* g_libMgrCallTable = nullptr;

// The engine subsystem tables the driver fetches from the library manager when it is opened; it
// keeps them for the ICA Client's sake and uses none of them itself.
const char* const kSubsystemNames[] = {
    "CTXMEM", "CTXMODULE", "CTXCLIB",       "CTXMOUSE", "CTXTMR",  "CTXLOG",
    "CTXMEMINI", "CTXKBD", "CTXOS",         "CTXWND",   "CTXENG",  "VP.LIB.SUBLST",
    "CTXFILE", "CTXPATH",  "CTXGRAPH",      "CTXSCA",   "CTXMMA",
};
constexpr int kSubsystemCount = sizeof kSubsystemNames / sizeof kSubsystemNames[0];
static_assert(kSubsystemCount == 17, "seventeen engine subsystems");
void* g_subsystemTables[kSubsystemCount] = {};

// Copied from VDOPEN: the engine poll procedure, the status message procedure, the engine handle.
void* g_enginePoll = nullptr;
void* g_statusMessageProc = nullptr;
void* g_engineHandle = nullptr;

template <typename Entry>
PDLLPROCEDURE AsTableEntry(Entry entry) {
    // The entries take typed record pointers; the ICA Client calls them as (void*, void*, uint16*),
    // which has the same calling sequence. (The detour through a generic procedure type says that
    // the conversion is intended.)
    return reinterpret_cast<PDLLPROCEDURE>(reinterpret_cast<void (*)()>(entry));
}

PDLLPROCEDURE g_procedures[ica::kDriverProcCount] = {
    AsTableEntry(&Load),   AsTableEntry(&VdUnload), AsTableEntry(&VdOpen),
    AsTableEntry(&VdClose), AsTableEntry(&VdInfo),  AsTableEntry(&VdPoll),
    AsTableEntry(&VdQueryInformation), AsTableEntry(&VdSetInformation),
};

void FetchSubsystemTables() {
    if (!g_libMgrCallTable) return;
    PLIBMGRPROC* entries = static_cast<PLIBMGRPROC*>(g_libMgrCallTable);
    PLIBMGRUSEPROC use = reinterpret_cast<PLIBMGRUSEPROC>(entries[ica::kLibMgrUse]);
    if (!use) return;
    for (int i = 0; i < kSubsystemCount; ++i) {
        use(kSubsystemNames[i], nullptr, &g_subsystemTables[i]);  // the results are not needed
    }
}

}  // namespace

extern "C" int TOV_ICA_CALL Load(DLLLINK* link) {
    if (!link) return ica::kErrorNullPointer;
    link->ProcCount = ica::kDriverProcCount;
    link->pProcedures = g_procedures;
    link->pData = &g_vd;
    g_libMgrCallTable = link->pLibMgrCallTable;
    DriverLoadAfterUnload();  // traces only in a module that stayed mapped since an unload
    return ica::kStatusSuccess;
}

// The driver's unload notice (see DriverUnload): the session's objects, threads and blocks go here,
// on the engine thread, before the ICA Client closes the library.
int TOV_ICA_CALL VdUnload(VD*, DLLLINK* link, uint16_t*) {
    DriverUnload();
    if (link) {
        link->ProcCount = 0;
        link->pProcedures = nullptr;
        link->pData = nullptr;
    }
    return ica::kStatusSuccess;
}

int TOV_ICA_CALL VdOpen(VD* vd, VDOPEN* open, uint16_t* size) {
    if (!vd || !open) return ica::kErrorNullPointer;
    FetchSubsystemTables();
    g_enginePoll = open->pfnWFEngPoll;
    g_statusMessageProc = open->pfnStatusMsgProc;
    g_engineHandle = open->hICAEng;
    vd->ChannelMask = 0;
    vd->pWdLink = nullptr;
    vd->LastError = 0;
    vd->pPrivate = nullptr;
    vd->pWdLink = open->pWdLink;
    const int rc = DriverOpen(vd, open, size);
    vd->ChannelMask = open->ChannelMask;
    return rc;
}

int TOV_ICA_CALL VdClose(VD* vd, DLLCLOSE* close, uint16_t* size) { return DriverClose(vd, close, size); }

int TOV_ICA_CALL VdInfo(VD* vd, DLLINFO* info, uint16_t* size) { return DriverInfo(vd, info, size); }

int TOV_ICA_CALL VdPoll(VD* vd, DLLPOLL* poll, uint16_t* size) { return DriverPoll(vd, poll, size); }

int TOV_ICA_CALL VdQueryInformation(VD* vd, VDQUERYINFORMATION* query, uint16_t* size) {
    if (!query) return ica::kErrorNullPointer;
    if (query->VdInformationClass != ica::kVdClassLastError) return DriverQueryInformation(vd, query, size);
    if (query->VdInformationLength < static_cast<int>(sizeof(VDLASTERROR))) return ica::kErrorBufferTooSmall;
    if (!vd || !query->pVdInformation) return ica::kErrorNullPointer;
    const int rc = DriverGetLastError(vd, static_cast<VDLASTERROR*>(query->pVdInformation));
    query->VdReturnLength = sizeof(VDLASTERROR);
    return rc;
}

int TOV_ICA_CALL VdSetInformation(VD* vd, VDSETINFORMATION* set, uint16_t* size) {
    return DriverSetInformation(vd, set, size);
}
