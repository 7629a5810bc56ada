#include "EngineSimulator.h"

#include <cctype>
#include <cstring>

#include "FormatString.h"
#include "ModuleLoader.h"

namespace enginesim {

EngineSimulator::EngineSimulator(Options opts)
    : options(std::move(opts)), epoch(Clock::now()), wd(new SimulatedWd(options.wd, epoch)) {
    engine.reset(new EngineThread([this] { PumpMessages(modulePump); }, [this] { PollOnEngine(); }));
}

EngineSimulator::~EngineSimulator() { Shutdown(); }

double EngineSimulator::NowMs() const {
    return std::chrono::duration<double, std::milli>(Clock::now() - epoch).count();
}

void EngineSimulator::Step(const std::string& line) {
    if (options.onStep) options.onStep(FormatString("[%9.1f ms] ", NowMs()) + line);
}

void EngineSimulator::RunOnEngine(const std::function<void()>& task) { engine->RunSync(task); }

bool EngineSimulator::Start() {
    if (!LoadDriver()) return false;
    const int openRc = Open();
    if (openRc != 0) {
        lastError = FormatString("VdOpen returned %d", openRc);
        return false;
    }
    const InitData init = RequestInitData();
    if (init.secondRc != 0) {
        lastError = FormatString("DriverInfo returned %d (first call %d)", init.secondRc, init.firstRc);
        return false;
    }
    StartPolling();
    return true;
}

bool EngineSimulator::LoadDriver() {
    bool ok = false;
    RunOnEngine([&] {
        LoadProc load = options.loadEntry;
        if (!load) {
            std::string error;
            if (!module) module = OpenModule(options.modulePath, error);
            if (!module) {
                lastError = "cannot load " + options.modulePath + ": " + error;
                Step(lastError);
                return;
            }
            load = reinterpret_cast<LoadProc>(FindExport(module, "Load"));
            if (!load) {
                lastError = options.modulePath + " has no export \"Load\"";
                Step(lastError);
                return;
            }
            modulePump = reinterpret_cast<ModulePumpProc>(FindExport(module, kModulePumpExport));
            Step("loaded " + options.modulePath);
        } else {
            modulePump = options.pumpMessages;
        }
        link = DLLLINK{};
        link.DllSize = sizeof(DLLLINK);
        std::strncpy(link.ModuleName, "TOVUSB", sizeof link.ModuleName - 1);
        link.pLibMgrCallTable = libraryManager.CallTable();
        LibraryManager::ActiveScope scope(&libraryManager);
        const Clock::time_point start = Clock::now();
        loadResult = load(&link);
        RecordCallTime(EntryPoint::Load, 0, start, Clock::now());
        procedures = link.pProcedures;
        vdData = link.pData;
        Step(FormatString("Load returned %d: %u procedures", loadResult, static_cast<unsigned>(link.ProcCount)));
        if (loadResult != 0 || !procedures || link.ProcCount < ica::kDriverProcCount) {
            lastError = FormatString("Load returned %d with %u procedures", loadResult,
                                     static_cast<unsigned>(link.ProcCount));
            return;
        }
        loaded = true;
        ok = true;
    });
    return ok;
}

int EngineSimulator::CallOnEngine(int index, void* param, uint16_t* size) {
    if (!procedures || index < 0 || index >= ica::kDriverProcCount || !procedures[index]) return -1;
    LibraryManager::ActiveScope scope(&libraryManager);
    const Clock::time_point start = Clock::now();
    const int rc = procedures[index](vdData, param, size);
    RecordCallTime(static_cast<EntryPoint>(index), 0, start, Clock::now());
    return rc;
}

void EngineSimulator::RecordCallTime(EntryPoint entry, uint32_t command, Clock::time_point start,
                                     Clock::time_point end) {
    CallTime call;
    call.entry = entry;
    call.command = command;
    call.startMs = std::chrono::duration<double, std::milli>(start - epoch).count();
    call.durationUs = std::chrono::duration<double, std::micro>(end - start).count();
    std::lock_guard<std::mutex> lock(recordMutex);
    callTimes.push_back(call);
}

int EngineSimulator::CallEntry(int index, void* param, uint16_t* size) {
    int rc = -1;
    RunOnEngine([&] { rc = CallOnEngine(index, param, size); });
    return rc;
}

PDLLPROCEDURE EngineSimulator::Entry(int index) {
    PDLLPROCEDURE entry = nullptr;
    RunOnEngine([&] {
        if (procedures && index >= 0 && index < ica::kDriverProcCount) entry = procedures[index];
    });
    return entry;
}

DLLLINK EngineSimulator::Link() {
    DLLLINK copy;
    RunOnEngine([&] { copy = link; });
    return copy;
}

void* EngineSimulator::ModuleExport(const char* name) {
    void* address = nullptr;
    RunOnEngine([&] { address = FindExport(module, name); });
    return address;
}

int EngineSimulator::Open() {
    int rc = -1;
    RunOnEngine([&] {
        VDOPEN open = {};
        open.pWdLink = wd->PrepareLink();
        open.ChannelMask = 0;
        uint16_t size = 0;
        rc = CallOnEngine(ica::kProcOpen, &open, &size);
        opened = rc == 0;
        Step(FormatString("VdOpen returned %d (size %u); channel '%s'", rc, static_cast<unsigned>(size),
                          wd->OpenedChannelName().c_str()));
    });
    return rc;
}

InitData EngineSimulator::RequestInitData() {
    InitData result;
    RunOnEngine([&] {
        // As the ICA Client does: first without a buffer to learn the size, then with one.
        DLLINFO info = {};
        uint16_t size = 0;
        result.firstRc = CallOnEngine(ica::kProcInfo, &info, &size);
        result.firstByteCount = info.ByteCount;
        Step(FormatString("DriverInfo (no buffer) returned %d, ByteCount %u", result.firstRc,
                          static_cast<unsigned>(info.ByteCount)));
        if (result.firstRc != ica::kErrorBufferTooSmall && result.firstRc != 0) return;
        result.buffer.assign(info.ByteCount, options.initDataFill);
        info.pBuffer = result.buffer.empty() ? nullptr : result.buffer.data();
        size = 0;
        result.secondRc = CallOnEngine(ica::kProcInfo, &info, &size);
        result.secondByteCount = info.ByteCount;
        result.sizeOut = size;
        Step(FormatString("DriverInfo returned %d, ByteCount %u: %s", result.secondRc,
                          static_cast<unsigned>(info.ByteCount), ToHex(result.buffer).c_str()));
    });
    return result;
}

void EngineSimulator::StartPolling() { engine->SetPeriodic(std::chrono::milliseconds(options.pollIntervalMs)); }

void EngineSimulator::StopPolling() { engine->SetPeriodic(std::chrono::milliseconds(0)); }

void EngineSimulator::PollOnEngine() {
    DLLPOLL poll;
    poll.CurrentTime = static_cast<uint32_t>(NowMs());
    uint16_t size = sizeof(DLLPOLL);
    const size_t sentBefore = wd->SentBlockCount();
    const double startMs = NowMs();
    const int rc = CallOnEngine(ica::kProcPoll, &poll, &size);
    const double ms = NowMs();
    const size_t sentAfter = wd->SentBlockCount();
    {
        std::lock_guard<std::mutex> lock(recordMutex);
        polls.push_back(PollRecord{rc, ms, startMs, sentAfter - sentBefore});
    }
    if (options.onStep) {
        const std::vector<SentBlock> sent = wd->SentBlocks();
        std::string line = FormatString("poll returned %d", rc);
        for (size_t i = sentBefore; i < sent.size(); ++i) {
            line += FormatString("; sent %u bytes: ", static_cast<unsigned>(sent[i].data.size())) + ToHex(sent[i].data);
        }
        Step(line);
    }
}

int EngineSimulator::PollOnce() {
    int rc = -1;
    RunOnEngine([&] {
        PollOnEngine();
        std::lock_guard<std::mutex> lock(recordMutex);
        rc = polls.back().rc;
    });
    return rc;
}

int EngineSimulator::Close() {
    int rc = -1;
    RunOnEngine([&] {
        DLLCLOSE close = {};
        uint16_t size = sizeof(DLLCLOSE);
        rc = CallOnEngine(ica::kProcClose, &close, &size);
        opened = false;
        Step(FormatString("VdClose returned %d", rc));
    });
    return rc;
}

int EngineSimulator::Unload() {
    int rc = -1;
    RunOnEngine([&] {
        uint16_t size = sizeof(DLLLINK);
        rc = CallOnEngine(ica::kProcUnload, &link, &size);
        loaded = false;
        Step(FormatString("VdUnload returned %d", rc));
    });
    return rc;
}

void EngineSimulator::Shutdown() {
    if (shutDown) return;
    shutDown = true;
    StopPolling();
    bool wasOpened = false, wasLoaded = false;
    RunOnEngine([&] {
        wasOpened = opened;
        wasLoaded = loaded;
    });
    if (wasOpened) Close();
    if (wasLoaded) Unload();
    engine->Stop();
}

bool EngineSimulator::CloseLibrary() {
    Shutdown();  // the engine thread has ended: nothing calls into the module any more
    void* const closing = module;
    module = nullptr;
    modulePump = nullptr;
    procedures = nullptr;
    vdData = nullptr;
    return CloseModule(closing);
}

void EngineSimulator::Deliver(std::vector<uint8_t>& block) {
    if (!opened || !wd->HookRegistered()) {
        std::lock_guard<std::mutex> lock(recordMutex);
        ++droppedBlocks;
        Step(FormatString("server block of %u bytes dropped: channel not open", static_cast<unsigned>(block.size())));
        return;
    }
    Step(FormatString("server sends %u bytes: ", static_cast<unsigned>(block.size())) + ToHex(block));
    LibraryManager::ActiveScope scope(&libraryManager);
    uint8_t* const buffer = block.empty() ? nullptr : block.data();
    const uint32_t command = BlockCommand(buffer, block.size());  // read first: the driver may change the buffer
    const Clock::time_point start = Clock::now();
    const int rc = wd->CallHook(buffer, static_cast<uint16_t>(block.size()));
    RecordCallTime(EntryPoint::WriteHook, command, start, Clock::now());
    std::lock_guard<std::mutex> lock(recordMutex);
    hookCalls.push_back(HookRecord{buffer, block.size(), rc, NowMs()});
}

bool EngineSimulator::QueueServerBlock(std::vector<uint8_t> block) {
    if (block.size() > 0xFFFFu) return false;
    auto shared = std::make_shared<std::vector<uint8_t>>(std::move(block));
    engine->Post([this, shared] { Deliver(*shared); });
    return true;
}

void EngineSimulator::WaitForDelivery() {
    RunOnEngine([] {});  // tasks run in order: every block queued before has been delivered
}

bool EngineSimulator::WaitForSentBlocks(size_t count, std::chrono::milliseconds timeout) const {
    return wd->WaitForSentBlocks(count, timeout);
}

std::vector<SentBlock> EngineSimulator::SentBlocks() const { return wd->SentBlocks(); }

std::vector<PollRecord> EngineSimulator::Polls() const {
    std::lock_guard<std::mutex> lock(recordMutex);
    return polls;
}

std::vector<HookRecord> EngineSimulator::HookCalls() const {
    std::lock_guard<std::mutex> lock(recordMutex);
    return hookCalls;
}

std::vector<CallTime> EngineSimulator::CallTimes() const {
    std::lock_guard<std::mutex> lock(recordMutex);
    return callTimes;
}

void EngineSimulator::ClearCallTimes() {
    std::lock_guard<std::mutex> lock(recordMutex);
    callTimes.clear();
}

size_t EngineSimulator::DroppedServerBlocks() const {
    std::lock_guard<std::mutex> lock(recordMutex);
    return droppedBlocks;
}

std::vector<std::string> EngineSimulator::RequestedSubsystems() const { return libraryManager.RequestedNames(); }

std::string ToHex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> out;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == ':' || c == '-') {
            if (high >= 0) return false;  // an odd digit in a group
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0 || out.size() > 0xFFFFu) return false;
    bytes.swap(out);
    return true;
}

}  // namespace enginesim
