// The simulated winstation driver (WD): the link record the engine hands to the driver at open,
// the WD's query and set entries (open a virtual channel, register the write hook) and its send
// procedure QueueVirtualWrite, which records every block and can be told to refuse.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "IcaRecords.h"

namespace enginesim {

using Clock = std::chrono::steady_clock;

struct WdOptions {
    uint16_t channelNumber = 9;     // answered to "open virtual channel"
    uint16_t maxWriteSize = 2000;   // answered to the write-hook registration
    int openRefusal = 0;            // non-zero: "open virtual channel" fails with this code
    int hookRefusal = 0;            // non-zero: the write-hook registration fails with this code
    bool noProcedureTable = false;  // the WD link carries no procedure table
    // Answered to "get ICA window info" (Windows); null: the query is refused, as by a client that
    // does not know the class.
    void* icaWindow = nullptr;
    uint32_t icaWindowMode = 0;
};

// One block the driver handed to QueueVirtualWrite and the WD accepted.
struct SentBlock {
    std::vector<uint8_t> data;  // the sections, concatenated
    uint16_t channel = 0;
    uint16_t sectionCount = 0;
    uint16_t flags = 0;
    double ms = 0;  // steady clock, milliseconds since the simulator's start
};

// One call of the WD's procedure table by the driver.
struct WdCallRecord {
    uint16_t index = 0;
    int infoClass = -1;
    uint16_t infoLength = 0;
    int rc = 0;
};

class SimulatedWd {
public:
    SimulatedWd(const WdOptions& options, Clock::time_point epoch);
    SimulatedWd(const SimulatedWd&) = delete;
    SimulatedWd& operator=(const SimulatedWd&) = delete;

    // The WD's link record for VDOPEN. Built afresh from the current options at every call.
    DLLLINK* PrepareLink();

    // Behaviour changes; any thread. They take effect at the driver's next call.
    void SetOpenRefusal(int code);
    void SetHookRefusal(int code);
    void SetNoProcedureTable(bool on);
    void SetMaxWriteSize(uint16_t size);
    void SetIcaWindow(void* window, uint32_t mode);

    // QueueVirtualWrite refusals (each refusal answers 1016 and takes nothing); any thread.
    void RefuseNextWrites(unsigned count);
    void RefuseAllWrites(bool on);
    void RefuseWritesRandomly(double probability, uint32_t seed);
    void AcceptAllWrites();

    // The write hook registered by the driver; called on the engine thread.
    bool HookRegistered() const;
    int CallHook(uint8_t* data, uint16_t length);

    // What the driver did; any thread.
    std::vector<SentBlock> SentBlocks() const;
    size_t SentBlockCount() const;
    bool WaitForSentBlocks(size_t count, std::chrono::milliseconds timeout) const;
    size_t RefusedWrites() const;
    size_t OversizedWrites() const;  // accepted blocks longer than the maximum write size minus one
    std::vector<WdCallRecord> Calls() const;
    std::string OpenedChannelName() const;
    size_t UnusedHookProcedureCalls() const;  // the reserve/append/write procedures the driver must not use

private:
    static int TOV_ICA_CALL QueryInformationEntry(void* data, void* param, uint16_t* size);
    static int TOV_ICA_CALL SetInformationEntry(void* data, void* param, uint16_t* size);
    static int TOV_ICA_CALL UnsupportedEntry(void* data, void* param, uint16_t* size);
    static int TOV_ICA_CALL QueueVirtualWriteProc(void* wdData, uint16_t channel, MEMORY_SECTION* sections,
                                                  uint16_t count, uint16_t flags);
    static int TOV_ICA_CALL UnusedHookProcedure(void* wdData);

    int QueryInformation(WDQUERYINFORMATION* query);
    int SetInformation(WDSETINFORMATION* set);
    int QueueVirtualWrite(uint16_t channel, MEMORY_SECTION* sections, uint16_t count, uint16_t flags);
    bool DecideRefusal();  // with mutex held
    void Record(uint16_t index, int infoClass, uint16_t length, int rc);

    const Clock::time_point epoch;
    DLLLINK link = {};
    PDLLPROCEDURE procedures[8] = {};

    mutable std::mutex mutex;  // guards everything below
    mutable std::condition_variable sentChanged;
    WdOptions options;
    enum class Refusal { None, Next, Always, Random } refusal = Refusal::None;
    unsigned refuseCount = 0;
    double refuseProbability = 0;
    std::mt19937 random;
    std::vector<SentBlock> sent;
    size_t refused = 0;
    size_t oversized = 0;
    std::vector<WdCallRecord> calls;
    std::string openedName;
    uint16_t hookMaxWriteSize = 0;
    PVDWRITEPROCEDURE hook = nullptr;
    void* hookVdData = nullptr;
    uint16_t hookChannel = 0;
    size_t unusedProcedureCalls = 0;
};

}  // namespace enginesim
