// The demo script played against the simulation module, as scripts/demo.sh does: the conversation
// holds every step the demo promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "SessionRunner.h"
#include "SessionScript.h"

using namespace demosession;

namespace {

std::vector<std::string> Play(const std::string& script, bool& ok) {
    std::vector<std::string> lines;
    std::vector<ScriptStep> steps;
    std::string error;
    ok = false;
    EXPECT_TRUE(ParseScript(script, steps, error)) << error;
    RunnerOptions options;
    options.modulePath = TOV_SIM_MODULE;
    options.quietMs = 200;
    options.print = [&](const std::string& line) { lines.push_back(line); };
    SessionRunner runner(options);
    if (!runner.Start()) return lines;
    ok = runner.Run(steps);
    runner.Stop();
    return lines;
}

// The index of the first line at or after `from` that contains all parts, or -1.
int Find(const std::vector<std::string>& lines, const std::vector<std::string>& parts, int from = 0) {
    for (int i = std::max(from, 0); i < static_cast<int>(lines.size()); ++i) {
        bool all = true;
        for (const std::string& part : parts) all = all && lines[i].find(part) != std::string::npos;
        if (all) return i;
    }
    return -1;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace

// One program, one module: both scripts run in this test, one after the other.
TEST(DemoScript, TheDemoShowsTheWholeSessionAndAFailingStepStopsAScript) {
    std::ifstream in(TOV_DEMO_SCRIPT, std::ios::binary);
    ASSERT_TRUE(in) << TOV_DEMO_SCRIPT;
    std::stringstream text;
    text << in.rdbuf();
    bool ok = false;
    const std::vector<std::string> lines = Play(text.str(), ok);
    EXPECT_TRUE(ok) << Joined(lines);

    int at = 0;
    // In order: the conversation as the README's "The demo" describes it.
    const std::vector<std::vector<std::string>> expected = {
        {"bus", "plugged mike", "Philips SpeechMike III"},
        {"bus", "plugged foot", "Philips Footswitch"},
        {"server -> client  CreateManager 0x00a01000"},
        {"client -> server  CreateManagerReply 0x00a01000"},
        {"client -> server  GetConnectedDevicesReply 0x00a01000: 2 devices", "Philips Footswitch",
         "Philips SpeechMike III"},
        {"client -> server  CreateDeviceReply 0x00a02000"},
        {"server -> client  InitDevice 0x00a02000: [Philips SpeechMike III"},
        {"client -> server  ConnectDeviceReply 0x00a02000"},
        {"client -> server  ButtonEvent 0x00a02000: button 3 pressed"},
        {"client -> server  ButtonEvent 0x00a02000: button 3 released"},
        {"client -> server  ButtonEvent 0x00a02000: button 5 pressed"},
        {"client -> server  ButtonEvent 0x00a02000: button 2 pressed"},
        {"client -> server  ButtonEvent 0x00a02000: button 5 released"},
        {"client -> server  ButtonEvent 0x00a02000: button 2 released"},
        {"server -> client  SetLEDs 0x00a02000"},
        {"bus", "mike received output report 00 02 00 00 00 00 00 40 00 00"},
        {"client -> server  DeviceConnected 0x00a01000: [Grundig Digta SonicMic II Classic"},
        {"client -> server  DeviceDisconnected 0x00a01000: [Philips Footswitch"},
        {"client -> server  DeleteManagerReply 0x00a01000"},
        {"trace log c:\\CitrixClient.log"},
        {"CitrixUSBButtonDeviceManagerClient\tOn button pressed 3, 1"},
        {"CitrixUSBButtonDeviceManagerClient\tDeleting manager for"},
    };
    for (const auto& parts : expected) {
        const int found = Find(lines, parts, at);
        EXPECT_GE(found, 0) << parts.front() << "\n" << Joined(lines);
        if (found >= 0) at = found + 1;
    }
    // Button events leave one per poll, at least 60 ms apart: the two of one report show it.
    const int press5 = Find(lines, {"button 5 pressed"});
    const int press2 = Find(lines, {"button 2 pressed"});
    ASSERT_GE(press5, 0);
    ASSERT_GE(press2, 0);
    const double t5 = std::stod(lines[press5]);
    const double t2 = std::stod(lines[press2]);
    EXPECT_GE(t2 - t5, 0.059);

    // A step that cannot be done stops the script there (before it creates anything, so that the
    // module holds no object at process exit).
    const std::vector<std::string> failed = Play("list 5\ninit 5 nobody\ncreate-device 5\n", ok);
    EXPECT_FALSE(ok);
    EXPECT_GE(Find(failed, {"client -> server  GetConnectedDevicesReply 0x00000005: 0 devices"}), 0)
        << Joined(failed);
    EXPECT_GE(Find(failed, {"script line 2 (init): no device named nobody is plugged"}), 0) << Joined(failed);
    EXPECT_LT(Find(failed, {"CreateDevice"}), 0);
}
