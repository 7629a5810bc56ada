// The records, procedure types and constants of the ICA Client's virtual channel interface, as the
// driver and the engine simulator exchange them. The layouts must match the ICA Client byte for byte:
// the static_asserts at the end pin every offset and size for 32-bit Windows, 64-bit Windows,
// 64-bit Linux and 32-bit Linux (armhf).
#pragma once

#include <cstddef>
#include <cstdint>

// Every procedure the engine calls, and every procedure the driver calls back, uses the plain C
// calling convention of 32-bit Windows. 64-bit Windows and Linux have only one convention.
#if defined(_WIN32) && !defined(_WIN64)
#define TOV_ICA_CALL __cdecl
#else
#define TOV_ICA_CALL
#endif

// ---- procedure types ----------------------------------------------------------------------------

// One entry of a driver's or a WD's procedure table: (the module's data pointer, parameter, size).
using PDLLPROCEDURE = int(TOV_ICA_CALL*)(void* data, void* param, uint16_t* size);

// The write hook the WD calls with every block the server sends on the channel. Declared void on
// Windows by the platform; returning int is harmless there (the value is ignored) and used on Linux.
using PVDWRITEPROCEDURE = int(TOV_ICA_CALL*)(void* vdData, uint16_t channel, uint8_t* buffer,
                                             uint16_t length);

struct MEMORY_SECTION;

// The WD's send procedure: 0 when the whole block was taken; a refusal takes nothing.
using PQUEUEVIRTUALWRITEPROC = int(TOV_ICA_CALL*)(void* wdData, uint16_t channel,
                                                  MEMORY_SECTION* sections, uint16_t count,
                                                  uint16_t flags);

// Entries of the library manager's call table. Only "use" (index 2) is called by the driver:
// (subsystem name, pointer to a version value, pointer to the subsystem's table pointer).
using PLIBMGRPROC = void(TOV_ICA_CALL*)();
using PLIBMGRUSEPROC = int32_t(TOV_ICA_CALL*)(const char* name, void* version, void** table);

// ---- indices, classes and codes -----------------------------------------------------------------

namespace ica {

// The driver's procedure table.
constexpr int kProcLoad = 0;
constexpr int kProcUnload = 1;
constexpr int kProcOpen = 2;
constexpr int kProcClose = 3;
constexpr int kProcInfo = 4;
constexpr int kProcPoll = 5;
constexpr int kProcQueryInformation = 6;
constexpr int kProcSetInformation = 7;
constexpr int kDriverProcCount = 8;

// The WD's procedure table entries the driver calls.
constexpr uint16_t kWdQueryInformation = 6;
constexpr uint16_t kWdSetInformation = 7;

// The library manager's call table: load, unload, use, release, query table, update table.
constexpr int kLibMgrEntryCount = 6;
constexpr int kLibMgrUse = 2;

// Information classes.
constexpr int kWdClassOpenVirtualChannel = 33;  // WD query
constexpr int kWdClassVirtualWriteHook = 10;    // WD set
constexpr int kWdClassIcaWindowInfo = 81;       // WD query (Windows): the session's window
constexpr int kVdClassLastError = 0;            // driver query (Windows)

constexpr uint8_t kModuleClassVirtualDriver = 3;
constexpr uint8_t kFlowNone = 0;

// Status codes.
constexpr int kStatusSuccess = 0;
constexpr int kStatusNoData = 21;           // poll: nothing to send
constexpr int kStatusRetry = 30;            // poll: a send was refused, the block stays queued
constexpr int kErrorBufferTooSmall = 1004;  // the needed size is reported back
constexpr int kErrorNullPointer = 1011;     // for instance a WD link without procedure table
constexpr int kErrorNoOutputBuffer = 1016;  // QueueVirtualWrite refused

constexpr int kMaxVirtualChannelName = 7;
constexpr int kLastErrorMessageSize = 288;

}  // namespace ica

// ---- records with natural alignment --------------------------------------------------------------

