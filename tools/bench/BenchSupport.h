// Shared pieces of the benchmark program: summary statistics, a clock, the allocation counter and
// the driver linked into this process, driven on the calling thread as the ICA Client's engine
// thread would drive it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CallTimes.h"
#include "EngineSimulator.h"
#include "USBButtonDeviceDescriptor.h"

namespace bench {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

inline double NanosecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::nano>(to - from).count();
}

struct Summary {
    double median = 0, p99 = 0, max = 0, mean = 0;
    size_t count = 0;
};
Summary Summarize(std::vector<double> values);

// "%.*f" of the value; the ratio "a/b" as "1.23x" ("-" when b is 0).
std::string Fixed(double value, int decimals);
std::string Ratio(double value, double floor);

// Heap allocations made through operator new on the calling thread while counting is on.
struct AllocationCount {
    uint64_t calls = 0;
    uint64_t bytes = 0;
};
void StartCountingAllocations();
AllocationCount StopCountingAllocations();
// The same for the allocations of every thread but the calling one (the driver's reader threads).
void StartCountingOtherThreadsAllocations();
AllocationCount StopCountingOtherThreadsAllocations();

// The driver linked into this program. Every call below runs on the calling thread, which plays the
// engine thread: only it may deliver blocks and take them off the send queue.
class LocalDriver {
public:
    static LocalDriver& Get();  // binds the channel client on first use

    void Deliver(const Bytes& block);  // OnDataReceived
    size_t Queued();                   // blocks in the send queue
    Bytes PopFront();                  // the first queued block (empty when none)
    void Drain();                      // drops every queued block
    // Delivers the command and takes its one reply off the queue (empty when none was queued).
    Bytes Command(const Bytes& block);

    // The descriptors GetConnectedDevices lists now, through a temporary manager.
    std::vector<USBButtonDeviceDescriptor> ListDevices();
    // The listed descriptor of a simulated interface (its path); id 0 and empty fields if absent.
    USBButtonDeviceDescriptor DescriptorOf(int simId);

private:
    LocalDriver();
};

std::string SimPath(int simId);

// Options of an engine simulator that drives the driver linked into this program (its Load and
// the simulated bus's message pump), polling every `pollIntervalMs`.
enginesim::Options LinkedEngineOptions(uint32_t pollIntervalMs);

// How long the calls held the engine thread: one line per entry point, the write hook per command
// code, with the number of calls and median, 99th percentile and maximum in microseconds.
void PrintCallTimes(const std::vector<enginesim::CallTime>& calls);

}  // namespace bench
