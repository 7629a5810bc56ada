// One driver module running in the simulated ICA Client for the whole test program, with the
// server's side of the conversation: commands go in as server blocks, replies and events are read
// from what the driver sent, trace lines from the client log.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EngineSimulator.h"
#include "MessageType.h"
#include "ServerMessage.h"

namespace dispatchtest {

using ServerProxy::Bytes;

// Little-endian building blocks for hand-made messages.
void Put32(Bytes& bytes, uint32_t value);
void PutString(Bytes& bytes, const std::string& text);
Bytes Header(uint32_t code, ObjectHandle handle);
Bytes Reply(MessageType code, ObjectHandle handle);  // the 8-byte replies
Bytes Join(Bytes a, const Bytes& b);

// A trace line of this process.
struct Trace {
    bool error = false;
    std::string source;
    std::string message;
};
bool operator==(const Trace& a, const Trace& b);
std::ostream& operator<<(std::ostream& out, const Trace& trace);
Trace Info(const std::string& message);   // a plain dispatcher line
Trace Error(const std::string& message);  // an error line of the dispatcher
std::string HandleText(ObjectHandle handle);  // "%p" of the handle as the driver prints it

// The functions of the simulated bus that the simulation module exports.
struct SimBusApi {
    int (*Plug)(const char*) = nullptr;
    int (*Unplug)(int) = nullptr;
    void (*Reset)() = nullptr;
    int (*DevicePath)(int, char*, int) = nullptr;
    int (*SendInputReport)(int, const void*, int) = nullptr;
    int (*OutputReportCount)(int) = nullptr;
    int (*ReadOutputReport)(int, void*, int) = nullptr;
    int (*ReaderCount)(int) = nullptr;
    int (*FailNextOpen)(int, unsigned) = nullptr;
    void (*RecordMessageBoxes)(int) = nullptr;
    bool Complete() const;
};

class DispatchSession {
public:
    // The module named by the build (TOV_DISPATCH_MODULE), loaded and opened once per process.
    static DispatchSession& Get();
    static void End();

    enginesim::EngineSimulator& Sim() { return *sim; }
    const SimBusApi& Bus() const { return bus; }  // Complete() only for the simulation module

    // Marks the start of a step: later reads see only blocks sent and lines traced after it.
    void Mark();
    // Delivers the block to the write hook and waits until the hook returned.
    void Deliver(const Bytes& block);
    // Waits until `count` blocks have been sent since the mark and returns them (fewer on timeout).
    std::vector<Bytes> Sent(size_t count);
    // Every block sent since the mark, without waiting.
    std::vector<Bytes> SentSoFar();
    // Dispatcher lines since the mark (the channel's own lines are left out).
    std::vector<Trace> Traces();
    // Everything traced since the mark, channel lines included, as "source: message".
    std::vector<std::string> AllTraceMessages();

    // Deliver one command and wait for one reply: Mark, Deliver, Sent(1).
    Bytes Command(const Bytes& block);
    // Delivers the block, then a marker command that is always answered (DeleteDevice of a handle
    // nobody uses); returns what was sent in between. A command without a reply returns nothing.
    std::vector<Bytes> CommandWithoutWaiting(const Bytes& block);
    // Delivers the marker command and waits for its reply: everything queued before has been sent.
    // Returns the blocks sent since the mark, the marker's reply left out.
    std::vector<Bytes> Sync();
    // Lets the engine thread handle the device notifications that wait for it, now.
    void Settle();

    static constexpr ObjectHandle kMarkerHandle = 0x7EEDF00D;

private:
    DispatchSession();
    std::unique_ptr<enginesim::EngineSimulator> sim;
    SimBusApi bus;
    int (*pump)() = nullptr;
    size_t sentMark = 0;
    uint64_t logMark = 0;
};

// Every test starts with a clean log position, and deletes what it created.
class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    DispatchSession& S() { return DispatchSession::Get(); }
    // CreateManager / CreateDevice that the test's end deletes again (once per creation).
    void CreateManager(ObjectHandle handle);
    void CreateDevice(ObjectHandle handle);
    void ForgetManager(ObjectHandle handle);  // the test deleted it itself
    void ForgetDevice(ObjectHandle handle);

private:
    std::vector<ObjectHandle> managers, devices;
};

}  // namespace dispatchtest
