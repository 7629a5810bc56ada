#include "SimulatedWd.h"

#include <cstring>

namespace enginesim {

namespace {
// The engine's code for a refused write: no output buffer.
constexpr int kNoOutputBuffer = ica::kErrorNoOutputBuffer;
// Answer of the WD entries the simulation does not implement, and of a malformed request.
constexpr int kNotSupported = 1;
constexpr int kBadParameter = 2;
}  // namespace

SimulatedWd::SimulatedWd(const WdOptions& options, Clock::time_point epoch) : epoch(epoch), options(options) {
    for (auto& p : procedures) p = &UnsupportedEntry;
    procedures[ica::kWdQueryInformation] = &QueryInformationEntry;
    procedures[ica::kWdSetInformation] = &SetInformationEntry;
}

DLLLINK* SimulatedWd::PrepareLink() {
    std::lock_guard<std::mutex> lock(mutex);
    link = DLLLINK{};
    link.ProcCount = 8;
    link.pProcedures = options.noProcedureTable ? nullptr : procedures;
    link.pData = this;
    std::strncpy(link.ModuleName, "SIMWD", sizeof link.ModuleName - 1);
    return &link;
}

void SimulatedWd::SetOpenRefusal(int code) {
    std::lock_guard<std::mutex> lock(mutex);
    options.openRefusal = code;
}

void SimulatedWd::SetHookRefusal(int code) {
    std::lock_guard<std::mutex> lock(mutex);
    options.hookRefusal = code;
}

void SimulatedWd::SetNoProcedureTable(bool on) {
    std::lock_guard<std::mutex> lock(mutex);
    options.noProcedureTable = on;
}

void SimulatedWd::SetMaxWriteSize(uint16_t size) {
    std::lock_guard<std::mutex> lock(mutex);
    options.maxWriteSize = size;
}

void SimulatedWd::SetIcaWindow(void* window, uint32_t mode) {
    std::lock_guard<std::mutex> lock(mutex);
    options.icaWindow = window;
    options.icaWindowMode = mode;
}

void SimulatedWd::RefuseNextWrites(unsigned count) {
    std::lock_guard<std::mutex> lock(mutex);
    refusal = count ? Refusal::Next : Refusal::None;
    refuseCount = count;
}

void SimulatedWd::RefuseAllWrites(bool on) {
    std::lock_guard<std::mutex> lock(mutex);
    refusal = on ? Refusal::Always : Refusal::None;
}

void SimulatedWd::RefuseWritesRandomly(double probability, uint32_t seed) {
    std::lock_guard<std::mutex> lock(mutex);
    refusal = Refusal::Random;
    refuseProbability = probability;
    random.seed(seed);
}

void SimulatedWd::AcceptAllWrites() { RefuseAllWrites(false); }

bool SimulatedWd::HookRegistered() const {
    std::lock_guard<std::mutex> lock(mutex);
    return hook != nullptr;
}

int SimulatedWd::CallHook(uint8_t* data, uint16_t length) {
    PVDWRITEPROCEDURE proc;
    void* vdData;
    uint16_t channel;
    {
        std::lock_guard<std::mutex> lock(mutex);
        proc = hook;
        vdData = hookVdData;
        channel = hookChannel;
    }
    if (!proc) return -1;
    return proc(vdData, channel, data, length);  // without the lock: the driver may send from here
}

std::vector<SentBlock> SimulatedWd::SentBlocks() const {
    std::lock_guard<std::mutex> lock(mutex);
    return sent;
}

size_t SimulatedWd::SentBlockCount() const {
    std::lock_guard<std::mutex> lock(mutex);
    return sent.size();
}

bool SimulatedWd::WaitForSentBlocks(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex);
    return sentChanged.wait_for(lock, timeout, [&] { return sent.size() >= count; });
}

size_t SimulatedWd::RefusedWrites() const {
    std::lock_guard<std::mutex> lock(mutex);
    return refused;
}

size_t SimulatedWd::OversizedWrites() const {
    std::lock_guard<std::mutex> lock(mutex);
    return oversized;
}

std::vector<WdCallRecord> SimulatedWd::Calls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
}

std::string SimulatedWd::OpenedChannelName() const {
    std::lock_guard<std::mutex> lock(mutex);
    return openedName;
}

size_t SimulatedWd::UnusedHookProcedureCalls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return unusedProcedureCalls;
}

int TOV_ICA_CALL SimulatedWd::QueryInformationEntry(void* data, void* param, uint16_t*) {
    return static_cast<SimulatedWd*>(data)->QueryInformation(static_cast<WDQUERYINFORMATION*>(param));
}

int TOV_ICA_CALL SimulatedWd::SetInformationEntry(void* data, void* param, uint16_t*) {
    return static_cast<SimulatedWd*>(data)->SetInformation(static_cast<WDSETINFORMATION*>(param));
}

int TOV_ICA_CALL SimulatedWd::UnsupportedEntry(void* data, void*, uint16_t*) {
    static_cast<SimulatedWd*>(data)->Record(0xFFFF, -1, 0, kNotSupported);
    return kNotSupported;
}

int TOV_ICA_CALL SimulatedWd::QueueVirtualWriteProc(void* wdData, uint16_t channel, MEMORY_SECTION* sections,
                                                    uint16_t count, uint16_t flags) {
    return static_cast<SimulatedWd*>(wdData)->QueueVirtualWrite(channel, sections, count, flags);
}

