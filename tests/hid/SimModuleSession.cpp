#include "SimModuleSession.h"

#include <algorithm>
#include <cstring>

void SimModuleSession::SetUp() {
    ASSERT_TRUE(testsupport::StartModule(TOV_SIM_MODULE_PATH, sim));
    using testsupport::Resolve;
    Resolve(*sim, bus.Reset, "TovSim_Reset");
    Resolve(*sim, bus.Plug, "TovSim_Plug");
    Resolve(*sim, bus.CatalogueCount, "TovSim_CatalogueCount");
    Resolve(*sim, bus.CatalogueEntry, "TovSim_CatalogueEntry");
    Resolve(*sim, bus.DevicePath, "TovSim_DevicePath");
    Resolve(*sim, bus.Unplug, "TovSim_Unplug");
    Resolve(*sim, bus.OpenCallCount, "TovSim_OpenCallCount");
    Resolve(*sim, bus.OpenCallPath, "TovSim_OpenCallPath");
    Resolve(*sim, bus.ReaderCount, "TovSim_ReaderCount");
    Resolve(*sim, bus.OpenCount, "TovSim_OpenCount");
    Resolve(*sim, bus.BreakReaderWait, "TovSim_BreakReaderWait");
    Resolve(*sim, bus.RecordMessageBoxes, "TovSim_RecordMessageBoxes");
    Resolve(*sim, bus.HoldMessageBoxes, "TovSim_HoldMessageBoxes");
    Resolve(*sim, bus.WaitForOpenMessageBox, "TovSim_WaitForOpenMessageBox");
    Resolve(*sim, bus.OpenMessageBoxCount, "TovSim_OpenMessageBoxCount");
    Resolve(*sim, bus.DismissMessageBoxes, "TovSim_DismissMessageBoxes");
    Resolve(*sim, bus.MessageBoxCount, "TovSim_MessageBoxCount");
    Resolve(*sim, bus.GetMessageBox, "TovSim_GetMessageBox");
    Resolve(*sim, bus.FailNextOpen, "TovSim_FailNextOpen");
    Resolve(*sim, bus.HoldWrites, "TovSim_HoldWrites");
    Resolve(*sim, bus.HeldWriteCount, "TovSim_HeldWriteCount");
    Resolve(*sim, bus.WaitForHeldWrites, "TovSim_WaitForHeldWrites");
    Resolve(*sim, bus.ReadOutputReport, "TovSim_ReadOutputReport");
    Resolve(*sim, bus.SendInputReport, "TovSim_SendInputReport");
    Resolve(*sim, bus.CancelledWriteCount, "TovSim_CancelledWriteCount");
    Resolve(*sim, bus.LastCancelledWrite, "TovSim_LastCancelledWrite");
    Resolve(*sim, bus.SendDeviceChange, "TovSim_SendDeviceChange");
    Resolve(*sim, bus.MarkThread, "TovSim_MarkThread");
    Resolve(*sim, bus.MarkedThreadCallCount, "TovSim_MarkedThreadCallCount");
    ASSERT_FALSE(HasFailure());
    bus.Reset();
    bus.RecordMessageBoxes(1);
}

void SimModuleSession::TearDown() {
    if (bus.HoldMessageBoxes) bus.HoldMessageBoxes(0);
    // A test that failed while a write was held: the held writes fail, so no writer outlives the session.
    if (bus.HeldWriteCount && bus.HeldWriteCount() > 0) bus.Reset();
    if (sim) sim->Shutdown();
    if (bus.Reset) bus.Reset();
}

bool SimModuleSession::Exchange(const ServerProxy::Bytes& command) {
    sim->QueueServerBlock(command);
    ++repliesSeen;
    if (!sim->WaitForSentBlocks(repliesSeen, std::chrono::seconds(20))) {
        ADD_FAILURE() << "no reply to command " << static_cast<int>(command[0]);
        return false;
    }
    const auto sent = sim->SentBlocks();
    const auto& reply = sent[repliesSeen - 1].data;
    if (reply.size() < 8 || reply[0] != command[0] + 1 || !std::equal(command.begin() + 4, command.begin() + 8, reply.begin() + 4)) {
        ADD_FAILURE() << "reply " << repliesSeen << " is not the reply to command " << static_cast<int>(command[0]);
        return false;
    }
    return true;
}

std::string SimModuleSession::PathOf(int id) {
    char path[512] = {0};
    bus.DevicePath(id, path, sizeof(path));
    return path;
}

namespace {

// The usage type a listing gives a top-level collection (the rows of the usage-type table).
int32_t UsageTypeOf(unsigned usagePage, unsigned usage) {
    const struct {
        unsigned page, usage;
        int32_t type;
    } kRows[] = {{0x01, 0x01, 1}, {0x01, 0x02, 2}, {0x01, 0x04, 3}, {0x01, 0x05, 4},
                 {0x01, 0x06, 5}, {0x01, 0x07, 6}, {0x01, 0x80, 7}, {0x0C, 0x01, 8}};
    for (const auto& row : kRows) {
        if (row.page == usagePage && row.usage == usage) return row.type;
    }
    return 9;
}

}  // namespace

USBButtonDeviceDescriptor SimModuleSession::DescriptorOf(const char* modelKey, int id) {
    USBButtonDeviceDescriptor descriptor;
    for (int i = 0; i < bus.CatalogueCount(); ++i) {
        TovSimModel model;
        if (bus.CatalogueEntry(i, &model) && std::strcmp(model.key, modelKey) == 0) {
            descriptor.id = 1;
            descriptor.name = model.name;
            descriptor.hidInfo.devicePath = PathOf(id);
            descriptor.hidInfo.usageType = UsageTypeOf(model.usagePage, model.usage);
            descriptor.hidInfo.vendorID = static_cast<int32_t>(model.vendorID);
            descriptor.hidInfo.productID = static_cast<int32_t>(model.productID);
            descriptor.hidInfo.versionNumber = static_cast<int32_t>(model.versionNumber);
            descriptor.hidInfo.inputReportByteLength = model.inputReportByteLength;
            descriptor.hidInfo.outputReportByteLength = model.outputReportByteLength;
        }
    }
    return descriptor;
}

std::vector<std::string> SimModuleSession::OpenedPaths() {
    std::vector<std::string> paths;
    for (int i = 0; i < bus.OpenCallCount(); ++i) {
        char path[1024] = {0};
        bus.OpenCallPath(i, path, sizeof(path));
        paths.push_back(path);
    }
    return paths;
}

double SimModuleSession::LongestCallUs(const ServerProxy::Bytes& command) {
    const uint32_t code = enginesim::BlockCommand(command.data(), command.size());
    double longest = -1;
    for (const enginesim::CallTime& call : sim->CallTimes()) {
        if (call.entry == enginesim::EntryPoint::WriteHook && call.command == code) {
            longest = std::max(longest, call.durationUs);
        }
    }
    return longest;
}