struct DLLLINK {
    uint16_t Segment;  // unused on Linux
    uint16_t DllSize;
    uint16_t ProcCount;
    PDLLPROCEDURE* pProcedures;
    void* pData;
    void* pMemory;  // unused on Linux
#if defined(_WIN32)
    char ModuleName[13];
#else
    char ModuleName[14];
#endif
    void* pLibMgrCallTable;  // PLIBMGRPROC[6]
    uint16_t ModuleDate;
    uint16_t ModuleTime;
    uint32_t ModuleSize;
    DLLLINK* pNext;
    uint32_t DllFlags;
#if !defined(_WIN32)
    char* DllLoad;
#endif
    void* LibraryHandle;
};

struct VD {
    uint32_t ChannelMask;
    DLLLINK* pWdLink;
    int LastError;
    void* pPrivate;
};

struct DLLINFO {
    uint8_t* pBuffer;
    uint16_t ByteCount;
};

struct DLLPOLL {
    uint32_t CurrentTime;  // milliseconds
};

struct DLLCLOSE {
    int NotUsed;
};

struct VDQUERYINFORMATION {
    int VdInformationClass;
    void* pVdInformation;
    int VdInformationLength;
    int VdReturnLength;
};

struct VDSETINFORMATION {
    int VdInformationClass;
    void* pVdInformation;
    int VdInformationLength;
};

struct VDLASTERROR {
    int Error;
    char Message[ica::kLastErrorMessageSize];
};

struct WDQUERYINFORMATION {
    int WdInformationClass;
    void* pWdInformation;
    uint16_t WdInformationLength;
    uint16_t WdReturnLength;
};

struct WDSETINFORMATION {
    int WdInformationClass;
    void* pWdInformation;
    uint16_t WdInformationLength;
};

// The session's window as the WD answers kWdClassIcaWindowInfo (Windows). The handle may be a
// child window; mode carries flags (kIcaWindowModeSeamless and others the driver does not use).
struct WDICAWINDOWINFO {
    void* hwnd;
    uint32_t mode;
    uint32_t windowWidth;
    uint32_t windowHeight;
    uint32_t viewWidth;
    uint32_t viewHeight;
    int32_t viewX;
    int32_t viewY;
};
namespace ica {
constexpr uint32_t kIcaWindowModeSeamless = 1u << 1;
}  // namespace ica

struct OPENVIRTUALCHANNEL {
    char* pVCName;
    uint16_t Channel;  // filled by the WD
};

struct MEMORY_SECTION {
    uint32_t length;
    uint8_t* pSection;
};

struct VDOPEN {
    void* pIniSection;  // Linux: the driver's own link record; the driver reads neither
    DLLLINK* pWdLink;
    uint32_t ChannelMask;
    void* pfnWFEngPoll;  // Linux: reserved
    void* pfnStatusMsgProc;
    void* hICAEng;
};

struct VDWRITEHOOK {
    uint16_t Type;  // the channel number
    void* pVdData;
    PVDWRITEPROCEDURE pProc;
    void* pWdData;  // filled by the WD, like every field below
    void* pOutBufReserveProc;
    void* pOutBufAppendProc;
    void* pOutBufWriteProc;
    void* pAppendVdHeaderProc;
    uint16_t MaximumWriteSize;  // includes one byte of channel overhead
    PQUEUEVIRTUALWRITEPROC pQueueVirtualWriteProc;
};

// ---- byte-packed wire records (identical on every target) ----------------------------------------

#pragma pack(push, 1)

struct MODULE_C2H {
    uint16_t ByteCount;
    uint8_t ModuleCount;
    uint8_t ModuleClass;
    uint8_t VersionL;
    uint8_t VersionH;
    char ModuleName[13];
    char HostModuleName[9];
    uint16_t ModuleDate;
    uint16_t ModuleTime;
    uint32_t ModuleSize;
};

struct VDFLOW {
    uint8_t BandwidthQuota;
    uint8_t Flow;
    uint8_t Pad1[2];
    uint8_t Union[4];  // the flow-type specific part; unused with flow type "none"
};

struct VD_C2H {
    MODULE_C2H Header;
    uint32_t ChannelMask;
    VDFLOW Flow;
};

// The channel's client-to-host init data: the platform's VD_C2H followed by one field of our own,
// the largest block the server may send in one write.
struct TOV_C2H {
    VD_C2H Header;
    uint16_t MaxDataSize;
};

#pragma pack(pop)

// ---- layout checks -------------------------------------------------------------------------------