int TOV_ICA_CALL SimulatedWd::UnusedHookProcedure(void* wdData) {
    SimulatedWd* const wd = static_cast<SimulatedWd*>(wdData);
    std::lock_guard<std::mutex> lock(wd->mutex);
    ++wd->unusedProcedureCalls;
    return kNotSupported;
}

void SimulatedWd::Record(uint16_t index, int infoClass, uint16_t length, int rc) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back(WdCallRecord{index, infoClass, length, rc});
}

int SimulatedWd::QueryInformation(WDQUERYINFORMATION* query) {
    if (!query) return kBadParameter;
    int rc = kNotSupported;
    if (query->WdInformationClass == ica::kWdClassOpenVirtualChannel) {
        std::lock_guard<std::mutex> lock(mutex);
        auto* open = static_cast<OPENVIRTUALCHANNEL*>(query->pWdInformation);
        if (!open || query->WdInformationLength != sizeof(OPENVIRTUALCHANNEL) || !open->pVCName) {
            rc = kBadParameter;
        } else if (options.openRefusal != 0) {
            rc = options.openRefusal;
        } else if (std::strlen(open->pVCName) == 0 ||
                   std::strlen(open->pVCName) > static_cast<size_t>(ica::kMaxVirtualChannelName)) {
            rc = kBadParameter;  // the engine knows no channel of that name
        } else {
            openedName = open->pVCName;
            open->Channel = options.channelNumber;
            query->WdReturnLength = sizeof(OPENVIRTUALCHANNEL);
            rc = 0;
        }
    } else if (query->WdInformationClass == ica::kWdClassIcaWindowInfo) {
        std::lock_guard<std::mutex> lock(mutex);
        auto* info = static_cast<WDICAWINDOWINFO*>(query->pWdInformation);
        if (!info || query->WdInformationLength != sizeof(WDICAWINDOWINFO)) {
            rc = kBadParameter;
        } else if (options.icaWindow) {
            *info = WDICAWINDOWINFO{};
            info->hwnd = options.icaWindow;
            info->mode = options.icaWindowMode;
            query->WdReturnLength = sizeof(WDICAWINDOWINFO);
            rc = 0;
        }
    }
    Record(ica::kWdQueryInformation, query->WdInformationClass, query->WdInformationLength, rc);
    return rc;
}

int SimulatedWd::SetInformation(WDSETINFORMATION* set) {
    if (!set) return kBadParameter;
    int rc = kNotSupported;
    if (set->WdInformationClass == ica::kWdClassVirtualWriteHook) {
        std::lock_guard<std::mutex> lock(mutex);
        auto* hookRecord = static_cast<VDWRITEHOOK*>(set->pWdInformation);
        if (!hookRecord || set->WdInformationLength != sizeof(VDWRITEHOOK) || !hookRecord->pProc) {
            rc = kBadParameter;
        } else if (options.hookRefusal != 0) {
            rc = options.hookRefusal;
        } else {
            hook = hookRecord->pProc;
            hookVdData = hookRecord->pVdData;
            hookChannel = hookRecord->Type;
            hookRecord->pWdData = this;
            hookRecord->pOutBufReserveProc = reinterpret_cast<void*>(&UnusedHookProcedure);
            hookRecord->pOutBufAppendProc = reinterpret_cast<void*>(&UnusedHookProcedure);
            hookRecord->pOutBufWriteProc = reinterpret_cast<void*>(&UnusedHookProcedure);
            hookRecord->pAppendVdHeaderProc = reinterpret_cast<void*>(&UnusedHookProcedure);
            hookRecord->MaximumWriteSize = options.maxWriteSize;
            hookRecord->pQueueVirtualWriteProc = &QueueVirtualWriteProc;
            hookMaxWriteSize = options.maxWriteSize;
            rc = 0;
        }
    }
    Record(ica::kWdSetInformation, set->WdInformationClass, set->WdInformationLength, rc);
    return rc;
}

bool SimulatedWd::DecideRefusal() {
    switch (refusal) {
        case Refusal::None:
            return false;
        case Refusal::Always:
            return true;
        case Refusal::Next:
            if (refuseCount > 0 && --refuseCount == 0) refusal = Refusal::None;
            return true;
        case Refusal::Random:
            return std::uniform_real_distribution<double>(0.0, 1.0)(random) < refuseProbability;
    }
    return false;
}

int SimulatedWd::QueueVirtualWrite(uint16_t channel, MEMORY_SECTION* sections, uint16_t count, uint16_t flags) {
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - epoch).count();
    std::lock_guard<std::mutex> lock(mutex);
    if (DecideRefusal()) {
        ++refused;
        return kNoOutputBuffer;  // all or nothing: nothing of the block was taken
    }
    SentBlock block;
    block.channel = channel;
    block.sectionCount = count;
    block.flags = flags;
    block.ms = ms;
    for (uint16_t i = 0; sections && i < count; ++i) {
        if (sections[i].length && sections[i].pSection) {
            block.data.insert(block.data.end(), sections[i].pSection, sections[i].pSection + sections[i].length);
        }
    }
    if (hookMaxWriteSize > 0 && block.data.size() > static_cast<size_t>(hookMaxWriteSize - 1)) ++oversized;
    sent.push_back(std::move(block));
    sentChanged.notify_all();
    return 0;
}

}  // namespace enginesim
