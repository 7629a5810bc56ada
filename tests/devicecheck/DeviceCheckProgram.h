// Drives a running device check program through its window, as a person (and, in the simulation
// build, the person's hand-set) would: selects devices, clicks buttons, reads lists and texts.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace devicechecktest {

constexpr DWORD kWaitMs = 20000;

class DeviceCheckProgram {
public:
    // Copies the built program into `folder` (with a trailing backslash) and starts it there; the
    // caption tells which build it is.
    DeviceCheckProgram(const std::string& builtProgram, const std::string& folder, const std::string& caption);
    // Closes the dialog with the Close command and expects the program to end with code 0.
    ~DeviceCheckProgram();
    DeviceCheckProgram(const DeviceCheckProgram&) = delete;
    DeviceCheckProgram& operator=(const DeviceCheckProgram&) = delete;

    HWND dialog = nullptr;

    std::string Text(int id) const;
    std::vector<std::string> ListLines(int id) const;
    std::vector<std::string> Events() const { return ListLines(kEventsId); }
    // Waits until the event list holds at least `count` lines; false after kWaitMs.
    bool WaitForEvents(size_t count) const;
    // Returns once the click's handler has run in the program.
    void Click(int id) const;
    bool Enabled(int id) const;
    bool Checked(int id) const;
    // Selects entry `index` of the device list as a click would (LBN_SELCHANGE).
    void SelectDevice(int index) const;
    // Selects entry `index` of the LED list.
    void SelectLED(int index) const;

    // Simulation build: one command (see SimulationHooks.h) and its answer.
    LRESULT Command(const std::string& command) const;
    // Simulation build: the oldest output report the interface received, or empty.
    std::vector<unsigned char> OutputReport(int id) const;

    static constexpr int kEventsId = 1040;

private:
    PROCESS_INFORMATION process = {};
    HWND receiver = nullptr;  // takes the replies to "output"
};

// Waits until `condition` holds, checking it every few milliseconds; false after kWaitMs.
bool WaitUntil(const std::function<bool()>& condition);

}  // namespace devicechecktest
