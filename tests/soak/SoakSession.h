// The simulation build of the driver running in the simulated ICA Client, shared by the soak and
// fault tests of one program: the bus functions the module exports, the blocks the driver sent,
// decoded, and the error lines of this process's trace log.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "EngineSimulator.h"
#include "ServerMessage.h"
#include "TraceLogReader.h"

namespace soak {

using ServerProxy::Bytes;
using ServerProxy::ChannelMessage;

// The functions of the simulated bus exported by the simulation module.
struct Bus {
    int (*Plug)(const char*) = nullptr;
    int (*Unplug)(int) = nullptr;
    void (*Reset)() = nullptr;
    int (*DevicePath)(int, char*, int) = nullptr;
    int (*SendInputReport)(int, const void*, int) = nullptr;
    int (*DeliveredReportCount)(int) = nullptr;
    int (*DeliveredReport)(int, int, void*, int) = nullptr;
    int (*ReaderCount)(int) = nullptr;
    int (*OpenCount)(int) = nullptr;
    int (*ReadOutputReport)(int, void*, int) = nullptr;
    void (*RecordMessageBoxes)(int) = nullptr;
    int (*MessageBoxCount)() = nullptr;
    int (*GetMessageBox)(int, char*, int, char*, int, unsigned*) = nullptr;
    void (*ClearMessageBoxes)() = nullptr;
    bool Complete() const;
};

// A trace line of this process.
using TraceLine = testsupport::TraceLine;

class Session {
public:
    static Session& Get();  // loads and opens the module once per program
    static void End();

    enginesim::EngineSimulator& Sim() { return *sim; }
    const Bus& B() const { return bus; }

    // Hands a block to the driver's write hook (in order, on the engine thread); does not wait.
    void Send(const Bytes& block);
    // Waits until every block handed over so far has reached the write hook.
    void WaitForDelivery() { sim->WaitForDelivery(); }

    // Blocks the driver has sent, from index `from` on, decoded (a block the decoder rejects fails
    // the test and is left out).
    std::vector<ChannelMessage> SentFrom(size_t from);
    size_t SentCount() { return sim->Wd().SentBlockCount(); }
    // Waits until `count` blocks have been sent in all; false on timeout.
    bool WaitForSent(size_t count, std::chrono::milliseconds timeout) { return sim->WaitForSentBlocks(count, timeout); }

    // Delivers the command and waits until the driver has sent its reply (whatever else came first);
    // returns false on timeout.
    bool Command(const Bytes& block, std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // Trace lines of this process written after the byte offset.
    uint64_t LogPosition();
    std::vector<TraceLine> TraceSince(uint64_t position);

    std::string Path(int simId);
    // The listed descriptor of a plugged interface, built from what GetConnectedDevices answers.
    USBButtonDeviceDescriptor Describe(int simId);
    std::vector<std::string> MessageBoxes();  // texts, and clears them

private:
    Session();
    std::unique_ptr<enginesim::EngineSimulator> sim;
    Bus bus;
};

// Open handles (or descriptors) and threads of this process.
int Handles();
int Threads();

// Waits up to `timeout` for `condition`.
template <class F>
bool WaitUntil(F condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// How long the soak runs: TOV_SOAK_SECONDS, else the short form's default.
double SoakSeconds(double shortForm);

}  // namespace soak
