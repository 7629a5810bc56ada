// The simulation build of the driver in the simulated ICA Client, with the bus functions it
// exports, for tests that talk to it as the server does.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EngineSimulator.h"
#include "MessageEncoder.h"
#include "ModuleSession.h"
#include "TovSimBus.h"

struct SimBusExports {
    decltype(&TovSim_Reset) Reset = nullptr;
    decltype(&TovSim_Plug) Plug = nullptr;
    decltype(&TovSim_CatalogueCount) CatalogueCount = nullptr;
    decltype(&TovSim_CatalogueEntry) CatalogueEntry = nullptr;
    decltype(&TovSim_DevicePath) DevicePath = nullptr;
    decltype(&TovSim_Unplug) Unplug = nullptr;
    decltype(&TovSim_OpenCallCount) OpenCallCount = nullptr;
    decltype(&TovSim_OpenCallPath) OpenCallPath = nullptr;
    decltype(&TovSim_ReaderCount) ReaderCount = nullptr;
    decltype(&TovSim_OpenCount) OpenCount = nullptr;
    decltype(&TovSim_BreakReaderWait) BreakReaderWait = nullptr;
    decltype(&TovSim_RecordMessageBoxes) RecordMessageBoxes = nullptr;
    decltype(&TovSim_HoldMessageBoxes) HoldMessageBoxes = nullptr;
    decltype(&TovSim_WaitForOpenMessageBox) WaitForOpenMessageBox = nullptr;
    decltype(&TovSim_OpenMessageBoxCount) OpenMessageBoxCount = nullptr;
    decltype(&TovSim_DismissMessageBoxes) DismissMessageBoxes = nullptr;
    decltype(&TovSim_MessageBoxCount) MessageBoxCount = nullptr;
    decltype(&TovSim_GetMessageBox) GetMessageBox = nullptr;
    decltype(&TovSim_FailNextOpen) FailNextOpen = nullptr;
    decltype(&TovSim_HoldWrites) HoldWrites = nullptr;
    decltype(&TovSim_HeldWriteCount) HeldWriteCount = nullptr;
    decltype(&TovSim_WaitForHeldWrites) WaitForHeldWrites = nullptr;
    decltype(&TovSim_ReadOutputReport) ReadOutputReport = nullptr;
    decltype(&TovSim_SendInputReport) SendInputReport = nullptr;
    decltype(&TovSim_CancelledWriteCount) CancelledWriteCount = nullptr;
    decltype(&TovSim_LastCancelledWrite) LastCancelledWrite = nullptr;
    decltype(&TovSim_SendDeviceChange) SendDeviceChange = nullptr;
    decltype(&TovSim_MarkThread) MarkThread = nullptr;
    decltype(&TovSim_MarkedThreadCallCount) MarkedThreadCallCount = nullptr;
};

class SimModuleSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Sends one command and waits for its reply (the command's code plus one, the same handle);
    // false, with a test failure, when it does not come.
    bool Exchange(const ServerProxy::Bytes& command);
    // Sends a command that is refused with no reply (a device that cannot be connected, as the
    // driver answers it); the next Exchange proves it was handled and answered nothing.
    void SendRefused(const ServerProxy::Bytes& command) { sim->QueueServerBlock(command); }
    // The descriptor of a plugged catalogue model's main interface, as the driver would list it.
    USBButtonDeviceDescriptor DescriptorOf(const char* modelKey, int id);
    std::string PathOf(int id);
    std::vector<std::string> OpenedPaths();
    // The longest time the write hook held the engine thread for the command's code.
    double LongestCallUs(const ServerProxy::Bytes& command);

    std::unique_ptr<enginesim::EngineSimulator> sim;
    SimBusExports bus;
    size_t repliesSeen = 0;
};
