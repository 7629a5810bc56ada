#include "SessionRunner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "MessageDecoder.h"
#include "MessageEncoder.h"
#include "MessageRenderer.h"
#include "MessagePump.h"
#include "TovSimBus.h"
#include "TraceFile.h"

namespace demosession {

namespace {

const char* const kClientLog = "c:\\CitrixClient.log";

uint64_t FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return 0;
    return static_cast<uint64_t>(in.tellg());
}

std::string Hex(const uint8_t* data, size_t size) {
    std::string text;
    char item[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(item, sizeof item, i ? " %02x" : "%02x", data[i]);
        text += item;
    }
    return text;
}

template <class T>
void Resolve(enginesim::EngineSimulator& sim, T& slot, const char* name) {
    slot = reinterpret_cast<T>(sim.ModuleExport(name));
}

}  // namespace

// The simulated bus of the module, through its exports.
struct SessionRunner::BusApi {
    int (*CatalogueCount)() = nullptr;
    int (*CatalogueEntry)(int, TovSimModel*) = nullptr;
    int (*Plug)(const char*) = nullptr;
    int (*Unplug)(int) = nullptr;
    int (*DevicePath)(int, char*, int) = nullptr;
    int (*SendInputReport)(int, const void*, int) = nullptr;
    int (*ReadOutputReport)(int, void*, int) = nullptr;
    void (*RecordMessageBoxes)(int) = nullptr;
    int (*MessageBoxCount)() = nullptr;
    int (*GetMessageBox)(int, char*, int, char*, int, unsigned*) = nullptr;
    void (*ClearMessageBoxes)() = nullptr;
    int (*Pump)() = nullptr;

    bool Present() const {
        return CatalogueCount && CatalogueEntry && Plug && Unplug && DevicePath && SendInputReport &&
               ReadOutputReport && RecordMessageBoxes && MessageBoxCount && GetMessageBox && ClearMessageBoxes;
    }
    std::string Path(int id) const {
        char path[512] = {0};
        return DevicePath(id, path, sizeof path) > 0 ? std::string(path) : std::string();
    }
    std::string ModelName(const std::string& key) const {
        TovSimModel model;
        for (int i = 0; i < CatalogueCount(); ++i) {
            if (CatalogueEntry(i, &model) && key == model.key) return model.name;
        }
        return key;
    }
};

SessionRunner::SessionRunner(RunnerOptions o) : options(std::move(o)), bus(new BusApi) {}

SessionRunner::~SessionRunner() { Stop(); }

void SessionRunner::Print(double ms, const std::string& who, const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%9.3f s", ms / 1000.0);
    options.print(std::string(stamp) + "  " + who + (who.empty() ? "" : "  ") + text);
}

bool SessionRunner::Start() {
    // Tracing is on only when the log exists at the driver's first line; earlier lines of other
    // programs stay in it and are not shown.
    std::ofstream(kClientLog, std::ios::binary | std::ios::app);
    logStart = FileSize(kClientLog);
    enginesim::Options engine;
    engine.modulePath = options.modulePath;
    engine.pollIntervalMs = options.pollIntervalMs;
    sim.reset(new enginesim::EngineSimulator(engine));
    if (!sim->Start()) {
        options.print("the driver did not start: " + sim->LastError());
        return false;
    }
    Resolve(*sim, bus->CatalogueCount, "TovSim_CatalogueCount");
    Resolve(*sim, bus->CatalogueEntry, "TovSim_CatalogueEntry");
    Resolve(*sim, bus->Plug, "TovSim_Plug");
    Resolve(*sim, bus->Unplug, "TovSim_Unplug");
    Resolve(*sim, bus->DevicePath, "TovSim_DevicePath");
    Resolve(*sim, bus->SendInputReport, "TovSim_SendInputReport");
    Resolve(*sim, bus->ReadOutputReport, "TovSim_ReadOutputReport");
    Resolve(*sim, bus->RecordMessageBoxes, "TovSim_RecordMessageBoxes");
    Resolve(*sim, bus->MessageBoxCount, "TovSim_MessageBoxCount");
    Resolve(*sim, bus->GetMessageBox, "TovSim_GetMessageBox");
    Resolve(*sim, bus->ClearMessageBoxes, "TovSim_ClearMessageBoxes");
    Resolve(*sim, bus->Pump, enginesim::kModulePumpExport);
    // The driver's message boxes are shown in the conversation instead of waiting for a click.
    if (bus->Present()) bus->RecordMessageBoxes(1);
    Print(sim->NowMs(), "engine", "driver " + options.modulePath + " loaded and its channel opened");
    return true;
}

