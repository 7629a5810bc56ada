#include "SoakSession.h"

#include <cstdlib>
#include <fstream>
#include <thread>

#include "MessageDecoder.h"
#include "MessageEncoder.h"
#include "ProcessStats.h"
#include "TraceFile.h"

namespace soak {

namespace {

const char* const kClientLog = "c:\\CitrixClient.log";
constexpr ObjectHandle kListingManager = 0x0B0B0B0B;

Session* g_session = nullptr;

class SessionEnvironment : public ::testing::Environment {
public:
    void TearDown() override { Session::End(); }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new SessionEnvironment);

template <class T>
void Resolve(enginesim::EngineSimulator& sim, T& slot, const char* name) {
    slot = reinterpret_cast<T>(sim.ModuleExport(name));
}

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = line.find(separator, from);
        if (at == std::string::npos) {
            parts.push_back(line.substr(from));
            return parts;
        }
        parts.push_back(line.substr(from, at - from));
        from = at + 1;
    }
}

}  // namespace

bool Bus::Complete() const {
    return Plug && Unplug && Reset && DevicePath && SendInputReport && DeliveredReportCount && DeliveredReport &&
           ReaderCount && OpenCount && ReadOutputReport && RecordMessageBoxes && MessageBoxCount && GetMessageBox &&
           ClearMessageBoxes;
}

Session::Session() {
    // Tracing is decided at the module's first line: the log must exist before the module runs.
    std::ofstream(kClientLog, std::ios::binary | std::ios::app);
    enginesim::Options options;
    options.modulePath = TOV_SOAK_MODULE;
    options.pollIntervalMs = 5;
    sim.reset(new enginesim::EngineSimulator(options));
    if (!sim->Start()) {
        ADD_FAILURE() << "the driver did not start: " << sim->LastError();
        return;
    }
    Resolve(*sim, bus.Plug, "TovSim_Plug");
    Resolve(*sim, bus.Unplug, "TovSim_Unplug");
    Resolve(*sim, bus.Reset, "TovSim_Reset");
    Resolve(*sim, bus.DevicePath, "TovSim_DevicePath");
    Resolve(*sim, bus.SendInputReport, "TovSim_SendInputReport");
    Resolve(*sim, bus.DeliveredReportCount, "TovSim_DeliveredReportCount");
    Resolve(*sim, bus.DeliveredReport, "TovSim_DeliveredReport");
    Resolve(*sim, bus.ReaderCount, "TovSim_ReaderCount");
    Resolve(*sim, bus.OpenCount, "TovSim_OpenCount");
    Resolve(*sim, bus.ReadOutputReport, "TovSim_ReadOutputReport");
    Resolve(*sim, bus.RecordMessageBoxes, "TovSim_RecordMessageBoxes");
    Resolve(*sim, bus.MessageBoxCount, "TovSim_MessageBoxCount");
    Resolve(*sim, bus.GetMessageBox, "TovSim_GetMessageBox");
    Resolve(*sim, bus.ClearMessageBoxes, "TovSim_ClearMessageBoxes");
    if (bus.RecordMessageBoxes) bus.RecordMessageBoxes(1);
}

Session& Session::Get() {
    if (!g_session) g_session = new Session();
    return *g_session;
}

void Session::End() {
    // The session object stays: the module, which lives on, may still reach the simulator's records.
    if (g_session) g_session->sim->Shutdown();
}

void Session::Send(const Bytes& block) { EXPECT_TRUE(sim->QueueServerBlock(block)); }

std::vector<ChannelMessage> Session::SentFrom(size_t from) {
    std::vector<enginesim::SentBlock> all = sim->SentBlocks();
    std::vector<ChannelMessage> messages;
    for (size_t i = from; i < all.size(); ++i) {
        ChannelMessage message;
        std::string error;
        if (!ServerProxy::DecodeClientMessage(all[i].data, message, error)) {
            ADD_FAILURE() << "block " << i << " is not a valid client message: " << error;
            continue;
        }
        messages.push_back(message);
    }
    return messages;
}

bool Session::Command(const Bytes& block, std::chrono::milliseconds timeout) {
    const size_t from = SentCount();
    ChannelMessage command;
    std::string error;
    EXPECT_TRUE(ServerProxy::DecodeServerMessage(block, command, error)) << error;
    const uint32_t replyCode = command.code + 1;
    Send(block);
    return WaitUntil(
        [&] {
            for (const ChannelMessage& m : SentFrom(from)) {
                if (m.code == replyCode && m.handle == command.handle) return true;
            }
            return false;
        },
        timeout);
}

uint64_t Session::LogPosition() {
    std::ifstream in(kClientLog, std::ios::binary | std::ios::ate);
    return in ? static_cast<uint64_t>(in.tellg()) : 0;
}

// "[ERROR\t]stamp\tpid\tsource\tmessage" lines of this process.
std::vector<TraceLine> Session::TraceSince(uint64_t position) {
    std::vector<TraceLine> lines;
    std::ifstream in(kClientLog, std::ios::binary);
    if (!in) return lines;
    in.seekg(static_cast<std::streamoff>(position));
    const std::string pid = std::to_string(tracefile::CurrentProcessId());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> parts = Split(line, '\t');
        size_t i = 0;
        TraceLine trace;
        if (!parts.empty() && parts[0] == "ERROR") {
            trace.error = true;
            i = 1;
        }
        if (parts.size() < i + 4 || parts[i + 1] != pid) continue;
        trace.source = parts[i + 2];
        for (size_t k = i + 3; k < parts.size(); ++k) trace.message += (k > i + 3 ? "\t" : "") + parts[k];
        lines.push_back(trace);
    }
    return lines;
}

std::string Session::Path(int simId) {
    char path[512] = {0};
    EXPECT_GT(bus.DevicePath(simId, path, sizeof path), 0);
    return path;
}

USBButtonDeviceDescriptor Session::Describe(int simId) {
    const size_t from = SentCount();
    EXPECT_TRUE(Command(ServerProxy::EncodeCreateManager(kListingManager)));
    EXPECT_TRUE(Command(ServerProxy::EncodeGetConnectedDevices(kListingManager)));
    EXPECT_TRUE(Command(ServerProxy::EncodeDeleteManager(kListingManager)));
    const std::string path = Path(simId);
    for (const ChannelMessage& m : SentFrom(from)) {
        if (m.code != static_cast<uint32_t>(MessageType::GetConnectedDevicesReply) || m.handle != kListingManager) continue;
        for (const USBButtonDeviceDescriptor& d : m.devices) {
            if (d.hidInfo.devicePath == path) return d;
        }
    }
    ADD_FAILURE() << "not listed: " << path;
    return USBButtonDeviceDescriptor();
}

std::vector<std::string> Session::MessageBoxes() {
    std::vector<std::string> texts;
    const int count = bus.MessageBoxCount();
    for (int i = 0; i < count; ++i) {
        char text[512] = {0};
        if (bus.GetMessageBox(i, text, sizeof text, nullptr, 0, nullptr)) texts.push_back(text);
    }
    bus.ClearMessageBoxes();
    return texts;
}

int Handles() { return ProcessHandles(); }
int Threads() { return ProcessThreads(); }

double SoakSeconds(double shortForm) {
    const char* value = std::getenv("TOV_SOAK_SECONDS");
    if (value && std::atof(value) > 0) return std::atof(value);
    return shortForm;
}

}  // namespace soak
