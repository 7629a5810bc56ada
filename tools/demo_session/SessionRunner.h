// Plays a session script against a driver module in the simulated ICA Client and prints the
// conversation: every server command, every reply and event the driver sent (with the time the WD
// accepted it), what happened on the simulated bus, and the driver's trace lines.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "EngineSimulator.h"
#include "SessionScript.h"
#include "USBButtonDeviceDescriptor.h"

namespace demosession {

struct RunnerOptions {
    std::string modulePath;
    uint32_t pollIntervalMs = 10;
    // After every step the runner waits until the driver has sent nothing for this long.
    uint32_t quietMs = 250;
    // After a server command the runner first waits this long at most for the driver's next block.
    uint32_t replyWaitMs = 3000;
    std::function<void(const std::string&)> print;  // one line, no line end
};

class SessionRunner {
public:
    explicit SessionRunner(RunnerOptions options);
    ~SessionRunner();
    SessionRunner(const SessionRunner&) = delete;
    SessionRunner& operator=(const SessionRunner&) = delete;

    // Loads and opens the driver. False with the reason printed.
    bool Start();
    // Runs the steps in order; stops at the first step that cannot be done (printed) and returns false.
    bool Run(const std::vector<ScriptStep>& steps);
    // Closes the driver; the module stays loaded.
    void Stop();

private:
    struct BusApi;

    bool Step(const ScriptStep& step);
    void Print(double ms, const std::string& who, const std::string& text);
    void SendCommand(const std::vector<uint8_t>& block);
    // Prints what the driver sent and what the devices received until nothing more comes.
    void Settle();
    bool ShowNewBlocks();
    void ShowOutputReports();
    void ShowMessageBoxes();
    void ShowLog();
    bool Fail(const ScriptStep& step, const std::string& reason);

    RunnerOptions options;
    std::unique_ptr<enginesim::EngineSimulator> sim;
    std::unique_ptr<BusApi> bus;
    size_t shownBlocks = 0;
    bool lastWasNarration = false;
    bool commandSent = false;
    uint64_t logStart = 0;
    std::map<std::string, int> plugged;                              // name -> interface id
    std::map<std::string, USBButtonDeviceDescriptor> knownByPath;   // from listings and arrivals
};

}  // namespace demosession