static_assert(offsetof(MODULE_C2H, ByteCount) == 0 && offsetof(MODULE_C2H, ModuleCount) == 2 &&
                  offsetof(MODULE_C2H, ModuleClass) == 3 && offsetof(MODULE_C2H, VersionL) == 4 &&
                  offsetof(MODULE_C2H, VersionH) == 5 && offsetof(MODULE_C2H, ModuleName) == 6 &&
                  offsetof(MODULE_C2H, HostModuleName) == 19 &&
                  offsetof(MODULE_C2H, ModuleDate) == 28 && offsetof(MODULE_C2H, ModuleTime) == 30 &&
                  offsetof(MODULE_C2H, ModuleSize) == 32 && sizeof(MODULE_C2H) == 36,
              "MODULE_C2H layout");
static_assert(offsetof(VDFLOW, BandwidthQuota) == 0 && offsetof(VDFLOW, Flow) == 1 &&
                  offsetof(VDFLOW, Union) == 4 && sizeof(VDFLOW) == 8,
              "VDFLOW layout");
static_assert(offsetof(VD_C2H, Header) == 0 && offsetof(VD_C2H, ChannelMask) == 36 &&
                  offsetof(VD_C2H, Flow) == 40 && sizeof(VD_C2H) == 48,
              "VD_C2H layout");
static_assert(offsetof(TOV_C2H, MaxDataSize) == 48 && sizeof(TOV_C2H) == 50, "init data layout");

static_assert(sizeof(DLLPOLL) == 4 && sizeof(DLLCLOSE) == 4, "DLLPOLL / DLLCLOSE size");
static_assert(offsetof(VDLASTERROR, Message) == 4 && sizeof(VDLASTERROR) == 292, "VDLASTERROR layout");

#if defined(_WIN32) && !defined(_WIN64)

static_assert(offsetof(DLLLINK, DllSize) == 2 && offsetof(DLLLINK, ProcCount) == 4 &&
                  offsetof(DLLLINK, pProcedures) == 8 && offsetof(DLLLINK, pData) == 12 &&
                  offsetof(DLLLINK, pMemory) == 16 && offsetof(DLLLINK, ModuleName) == 20 &&
                  offsetof(DLLLINK, pLibMgrCallTable) == 36 && offsetof(DLLLINK, ModuleDate) == 40 &&
                  offsetof(DLLLINK, ModuleTime) == 42 && offsetof(DLLLINK, ModuleSize) == 44 &&
                  offsetof(DLLLINK, pNext) == 48 && offsetof(DLLLINK, DllFlags) == 52 &&
                  offsetof(DLLLINK, LibraryHandle) == 56 && sizeof(DLLLINK) == 60,
              "DLLLINK layout (32-bit Windows)");
static_assert(offsetof(VD, pWdLink) == 4 && offsetof(VD, LastError) == 8 &&
                  offsetof(VD, pPrivate) == 12 && sizeof(VD) == 16,
              "VD layout (32-bit Windows)");
static_assert(offsetof(DLLINFO, ByteCount) == 4 && sizeof(DLLINFO) == 8, "DLLINFO (32-bit Windows)");
static_assert(offsetof(VDQUERYINFORMATION, pVdInformation) == 4 &&
                  offsetof(VDQUERYINFORMATION, VdInformationLength) == 8 &&
                  offsetof(VDQUERYINFORMATION, VdReturnLength) == 12 &&
                  sizeof(VDQUERYINFORMATION) == 16,
              "VDQUERYINFORMATION layout (32-bit Windows)");
static_assert(offsetof(VDSETINFORMATION, pVdInformation) == 4 &&
                  offsetof(VDSETINFORMATION, VdInformationLength) == 8 &&
                  sizeof(VDSETINFORMATION) == 12,
              "VDSETINFORMATION layout (32-bit Windows)");
static_assert(offsetof(WDQUERYINFORMATION, pWdInformation) == 4 &&
                  offsetof(WDQUERYINFORMATION, WdInformationLength) == 8 &&
                  offsetof(WDQUERYINFORMATION, WdReturnLength) == 10 &&
                  sizeof(WDQUERYINFORMATION) == 12,
              "WDQUERYINFORMATION layout (32-bit Windows)");