void SessionRunner::Stop() {
    if (sim) sim->Shutdown();
}

bool SessionRunner::Run(const std::vector<ScriptStep>& steps) {
    for (const ScriptStep& step : steps) {
        const size_t before = sim->SentBlocks().size();
        commandSent = false;
        if (!Step(step)) return false;
        // A command is answered at a later poll: wait for that first block (a command that fails
        // has none), so that a slow machine does not print the reply after the next step.
        if (commandSent) sim->WaitForSentBlocks(before + 1, std::chrono::milliseconds(options.replyWaitMs));
        Settle();
    }
    return true;
}

bool SessionRunner::Fail(const ScriptStep& step, const std::string& reason) {
    options.print("script line " + std::to_string(step.line) + " (" + step.verb + "): " + reason);
    return false;
}

void SessionRunner::SendCommand(const std::vector<uint8_t>& block) {
    Print(sim->NowMs(), "", ServerProxy::RenderMessage(ServerProxy::Direction::ServerToClient, block));
    sim->QueueServerBlock(block);
    sim->WaitForDelivery();
    commandSent = true;
}

bool SessionRunner::Step(const ScriptStep& step) {
    const std::vector<std::string>& w = step.words;
    const std::string& verb = step.verb;
    const bool narration = verb == "say";
    const bool afterNarration = lastWasNarration;
    lastWasNarration = narration;
    if (narration) {
        if (!afterNarration) options.print("");  // a paragraph of narration opens each scene
        options.print("  " + step.rest);
        return true;
    }
    if (verb == "wait") {
        uint32_t ms = 0;
        if (!ParseHandle(w[0], ms) || ms > 600000) return Fail(step, "not a time in milliseconds: " + w[0]);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            ShowNewBlocks();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    if (verb == "log") {
        ShowLog();
        return true;
    }
    if (verb == "send") {
        std::string hex;
        for (const std::string& word : w) hex += word;
        std::vector<uint8_t> block;
        if (!enginesim::ParseHex(hex, block) || block.empty()) return Fail(step, "not a block of hex bytes");
        SendCommand(block);
        return true;
    }
    if (verb == "plug" || verb == "unplug" || verb == "report") {
        if (!bus->Present()) return Fail(step, "the driver module has no simulated bus (use the simulation build)");
        if (verb == "plug") {
            if (plugged.count(w[0])) return Fail(step, "a device named " + w[0] + " is plugged already");
            const int id = bus->Plug(w[1].c_str());
            if (id == 0) return Fail(step, "no model " + w[1] + " in the catalogue");
            plugged[w[0]] = id;
            Print(sim->NowMs(), "bus", "plugged " + w[0] + ": " + bus->ModelName(w[1]) + " at " + bus->Path(id));
            return true;
        }
        auto it = plugged.find(w[0]);
        if (it == plugged.end()) return Fail(step, "no device named " + w[0] + " is plugged");
        if (verb == "unplug") {
            Print(sim->NowMs(), "bus", "unplugged " + w[0]);
            bus->Unplug(it->second);
            plugged.erase(it);
            return true;
        }
        std::string hex;
        for (size_t i = 1; i < w.size(); ++i) hex += w[i];
        std::vector<uint8_t> report;
        if (!enginesim::ParseHex(hex, report) || report.empty()) return Fail(step, "not a report of hex bytes");
        const int reached = bus->SendInputReport(it->second, report.data(), static_cast<int>(report.size()));
        Print(sim->NowMs(), "bus", w[0] + " sends input report " + Hex(report.data(), report.size()) +
                                       (reached > 0 ? "" : " (nobody reads it)"));
        return true;
    }

    uint32_t handle = 0;
    if (!ParseHandle(w[0], handle)) return Fail(step, "not a handle: " + w[0]);
    if (verb == "create-manager") {
        SendCommand(ServerProxy::EncodeCreateManager(handle));
    } else if (verb == "delete-manager") {
        SendCommand(ServerProxy::EncodeDeleteManager(handle));
    } else if (verb == "list") {
        SendCommand(ServerProxy::EncodeGetConnectedDevices(handle));
    } else if (verb == "create-device") {
        SendCommand(ServerProxy::EncodeCreateDevice(handle));
    } else if (verb == "delete-device") {
        SendCommand(ServerProxy::EncodeDeleteDevice(handle));
    } else if (verb == "assign") {
        uint32_t source = 0;
        if (!ParseHandle(w[1], source)) return Fail(step, "not a handle: " + w[1]);
        SendCommand(ServerProxy::EncodeAssignDevice(handle, source));
    } else if (verb == "init") {
        auto it = plugged.find(w[1]);
        if (it == plugged.end()) return Fail(step, "no device named " + w[1] + " is plugged");
        auto known = knownByPath.find(bus->Path(it->second));
        if (known == knownByPath.end()) return Fail(step, w[1] + " was neither listed nor announced yet");
        SendCommand(ServerProxy::EncodeInitDevice(handle, known->second));
    } else if (verb == "connect" || verb == "disconnect") {
        SendCommand(ServerProxy::EncodeConnectDevice(handle, verb == "connect"));
    } else if (verb == "leds") {
        std::vector<LEDSetting> leds;
        for (size_t i = 1; i < w.size(); ++i) {
            const size_t eq = w[i].find('=');
            LEDSetting setting;
            if (eq == std::string::npos || !ParseInt32(w[i].substr(0, eq), setting.led) ||
                !ParseInt32(w[i].substr(eq + 1), setting.value)) {
                return Fail(step, "not LED=VALUE: " + w[i]);
            }
            leds.push_back(setting);
        }
        SendCommand(ServerProxy::EncodeSetLEDs(handle, leds));
    }
    return true;
}

bool SessionRunner::ShowNewBlocks() {
    std::vector<enginesim::SentBlock> blocks = sim->SentBlocks();
    bool any = false;
    for (; shownBlocks < blocks.size(); ++shownBlocks) {
        const enginesim::SentBlock& block = blocks[shownBlocks];
        Print(block.ms, "", ServerProxy::RenderMessage(ServerProxy::Direction::ClientToServer, block.data));
        ServerProxy::ChannelMessage message;
        std::string error;
        if (ServerProxy::DecodeClientMessage(block.data, message, error)) {
            for (const USBButtonDeviceDescriptor& d : message.devices) knownByPath[d.hidInfo.devicePath] = d;
            if (message.Type() == MessageType::DeviceConnected) {
                knownByPath[message.descriptor.hidInfo.devicePath] = message.descriptor;
            }
        }
        any = true;
    }
    return any;
}

void SessionRunner::ShowOutputReports() {
    if (!bus->Present()) return;
    uint8_t report[1024];
    for (const auto& device : plugged) {
        int length = 0;
        while ((length = bus->ReadOutputReport(device.second, report, sizeof report)) > 0) {
            Print(sim->NowMs(), "bus",
                  device.first + " received output report " +
                      Hex(report, std::min(static_cast<size_t>(length), sizeof report)));
        }
    }
}

void SessionRunner::ShowMessageBoxes() {
    if (!bus->Present()) return;
    for (int i = 0; i < bus->MessageBoxCount(); ++i) {
        char text[1024] = {0};
        char caption[256] = {0};
        if (bus->GetMessageBox(i, text, sizeof text, caption, sizeof caption, nullptr)) {
            Print(sim->NowMs(), "driver", std::string("message box \"") + caption + "\": " + text);
        }
    }
    bus->ClearMessageBoxes();
}

void SessionRunner::Settle() {
    // Device notifications waiting for the engine thread are handled now, not at its next turn.
    if (bus->Pump) {
        enginesim::ModulePumpProc pump = bus->Pump;
        sim->RunOnEngine([pump] { enginesim::PumpMessages(pump); });
    }
    auto quietSince = std::chrono::steady_clock::now();
    const auto giveUp = quietSince + std::chrono::seconds(30);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (ShowNewBlocks()) quietSince = now;
        ShowOutputReports();
        if (now - quietSince >= std::chrono::milliseconds(options.quietMs) || now > giveUp) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ShowMessageBoxes();
}

void SessionRunner::ShowLog() {
    options.print("");
    options.print(std::string("  trace log ") + kClientLog + " (the lines of this session):");
    std::ifstream in(kClientLog, std::ios::binary);
    if (!in) {
        options.print("    (the log file could not be read)");
        return;
    }
    in.seekg(static_cast<std::streamoff>(logStart));
    const std::string pid = "\t" + std::to_string(tracefile::CurrentProcessId()) + "\t";
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find(pid) != std::string::npos) options.print("    " + line);
    }
}

}  // namespace demosession
