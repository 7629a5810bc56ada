// The simulated ICA Client: it loads a driver module, opens it with a simulated WD, asks for its
// init data, and runs one engine thread that pumps messages, polls the driver at a set interval and
// hands the server's blocks to the driver's write hook.
//
// Every call into the driver runs on the engine thread; the methods below may be called from any
// thread and wait for the engine thread where they call the driver.
//
//   enginesim::Options options;
//   options.modulePath = "TovaroCitrixVC.dll";
//   enginesim::EngineSimulator sim(options);
//   if (!sim.Start()) ...                       // Load, VdOpen, init data twice, polling on
//   sim.QueueServerBlock({0x01, 0x00, ...});    // delivered to the write hook on the engine thread
//   sim.WaitForSentBlocks(1, std::chrono::seconds(5));
//   auto blocks = sim.Wd().SentBlocks();        // what the driver sent, with steady-clock times
//   sim.RunOnEngine([] { ... });                // code that must run on the engine thread
//   auto rows = SummarizeCallTimes(sim.CallTimes());  // how long each call held the engine thread
//   sim.Shutdown();                             // VdClose, VdUnload, engine thread ends
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CallTimes.h"
#include "EngineThread.h"
#include "IcaRecords.h"
#include "LibraryManager.h"
#include "MessagePump.h"
#include "SimulatedWd.h"

namespace enginesim {

using LoadProc = int(TOV_ICA_CALL*)(DLLLINK* link);

struct Options {
    // The driver: a module loaded by path, or an entry linked into this program.
    std::string modulePath;
    LoadProc loadEntry = nullptr;
    ModulePumpProc pumpMessages = nullptr;  // with loadEntry: the program's own pump, if any

    uint32_t pollIntervalMs = 100;  // automatic polls after Start (0: only PollOnce)
    WdOptions wd;
    uint8_t initDataFill = 0xA5;    // the init data buffer's bytes before the driver writes it

    // Receives a line for every step (load, open, info, polls, blocks); the command-line front end
    // prints them. Called on the engine thread.
    std::function<void(const std::string&)> onStep;
};

// The two DriverInfo calls the engine makes: first without a buffer, then with the size given.
struct InitData {
    int firstRc = -1;
    uint16_t firstByteCount = 0;  // ByteCount after the first call: the size asked for
    int secondRc = -1;
    uint16_t secondByteCount = 0;
    uint16_t sizeOut = 0;         // *size after the second call
    std::vector<uint8_t> buffer;  // the second call's buffer as the driver left it
};

struct PollRecord {
    int rc = 0;
    double ms = 0;       // when the poll returned: steady clock, milliseconds since the simulator's start
    double startMs = 0;  // when it was called, on the same clock
    size_t sentBlocks = 0;  // blocks the WD accepted during this poll
};

struct HookRecord {
    const void* buffer = nullptr;  // the buffer handed to the write hook
    size_t length = 0;
    int rc = 0;
    double ms = 0;  // when the hook returned
};

class EngineSimulator {
public:
    explicit EngineSimulator(Options options);
    ~EngineSimulator();  // Shutdown()
    EngineSimulator(const EngineSimulator&) = delete;
    EngineSimulator& operator=(const EngineSimulator&) = delete;

    // The whole start of a session: LoadDriver, Open, RequestInitData, then polling every
    // pollIntervalMs. False with a reason in LastError() when a step fails.
    bool Start();
    const std::string& LastError() const { return lastError; }

    // The steps one by one.
    bool LoadDriver();      // loads the module and calls Load; false if either fails
    int LoadResult() const { return loadResult; }
    int Open();             // VdOpen with the simulated WD; the driver's code
    InitData RequestInitData();
    void StartPolling();    // every pollIntervalMs
    void StopPolling();
    int PollOnce();         // one VdPoll now; its code
    int Close();            // VdClose
    int Unload();           // VdUnload
    // Stops polling, closes and unloads the driver if loaded, delivers nothing more and ends the
    // engine thread. The module itself stays loaded. Idempotent.
    void Shutdown();
    // Shutdown, then closes the module's library (dlclose, FreeLibrary) as the ICA Client does when
    // it unloads a driver. False when no module was loaded by path or the system refused.
    bool CloseLibrary();

    // The link record after Load (or Unload), and direct calls of the driver's table entries:
    // entry(VD record, param, size) on the engine thread. -1 when no table is loaded.
    DLLLINK Link();
    PDLLPROCEDURE Entry(int index);  // the address Load handed back
    int CallEntry(int index, void* param, uint16_t* size);
    void* ModuleExport(const char* name);  // an export of the loaded module, or null

    // Server blocks: delivered in order to the write hook on the engine thread. Any thread.
    // False if the block cannot be delivered (longer than 65535 bytes).
    bool QueueServerBlock(std::vector<uint8_t> block);
    // Waits until every block queued so far has been delivered (or dropped: channel not open).
    void WaitForDelivery();

    // Runs `task` on the engine thread and waits for it.
    void RunOnEngine(const std::function<void()>& task);

    // What happened. Any thread.
    SimulatedWd& Wd() { return *wd; }
    bool WaitForSentBlocks(size_t count, std::chrono::milliseconds timeout) const;
    std::vector<SentBlock> SentBlocks() const;
    std::vector<PollRecord> Polls() const;
    std::vector<HookRecord> HookCalls() const;
    // Every call made into the driver on the engine thread with how long it took, in call order.
    std::vector<CallTime> CallTimes() const;
    void ClearCallTimes();
    size_t DroppedServerBlocks() const;  // arrived while the channel was not open
    std::vector<std::string> RequestedSubsystems() const;
    double NowMs() const;  // on the same clock as the records

private:
    int CallOnEngine(int index, void* param, uint16_t* size);  // engine thread only
    void RecordCallTime(EntryPoint entry, uint32_t command, Clock::time_point start, Clock::time_point end);
    void Step(const std::string& line);
    void PollOnEngine();
    void Deliver(std::vector<uint8_t>& block);

    Options options;
    const Clock::time_point epoch;
    std::unique_ptr<SimulatedWd> wd;
    LibraryManager libraryManager;

    // Engine thread only.
    void* module = nullptr;
    ModulePumpProc modulePump = nullptr;
    DLLLINK link = {};
    PDLLPROCEDURE* procedures = nullptr;  // the table Load handed back, kept after Unload
    void* vdData = nullptr;
    bool loaded = false;
    bool opened = false;
    int loadResult = -1;
    std::string lastError;

    mutable std::mutex recordMutex;  // guards the records
    std::vector<PollRecord> polls;
    std::vector<HookRecord> hookCalls;
    std::vector<CallTime> callTimes;
    size_t droppedBlocks = 0;

    bool shutDown = false;
    std::unique_ptr<EngineThread> engine;  // last: stopped before the members above go
};

// Text helpers for traces and the command line.
std::string ToHex(const std::vector<uint8_t>& bytes);
bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes);  // "01 0a ff" or "010aff"

}  // namespace enginesim
