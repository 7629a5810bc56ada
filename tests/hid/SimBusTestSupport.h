// What the HID tests on the simulated bus share: a clean bus with recorded message boxes, and the
// recorders taking simulated interfaces.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HIDRecorders.h"
#include "TovSimBus.h"
#include "USBHIDDevice.h"
#include "USBHIDManager.h"

// Every test starts on an empty bus and records message boxes instead of showing them.
class SimBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        TovSim_Reset();
        TovSim_RecordMessageBoxes(1);
        TovSim_ClearMessageBoxes();
    }
    void TearDown() override {
        TovSim_Reset();
        TovSim_RecordMessageBoxes(0);
    }

    static std::string PathOf(int id) {
        char path[512] = {0};
        TovSim_DevicePath(id, path, sizeof(path));
        return path;
    }

    // Waits (bounded) until count boxes were recorded: a reader shows its box after it counts as
    // ended, so the box may come a moment after WaitForReaderEnd returned.
    static bool WaitForBoxes(int count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (TovSim_MessageBoxCount() < count) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }

    static std::vector<std::string> BoxTexts() {
        std::vector<std::string> texts;
        for (int i = 0; i < TovSim_MessageBoxCount(); ++i) {
            char text[1024] = {0};
            char caption[128] = {0};
            unsigned type = 0;
            TovSim_GetMessageBox(i, text, sizeof(text), caption, sizeof(caption), &type);
            texts.push_back(std::string(caption) + "|" + std::to_string(type) + "|" + text);
        }
        return texts;
    }
};

// A recording device that takes a simulated interface.
class RecordingDevice : public RecordingHIDDevice {
public:
    // Takes the interface's path, ids and report lengths as the manager's probe finds them.
    bool UseInterface(int id) {
        char path[512] = {0};
        TovSim_DevicePath(id, path, sizeof(path));
        return ProbeHIDInterface(path, Info());
    }
};

// Delivers what the bus announced to this thread (natively queued; on Windows already delivered).
inline void DeliverNotifications() { TovPlatform_PumpMessages(); }

// Delivers the announcements, waits (bounded) until the manager's probe thread has probed them and
// has the manager report them, as the engine poll does.
template <class Manager>
void DeliverDeviceChanges(Manager& manager) {
    DeliverNotifications();
    ASSERT_TRUE(manager.WaitForProbes(std::chrono::steady_clock::now() + std::chrono::seconds(20)));
    manager.DeliverDeviceChanges();
}

// How long the tests wait for a reader thread that should end by itself.
constexpr uint32_t kReaderEndBound = 20000;
