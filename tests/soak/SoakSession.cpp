#include "SoakSession.h"

#include <cstdlib>
#include <thread>

#include "MessageDecoder.h"
#include "MessageEncoder.h"
#include "ModuleSession.h"
#include "ProcessStats.h"
#include "TraceLogReader.h"

namespace soak {

namespace {

using testsupport::kClientLog;
using testsupport::Resolve;

constexpr ObjectHandle kListingManager = 0x0B0B0B0B;

Session* g_session = nullptr;

class SessionEnvironment : public ::testing::Environment {
public:
    void TearDown() override { Session::End(); }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new SessionEnvironment);

}  // namespace

bool Bus::Complete() const {
    return Plug && Unplug && Reset && DevicePath && SendInputReport && DeliveredReportCount && DeliveredReport &&
           ReaderCount && OpenCount && ReadOutputReport && RecordMessageBoxes && MessageBoxCount && GetMessageBox &&
           ClearMessageBoxes;
}

Session::Session() {
    if (!testsupport::StartModule(TOV_SOAK_MODULE, sim)) return;
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

uint64_t Session::LogPosition() { return testsupport::FileSize(kClientLog); }

std::vector<TraceLine> Session::TraceSince(uint64_t position) { return testsupport::OwnLinesSince(kClientLog, position); }

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
