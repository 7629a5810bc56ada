// Recorders for HID tests on any backend: a device that records its reports and a manager that
// records its notifications.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "USBHIDDevice.h"
#include "USBHIDManager.h"

// Records every report its reader thread hands over.
class RecordingHIDDevice : public CUSBHIDDevice {
public:
    ~RecordingHIDDevice() override { Close(); }

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

