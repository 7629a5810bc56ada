// Test helper: one ICA session in a process of its own. It runs the simulation module in the
// engine simulator, whose WD answers the window query with a child of a top-level window of this
// process, plugs a SpeechMike III (the first device of a fresh bus has the same path in every
// process) and connects it as the server does. Then it answers the lines of its standard input:
//   focus        brings its window to the foreground; "ok" once two polls ran after that
//   report HEX   feeds one input report; "sent B, F" or "held B, F" when the driver sent the
//                button change or traced that it goes to another session
// Either answers "none" when nothing of the kind happened within 20 s.
#include <windows.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>

#include "MessageDecoder.h"
#include "MessageEncoder.h"
#include "ModuleSession.h"
#include "TovSimBus.h"
#include "TraceLogReader.h"

namespace {

using namespace ServerProxy;
std::unique_ptr<enginesim::EngineSimulator> sim;

// The client's messages of type code, oldest first.
std::vector<ChannelMessage> Sent(MessageType type) {
    std::vector<ChannelMessage> found;
    for (const enginesim::SentBlock& block : sim->SentBlocks()) {
        ChannelMessage message;
        std::string error;
        if (DecodeClientMessage(block.data, message, error) && message.Type() == type) found.push_back(message);
    }
    return found;
}

bool Exchange(const Bytes& command, size_t& replies) {
    sim->QueueServerBlock(command);
    return sim->WaitForSentBlocks(++replies, std::chrono::seconds(20));
}

}  // namespace

int main() {
    if (!testsupport::StartModule(TOV_SIM_MODULE_PATH, sim)) return 1;
    HWND top = nullptr, child = nullptr;
    sim->RunOnEngine([&] {
        top = CreateWindowExA(0, "STATIC", "session", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                              nullptr, nullptr, nullptr);
        child = CreateWindowExA(0, "STATIC", "ica", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, top, nullptr, nullptr, nullptr);
    });
    sim->Wd().SetIcaWindow(child, 0);  // asked for again at the next poll, as none was known
    auto plug = reinterpret_cast<decltype(&TovSim_Plug)>(sim->ModuleExport("TovSim_Plug"));
    auto send = reinterpret_cast<decltype(&TovSim_SendInputReport)>(sim->ModuleExport("TovSim_SendInputReport"));
    const int id = plug("SpeechMikeIII");
    size_t replies = 0;
    if (!Exchange(EncodeCreateManager(0x1000), replies) || !Exchange(EncodeGetConnectedDevices(0x1000), replies)) return 1;
    const std::vector<ChannelMessage> lists = Sent(MessageType::GetConnectedDevicesReply);
    if (lists.size() != 1 || lists[0].devices.size() != 1) return 1;
    if (!Exchange(EncodeCreateDevice(0x2000), replies) || !Exchange(EncodeInitDevice(0x2000, lists[0].devices[0]), replies) ||
        !Exchange(EncodeConnectDevice(0x2000, true), replies)) {
        return 1;
    }
    std::cout << "ready" << std::endl;

    const testsupport::LogReader log(testsupport::kClientLog);
    size_t events = 0, held = 0;
    std::string line;
    while (std::getline(std::cin, line)) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::string answer = "none";
        if (line == "focus") {
            sim->RunOnEngine([&] { SetForegroundWindow(top); });
            while (GetForegroundWindow() != top && std::chrono::steady_clock::now() < end) Sleep(1);
            const size_t polls = sim->Polls().size();
            while (sim->Polls().size() < polls + 2 && std::chrono::steady_clock::now() < end) Sleep(1);
            if (GetForegroundWindow() == top) answer = "ok";
        } else if (line.rfind("report ", 0) == 0) {
            std::vector<uint8_t> report;
            enginesim::ParseHex(line.substr(7), report);
            send(id, report.data(), static_cast<int>(report.size()));
            while (answer == "none" && std::chrono::steady_clock::now() < end) {
                const std::vector<ChannelMessage> sent = Sent(MessageType::ButtonEvent);
                std::string last;
                size_t heldNow = 0;
                for (const std::string& m : log.Messages()) {
                    if (m.find(" goes to the session the user works in") != std::string::npos) ++heldNow, last = m;
                }
                if (sent.size() > events) {
                    answer = "sent " + std::to_string(sent.back().button) + ", " + std::to_string(sent.back().pressed);
                    events = sent.size();
                } else if (heldNow > held) {
                    answer = "held " + last.substr(7, last.find(" goes") - 7);  // "Button 3, 1 goes ..."
                    held = heldNow;
                } else {
                    Sleep(5);
                }
            }
        }
        std::cout << answer << std::endl;
    }
    sim->Shutdown();
    return 0;
}
