// How long each call into the driver held the engine thread. The engine simulator keeps one record
// per call it makes (the eight table entries and the write hook); SummarizeCallTimes turns them into
// one row per entry point, and for the write hook one row per command code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace enginesim {

// The table entries keep the driver's procedure index; the write hook comes after them.
enum class EntryPoint : uint8_t {
    Load = 0,
    VdUnload,
    VdOpen,
    VdClose,
    VdInfo,
    VdPoll,
    VdQueryInformation,
    VdSetInformation,
    WriteHook,
};

const char* EntryName(EntryPoint entry);  // "VdPoll", "write hook", ...

struct CallTime {
    EntryPoint entry = EntryPoint::VdPoll;
    uint32_t command = 0;  // write hook: the block's message code (its first four bytes); else 0
    double startMs = 0;    // steady clock, milliseconds since the simulator's start
    double durationUs = 0;
};

// The write hook's message code of a block: its first four bytes, little-endian (0 when shorter).
uint32_t BlockCommand(const uint8_t* data, size_t length);

struct CallTimeRow {
    EntryPoint entry = EntryPoint::VdPoll;
    uint32_t command = 0;
    size_t count = 0;
    double medianUs = 0, p99Us = 0, maxUs = 0;
};

// One row per entry point in table order, the write hook last with one row per command code in
// ascending order; entry points that were never called have no row. The 99th percentile is the
// value below which 99 % of the calls lie (the largest one for fewer than 100 calls).
std::vector<CallTimeRow> SummarizeCallTimes(const std::vector<CallTime>& calls);

}  // namespace enginesim