static_assert(offsetof(WDSETINFORMATION, pWdInformation) == 4 &&
                  offsetof(WDSETINFORMATION, WdInformationLength) == 8 &&
                  sizeof(WDSETINFORMATION) == 12,
              "WDSETINFORMATION layout (32-bit Windows)");
static_assert(offsetof(OPENVIRTUALCHANNEL, Channel) == 4 && sizeof(OPENVIRTUALCHANNEL) == 8,
              "OPENVIRTUALCHANNEL layout (32-bit Windows)");
static_assert(offsetof(WDICAWINDOWINFO, mode) == 4 && offsetof(WDICAWINDOWINFO, windowWidth) == 8 &&
                  offsetof(WDICAWINDOWINFO, viewHeight) == 20 && offsetof(WDICAWINDOWINFO, viewX) == 24 &&
                  offsetof(WDICAWINDOWINFO, viewY) == 28 && sizeof(WDICAWINDOWINFO) == 32,
              "WDICAWINDOWINFO layout (32-bit Windows)");
static_assert(offsetof(MEMORY_SECTION, pSection) == 4 && sizeof(MEMORY_SECTION) == 8,
              "MEMORY_SECTION layout (32-bit Windows)");
static_assert(offsetof(VDOPEN, pWdLink) == 4 && offsetof(VDOPEN, ChannelMask) == 8 &&
                  offsetof(VDOPEN, pfnWFEngPoll) == 12 && offsetof(VDOPEN, pfnStatusMsgProc) == 16 &&
                  offsetof(VDOPEN, hICAEng) == 20 && sizeof(VDOPEN) == 24,
              "VDOPEN layout (32-bit Windows)");
static_assert(offsetof(VDWRITEHOOK, pVdData) == 4 && offsetof(VDWRITEHOOK, pProc) == 8 &&
                  offsetof(VDWRITEHOOK, pWdData) == 12 &&
                  offsetof(VDWRITEHOOK, pOutBufReserveProc) == 16 &&
                  offsetof(VDWRITEHOOK, pOutBufAppendProc) == 20 &&
                  offsetof(VDWRITEHOOK, pOutBufWriteProc) == 24 &&
                  offsetof(VDWRITEHOOK, pAppendVdHeaderProc) == 28 &&
                  offsetof(VDWRITEHOOK, MaximumWriteSize) == 32 &&
                  offsetof(VDWRITEHOOK, pQueueVirtualWriteProc) == 36 && sizeof(VDWRITEHOOK) == 40,
              "VDWRITEHOOK layout (32-bit Windows)");

#elif (defined(_WIN64) || defined(__linux__)) && (UINTPTR_MAX == UINT64_MAX)

#if defined(_WIN64)
static_assert(offsetof(DLLLINK, DllFlags) == 72 && offsetof(DLLLINK, LibraryHandle) == 80 &&
                  sizeof(DLLLINK) == 88,
              "DLLLINK tail (64-bit Windows)");
#else
static_assert(offsetof(DLLLINK, DllFlags) == 72 && offsetof(DLLLINK, DllLoad) == 80 &&
                  offsetof(DLLLINK, LibraryHandle) == 88 && sizeof(DLLLINK) == 96,
              "DLLLINK tail (64-bit Linux)");
#endif
static_assert(offsetof(DLLLINK, DllSize) == 2 && offsetof(DLLLINK, ProcCount) == 4 &&
                  offsetof(DLLLINK, pProcedures) == 8 && offsetof(DLLLINK, pData) == 16 &&
                  offsetof(DLLLINK, pMemory) == 24 && offsetof(DLLLINK, ModuleName) == 32 &&
                  offsetof(DLLLINK, pLibMgrCallTable) == 48 && offsetof(DLLLINK, ModuleDate) == 56 &&
                  offsetof(DLLLINK, ModuleTime) == 58 && offsetof(DLLLINK, ModuleSize) == 60 &&
                  offsetof(DLLLINK, pNext) == 64,
              "DLLLINK layout (64-bit)");
static_assert(offsetof(VD, pWdLink) == 8 && offsetof(VD, LastError) == 16 &&
                  offsetof(VD, pPrivate) == 24 && sizeof(VD) == 32,
              "VD layout (64-bit)");
