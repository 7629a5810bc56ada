// What the HID tests share: a clean bus with recorded message boxes, a device that records its
// reports, and a manager that records its notifications.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <vector>

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

// Records every report its reader thread hands over.
class RecordingDevice : public CUSBHIDDevice {
public:
    ~RecordingDevice() override { Close(); }

    // Reader thread.
    void OnReport(std::vector<char>& report) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            reports.push_back(report);
        }
        arrived.notify_all();
        if (throwInReport) throw std::string("decoder failed");
    }

    // Waits (bounded, so that a fault fails the test instead of hanging it) for count reports.
    bool WaitForReports(size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(20), [&] { return reports.size() >= count; });
    }

    std::vector<std::vector<char>> Reports() {
        std::lock_guard<std::mutex> lock(mutex);
        return reports;
    }

    // Takes the interface's path, ids and report lengths as the manager's probe finds them.
    bool UseInterface(int id) {
        char path[512] = {0};
        TovSim_DevicePath(id, path, sizeof(path));
        return ProbeHIDInterface(path, Info());
    }

    bool throwInReport = false;

private:
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::vector<char>> reports;  // guarded by mutex
};

// Records the manager's notifications (on the manager's thread).
class RecordingManager : public CUSBHIDManager {
public:
    void OnDeviceArrival(const USBHIDDeviceInfo& info) override { arrivals.push_back(info); }
    void OnDeviceRemoval(const USBHIDDeviceInfo& info) override { removals.push_back(info); }

    std::vector<USBHIDDeviceInfo> arrivals;
    std::vector<USBHIDDeviceInfo> removals;
};

// ASCII lower case, which is what the ANSI lower-casing does to device paths.
inline std::string LowerCaseForTest(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Delivers what the bus announced to this thread (natively queued; on Windows already delivered).
inline void DeliverNotifications() { TovPlatform_PumpMessages(); }

// How long the tests wait for a reader thread that should end by itself.
constexpr uint32_t kReaderEndBound = 20000;
