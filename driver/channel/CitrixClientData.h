// The process-wide state of the channel client: the bound client, the opened channel, the WD's send
// procedure and the first-in-first-out queue of blocks waiting to be sent.
#pragma once

#include <chrono>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "CriticalSection.h"
#include "IcaRecords.h"

class CCitrixClient;

class CCitrixClientData {
public:
    // Created on the first call (the binding of the client at library load), destroyed at process
    // exit after the bound client.
    static CCitrixClientData& Instance();

    // Which load of the module a block was made in: the count of the sessions ended (EndSession)
    // before it. kCurrentLoad: whichever is current (the engine thread's own replies).
    static constexpr uint32_t kCurrentLoad = 0xFFFFFFFFu;
    uint32_t Load();

    // Queue operations, safe on any thread: each holds `lock` for its own duration only.
    // Push appends a copy, unless the block was made in an earlier load (false: dropped).
    bool Push(const uint8_t* data, size_t size, uint32_t madeInLoad);
    // The first block or null. The block stays valid after the lock is released because only the
    // engine thread removes blocks.
    const std::vector<uint8_t>* Front();
    void Pop();  // removes the first block if there is one
    size_t QueuedBlocks();

    // The session ends (VdUnload, engine thread): the queued blocks are dropped and the channel
    // fields go back to their initial values, so that a Load in a module that stayed mapped finds
    // nothing of the session. The bound client stays, and so do firstPoll (its line is written once
    // per mapping of the module) and the time of the last send (the pacing).
    void EndSession();
    // True from EndSession until the next Load has seen it (TakeEndedSession). Engine thread.
    bool TakeEndedSession();

    CCriticalSectionClass lock;  // guards sendQueue and load, nothing else

    // Written by the binding at library load and by DriverOpen, DriverPoll and
    // LegacySendAvailableData on the engine thread; read on the engine thread only.
    CCitrixClient* client = nullptr;
    std::string channelName;
    void* wdData = nullptr;
    uint16_t channelNumber = 0;
    PQUEUEVIRTUALWRITEPROC queueVirtualWrite = nullptr;
    uint16_t maxDataSize = 0;  // the WD's maximum write size minus one; reported in the init data
    bool hpcMode = false;      // always false: every block leaves through the poll path
    bool firstPoll = true;     // true until the first poll of the process
    // Time of the last successful send, on a monotonic clock so the pacing holds whatever happens
    // to the wall clock and whatever its resolution.
    std::chrono::steady_clock::time_point lastSendTime = std::chrono::steady_clock::now();

private:
    CCitrixClientData() : lock(false) {}
    CCitrixClientData(const CCitrixClientData&) = delete;
    CCitrixClientData& operator=(const CCitrixClientData&) = delete;

    std::list<std::vector<uint8_t>> sendQueue;  // guarded by lock
    uint32_t load = 0;                           // guarded by lock
    bool sessionEnded = false;                  // engine thread only
};
