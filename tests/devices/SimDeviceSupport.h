// Test support for driving button devices through the simulated HID bus.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "CriticalSection.h"
#include "Semaphore.h"
#include "TovSimBus.h"
#include "USBButtonDevice.h"
#include "USBButtonDeviceData.h"

namespace simtest {

// Long enough for any reader thread to deliver; a test that waits this long has failed.
constexpr uint32_t kEventWaitMs = 10000;

using Event = std::pair<int32_t, int32_t>;  // code, pressed
using Events = std::vector<Event>;

// Counts signals from another thread; Wait(n) returns once n more have arrived.
class Signal {
public:
    Signal() : semaphore("", false) { semaphore.Create(0, 100000); }
    void Raise() { semaphore.Release(1); }
    bool Wait(int count = 1) {
        for (int i = 0; i < count; ++i) {
            if (!semaphore.Wait(kEventWaitMs)) return false;
        }
        return true;
    }

private:
    CSemaphoreClass semaphore;
};

// A button device that records its events (reader thread) for the test's thread.
class RecordingDevice : public CUSBButtonDevice {
public:
    ~RecordingDevice() override { Disconnect(); }
    void OnButtonPressed(const int32_t& code, const int32_t& pressed) override {
        {
            CCriticalSectionLocker locker(lock);
            events.emplace_back(code, pressed);
        }
        signal.Raise();
    }
    // Waits for `count` more events and returns all recorded so far.
    Events WaitForEvents(int count) {
        EXPECT_TRUE(signal.Wait(count)) << "events did not arrive";
        return Recorded();
    }
    Events Recorded() {
        CCriticalSectionLocker locker(lock);
        return events;
    }
    void Clear() {
        CCriticalSectionLocker locker(lock);
        events.clear();
    }

private:
    CCriticalSectionClass lock;
    Events events;
    Signal signal;
};

// The state object of a device, telling the test each time it has handled a report, so that a test
// can wait for reports that raise no event.
class SignallingData : public CUSBButtonDeviceData {
public:
    explicit SignallingData(CUSBButtonDevice* owner) : CUSBButtonDeviceData(owner) {}
    ~SignallingData() override { Close(); }
    void OnReport(std::vector<char>& report) override {
        CUSBButtonDeviceData::OnReport(report);
        handled.Raise();
    }
    bool WaitForReports(int count) { return handled.Wait(count); }

private:
    Signal handled;
};

inline std::string DevicePath(int id) {
    char path[512] = {0};
    EXPECT_GT(TovSim_DevicePath(id, path, sizeof path), 0);
    return path;
}

inline int Plug(const char* model) {
    int id = TovSim_Plug(model);
    EXPECT_NE(id, 0) << model;
    return id;
}

// A descriptor for a plugged interface, as the manager would list it.
inline USBButtonDeviceDescriptor DescriptorFor(int id, int32_t vendorID, int32_t productID,
                                               int32_t usageType, int32_t inputLength,
                                               int32_t outputLength) {
    USBButtonDeviceDescriptor descriptor;
    descriptor.name = "device";
    descriptor.hidInfo.devicePath = DevicePath(id);
    descriptor.hidInfo.usageType = usageType;
    descriptor.hidInfo.vendorID = vendorID;
    descriptor.hidInfo.productID = productID;
    descriptor.hidInfo.inputReportByteLength = inputLength;
    descriptor.hidInfo.outputReportByteLength = outputLength;
    return descriptor;
}

inline std::vector<char> Report(size_t length, std::initializer_list<std::pair<size_t, int>> bytes) {
    std::vector<char> report(length, 0);
    for (const auto& byte : bytes) report[byte.first] = static_cast<char>(byte.second);
    return report;
}

inline void Send(int id, const std::vector<char>& report) {
    ASSERT_GT(TovSim_SendInputReport(id, report.data(), static_cast<int>(report.size())), 0);
}

// The oldest output report written to the interface, as bytes; empty when there is none.
inline std::vector<int> ReadOutput(int id) {
    std::vector<unsigned char> buffer(1024);
    int length = TovSim_ReadOutputReport(id, buffer.data(), static_cast<int>(buffer.size()));
    if (length <= 0) return std::vector<int>();
    return std::vector<int>(buffer.begin(), buffer.begin() + length);
}

// Every test starts on an empty bus and leaves one.
class BusTest : public ::testing::Test {
protected:
    void SetUp() override { TovSim_Reset(); }
    void TearDown() override { TovSim_Reset(); }
};

}  // namespace simtest