static_assert(offsetof(DLLINFO, ByteCount) == 8 && sizeof(DLLINFO) == 16, "DLLINFO (64-bit)");
static_assert(offsetof(VDQUERYINFORMATION, pVdInformation) == 8 &&
                  offsetof(VDQUERYINFORMATION, VdInformationLength) == 16 &&
                  offsetof(VDQUERYINFORMATION, VdReturnLength) == 20 &&
                  sizeof(VDQUERYINFORMATION) == 24,
              "VDQUERYINFORMATION layout (64-bit)");
static_assert(offsetof(VDSETINFORMATION, pVdInformation) == 8 &&
                  offsetof(VDSETINFORMATION, VdInformationLength) == 16 &&
                  sizeof(VDSETINFORMATION) == 24,
              "VDSETINFORMATION layout (64-bit)");
static_assert(offsetof(WDQUERYINFORMATION, pWdInformation) == 8 &&
                  offsetof(WDQUERYINFORMATION, WdInformationLength) == 16 &&
                  offsetof(WDQUERYINFORMATION, WdReturnLength) == 18 &&
                  sizeof(WDQUERYINFORMATION) == 24,
              "WDQUERYINFORMATION layout (64-bit)");
static_assert(offsetof(WDSETINFORMATION, pWdInformation) == 8 &&
                  offsetof(WDSETINFORMATION, WdInformationLength) == 16 &&
                  sizeof(WDSETINFORMATION) == 24,
              "WDSETINFORMATION layout (64-bit)");
static_assert(offsetof(OPENVIRTUALCHANNEL, Channel) == 8 && sizeof(OPENVIRTUALCHANNEL) == 16,
              "OPENVIRTUALCHANNEL layout (64-bit)");
#if defined(_WIN64)
static_assert(offsetof(WDICAWINDOWINFO, mode) == 8 && offsetof(WDICAWINDOWINFO, windowWidth) == 12 &&
                  offsetof(WDICAWINDOWINFO, viewHeight) == 24 && offsetof(WDICAWINDOWINFO, viewX) == 28 &&
                  offsetof(WDICAWINDOWINFO, viewY) == 32 && sizeof(WDICAWINDOWINFO) == 40,
              "WDICAWINDOWINFO layout (64-bit Windows)");
#endif
static_assert(offsetof(MEMORY_SECTION, pSection) == 8 && sizeof(MEMORY_SECTION) == 16,
              "MEMORY_SECTION layout (64-bit)");
static_assert(offsetof(VDOPEN, pWdLink) == 8 && offsetof(VDOPEN, ChannelMask) == 16 &&
                  offsetof(VDOPEN, pfnWFEngPoll) == 24 && offsetof(VDOPEN, pfnStatusMsgProc) == 32 &&
                  offsetof(VDOPEN, hICAEng) == 40 && sizeof(VDOPEN) == 48,
              "VDOPEN layout (64-bit)");
static_assert(offsetof(VDWRITEHOOK, pVdData) == 8 && offsetof(VDWRITEHOOK, pProc) == 16 &&
                  offsetof(VDWRITEHOOK, pWdData) == 24 &&
                  offsetof(VDWRITEHOOK, pOutBufReserveProc) == 32 &&
                  offsetof(VDWRITEHOOK, pOutBufAppendProc) == 40 &&
                  offsetof(VDWRITEHOOK, pOutBufWriteProc) == 48 &&
                  offsetof(VDWRITEHOOK, pAppendVdHeaderProc) == 56 &&
                  offsetof(VDWRITEHOOK, MaximumWriteSize) == 64 &&
                  offsetof(VDWRITEHOOK, pQueueVirtualWriteProc) == 72 && sizeof(VDWRITEHOOK) == 80,
              "VDWRITEHOOK layout (64-bit)");

#elif defined(__linux__) && (UINTPTR_MAX == UINT32_MAX)

