#include "DispatchSession.h"

#include <chrono>
#include <cstdint>
#include <ostream>

#include "FormatString.h"
#include "MessageEncoder.h"
#include "ModuleSession.h"
#include "TraceLogReader.h"
#include "WireFields.h"

namespace dispatchtest {

namespace {

const char* const kDispatcherSource = "CitrixUSBButtonDeviceManagerClient";
constexpr auto kReplyWait = std::chrono::seconds(20);

using testsupport::kClientLog;
using testsupport::Resolve;

// The lines of this process, from the byte offset on.
std::vector<Trace> ReadLog(uint64_t from) {
    std::vector<Trace> lines;
    for (const testsupport::TraceLine& line : testsupport::OwnLinesSince(kClientLog, from))
        lines.push_back(Trace{line.error, line.source, line.message});
    return lines;
}

DispatchSession* g_session = nullptr;

// Closes the session after the last test of the program.
class SessionEnvironment : public ::testing::Environment {
public:
    void TearDown() override { DispatchSession::End(); }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new SessionEnvironment);

}  // namespace

void Put32(Bytes& bytes, uint32_t value) { ServerProxy::wire::Put32(bytes, value); }

void PutString(Bytes& bytes, const std::string& text) { ServerProxy::wire::PutString(bytes, text); }

Bytes Header(uint32_t code, ObjectHandle handle) {
    Bytes bytes;
    Put32(bytes, code);
    Put32(bytes, handle);
    return bytes;
}

Bytes Reply(MessageType code, ObjectHandle handle) { return Header(static_cast<uint32_t>(code), handle); }

Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool operator==(const Trace& a, const Trace& b) {
    return a.error == b.error && a.source == b.source && a.message == b.message;
}

std::ostream& operator<<(std::ostream& out, const Trace& trace) {
    return out << (trace.error ? "ERROR " : "") << trace.source << ": " << trace.message;
}

Trace Info(const std::string& message) { return Trace{false, kDispatcherSource, message}; }
Trace Error(const std::string& message) { return Trace{true, kDispatcherSource, message}; }

std::string HandleText(ObjectHandle handle) {
    return FormatString("%p", reinterpret_cast<void*>(static_cast<uintptr_t>(handle)));
}

bool SimBusApi::Complete() const {
    return Plug && Unplug && Reset && DevicePath && SendInputReport && OutputReportCount && ReadOutputReport &&
           ReaderCount && FailNextOpen && RecordMessageBoxes;
}

DispatchSession::DispatchSession() {
    if (!testsupport::StartModule(TOV_DISPATCH_MODULE, sim)) return;
#if !TOV_DISPATCH_MODULE_HAS_BUS
    // The shipping driver exports only Load: these programs send commands that need no device.
    return;
#endif
    Resolve(*sim, bus.Plug, "TovSim_Plug");
    Resolve(*sim, bus.Unplug, "TovSim_Unplug");
    Resolve(*sim, bus.Reset, "TovSim_Reset");
    Resolve(*sim, bus.DevicePath, "TovSim_DevicePath");
    Resolve(*sim, bus.SendInputReport, "TovSim_SendInputReport");
    Resolve(*sim, bus.OutputReportCount, "TovSim_OutputReportCount");
    Resolve(*sim, bus.ReadOutputReport, "TovSim_ReadOutputReport");
    Resolve(*sim, bus.ReaderCount, "TovSim_ReaderCount");
    Resolve(*sim, bus.FailNextOpen, "TovSim_FailNextOpen");
    Resolve(*sim, bus.RecordMessageBoxes, "TovSim_RecordMessageBoxes");
    Resolve(*sim, pump, "TovPlatform_PumpMessages");
    if (bus.RecordMessageBoxes) bus.RecordMessageBoxes(1);
}

DispatchSession& DispatchSession::Get() {
    if (!g_session) g_session = new DispatchSession();
    return *g_session;
}

void DispatchSession::End() {
    if (!g_session) return;
    g_session->sim->Shutdown();
    // The session object stays: the module, which lives on, may still reach the simulator's records.
}

void DispatchSession::Mark() {
    sentMark = sim->SentBlocks().size();
    logMark = testsupport::FileSize(kClientLog);
}

void DispatchSession::Deliver(const Bytes& block) {
    ASSERT_TRUE(sim->QueueServerBlock(block));
    sim->WaitForDelivery();
}

std::vector<Bytes> DispatchSession::Sent(size_t count) {
    sim->WaitForSentBlocks(sentMark + count, kReplyWait);
    std::vector<Bytes> blocks = SentSoFar();
    EXPECT_GE(blocks.size(), count) << "the driver did not send everything expected";
    return blocks;
}

std::vector<Bytes> DispatchSession::SentSoFar() {
    std::vector<enginesim::SentBlock> all = sim->SentBlocks();
    std::vector<Bytes> blocks;
    for (size_t i = sentMark; i < all.size(); ++i) blocks.push_back(all[i].data);
    return blocks;
}

std::vector<Trace> DispatchSession::Traces() {
    const std::string marker = HandleText(kMarkerHandle);
    std::vector<Trace> lines;
    for (const Trace& trace : ReadLog(logMark)) {
        if (trace.source != kDispatcherSource) continue;
        if (trace.message.find(marker) != std::string::npos) continue;
        lines.push_back(trace);
    }
    return lines;
}

std::vector<std::string> DispatchSession::AllTraceMessages() {
    std::vector<std::string> lines;
    for (const Trace& trace : ReadLog(logMark)) lines.push_back(trace.source + ": " + trace.message);
    return lines;
}

Bytes DispatchSession::Command(const Bytes& block) {
    Mark();
    Deliver(block);
    std::vector<Bytes> sent = Sent(1);
    return sent.empty() ? Bytes() : sent.front();
}

std::vector<Bytes> DispatchSession::CommandWithoutWaiting(const Bytes& block) {
    Mark();
    Deliver(block);
    return Sync();
}

void DispatchSession::Settle() {
    if (pump) sim->RunOnEngine([this] { pump(); });
}

std::vector<Bytes> DispatchSession::Sync() {
    Settle();
    Deliver(ServerProxy::EncodeDeleteDevice(kMarkerHandle));
    const Bytes marker = Reply(MessageType::DeleteDeviceReply, kMarkerHandle);
    for (size_t count = 1;; ++count) {
        std::vector<Bytes> sent = Sent(count);
        if (sent.size() < count) return sent;
        if (sent.back() == marker) {
            sent.pop_back();
            return sent;
        }
    }
}

void DispatchTest::SetUp() {
    S();
    if (HasFatalFailure()) return;
    if (S().Bus().Reset) S().Bus().Reset();
    S().Mark();
}

void DispatchTest::TearDown() {
    S().Mark();
    for (ObjectHandle handle : devices) S().Deliver(ServerProxy::EncodeDeleteDevice(handle));
    for (ObjectHandle handle : managers) S().Deliver(ServerProxy::EncodeDeleteManager(handle));
    // Everything this test caused has left once the marker's reply has.
    S().Sync();
    if (S().Bus().Reset) S().Bus().Reset();
}

void DispatchTest::CreateManager(ObjectHandle handle) {
    EXPECT_EQ(S().Command(ServerProxy::EncodeCreateManager(handle)), Reply(MessageType::CreateManagerReply, handle));
    managers.push_back(handle);
}

void DispatchTest::CreateDevice(ObjectHandle handle) {
    EXPECT_EQ(S().Command(ServerProxy::EncodeCreateDevice(handle)), Reply(MessageType::CreateDeviceReply, handle));
    devices.push_back(handle);
}

void DispatchTest::ForgetManager(ObjectHandle handle) {
    for (auto it = managers.begin(); it != managers.end(); ++it) {
        if (*it == handle) {
            managers.erase(it);
            return;
        }
    }
}

void DispatchTest::ForgetDevice(ObjectHandle handle) {
    for (auto it = devices.begin(); it != devices.end(); ++it) {
        if (*it == handle) {
            devices.erase(it);
            return;
        }
    }
}

}  // namespace dispatchtest