// The Linux declarations with 4-byte pointers: the Linux DLLLINK (14-byte name, DllLoad) and the
// other records as on 32-bit Windows.
static_assert(offsetof(DLLLINK, DllSize) == 2 && offsetof(DLLLINK, ProcCount) == 4 &&
                  offsetof(DLLLINK, pProcedures) == 8 && offsetof(DLLLINK, pData) == 12 &&
                  offsetof(DLLLINK, pMemory) == 16 && offsetof(DLLLINK, ModuleName) == 20 &&
                  sizeof(DLLLINK::ModuleName) == 14 && offsetof(DLLLINK, pLibMgrCallTable) == 36 &&
                  offsetof(DLLLINK, ModuleDate) == 40 && offsetof(DLLLINK, ModuleTime) == 42 &&
                  offsetof(DLLLINK, ModuleSize) == 44 && offsetof(DLLLINK, pNext) == 48 &&
                  offsetof(DLLLINK, DllFlags) == 52 && offsetof(DLLLINK, DllLoad) == 56 &&
                  offsetof(DLLLINK, LibraryHandle) == 60 && sizeof(DLLLINK) == 64,
              "DLLLINK layout (32-bit Linux)");
static_assert(offsetof(VD, pWdLink) == 4 && offsetof(VD, LastError) == 8 &&
                  offsetof(VD, pPrivate) == 12 && sizeof(VD) == 16,
              "VD layout (32-bit Linux)");
static_assert(offsetof(DLLINFO, ByteCount) == 4 && sizeof(DLLINFO) == 8, "DLLINFO (32-bit Linux)");
static_assert(offsetof(VDQUERYINFORMATION, pVdInformation) == 4 &&
                  offsetof(VDQUERYINFORMATION, VdInformationLength) == 8 &&
                  offsetof(VDQUERYINFORMATION, VdReturnLength) == 12 &&
                  sizeof(VDQUERYINFORMATION) == 16,
              "VDQUERYINFORMATION layout (32-bit Linux)");
static_assert(offsetof(VDSETINFORMATION, pVdInformation) == 4 &&
                  offsetof(VDSETINFORMATION, VdInformationLength) == 8 &&
                  sizeof(VDSETINFORMATION) == 12,
              "VDSETINFORMATION layout (32-bit Linux)");
static_assert(offsetof(WDQUERYINFORMATION, pWdInformation) == 4 &&
                  offsetof(WDQUERYINFORMATION, WdInformationLength) == 8 &&
                  offsetof(WDQUERYINFORMATION, WdReturnLength) == 10 &&
                  sizeof(WDQUERYINFORMATION) == 12,
              "WDQUERYINFORMATION layout (32-bit Linux)");
static_assert(offsetof(WDSETINFORMATION, pWdInformation) == 4 &&
                  offsetof(WDSETINFORMATION, WdInformationLength) == 8 &&
                  sizeof(WDSETINFORMATION) == 12,
              "WDSETINFORMATION layout (32-bit Linux)");
static_assert(offsetof(OPENVIRTUALCHANNEL, Channel) == 4 && sizeof(OPENVIRTUALCHANNEL) == 8,
              "OPENVIRTUALCHANNEL layout (32-bit Linux)");
static_assert(offsetof(MEMORY_SECTION, pSection) == 4 && sizeof(MEMORY_SECTION) == 8,
              "MEMORY_SECTION layout (32-bit Linux)");
static_assert(offsetof(VDOPEN, pWdLink) == 4 && offsetof(VDOPEN, ChannelMask) == 8 &&
                  offsetof(VDOPEN, pfnWFEngPoll) == 12 && offsetof(VDOPEN, pfnStatusMsgProc) == 16 &&
                  offsetof(VDOPEN, hICAEng) == 20 && sizeof(VDOPEN) == 24,
              "VDOPEN layout (32-bit Linux)");
static_assert(offsetof(VDWRITEHOOK, pVdData) == 4 && offsetof(VDWRITEHOOK, pProc) == 8 &&
                  offsetof(VDWRITEHOOK, pWdData) == 12 &&
                  offsetof(VDWRITEHOOK, pOutBufReserveProc) == 16 &&
                  offsetof(VDWRITEHOOK, pOutBufAppendProc) == 20 &&
                  offsetof(VDWRITEHOOK, pOutBufWriteProc) == 24 &&
                  offsetof(VDWRITEHOOK, pAppendVdHeaderProc) == 28 &&
                  offsetof(VDWRITEHOOK, MaximumWriteSize) == 32 &&
                  offsetof(VDWRITEHOOK, pQueueVirtualWriteProc) == 36 && sizeof(VDWRITEHOOK) == 40,
              "VDWRITEHOOK layout (32-bit Linux)");

#else
#error "The ICA records are defined for 32-bit and 64-bit Windows and for 32-bit and 64-bit Linux only"
#endif
