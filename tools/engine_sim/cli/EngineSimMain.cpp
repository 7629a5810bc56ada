// engine_sim: runs a driver module in the simulated ICA Client and shows what happens.
//
//   engine_sim --driver PATH [--poll-ms N] [--max-write N] [--send HEX]... [--run-ms N]
//   engine_sim --driver PATH --script FILE [--poll-ms N] [--quiet-ms N]
//
// Loads the module, opens it, asks for its init data, delivers the given server blocks to its write
// hook, polls it for --run-ms milliseconds and prints every step, every poll result and every block
// the driver sends (in hex). Exit code 0 when the driver loaded and opened.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "EngineSimulator.h"
#if defined(TOV_SESSION_SCRIPTS)
#include "ScriptCommandLine.h"
#endif

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: engine_sim --driver PATH [--poll-ms N] [--max-write N] [--send HEX]... [--run-ms N]\n"
                 "  --driver PATH   the driver module to load\n"
                 "  --poll-ms N     poll interval in milliseconds (default 100)\n"
                 "  --max-write N   the WD's maximum write size (default 2000)\n"
                 "  --send HEX      a block the server sends on the channel, e.g. 01000000a0b0; repeatable\n"
                 "  --run-ms N      how long to run after the open (default 1000)\n");
}

bool ParseNumber(const char* text, unsigned long max, unsigned long& value) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (!end || *end || end == text || v > max) return false;
    value = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(TOV_SESSION_SCRIPTS)
    // engine_sim --driver PATH --script FILE: a session script (see docs/DEVELOPING.md,
    // "Session scripts").
    if (demosession::WantsScript(argc, argv)) return demosession::RunScriptCommandLine(argc, argv);
#endif
    enginesim::Options options;
    std::vector<std::vector<uint8_t>> blocks;
    unsigned long runMs = 1000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        unsigned long number = 0;
        if (arg == "--driver" && hasValue) {
            options.modulePath = argv[++i];
        } else if (arg == "--poll-ms" && hasValue && ParseNumber(argv[i + 1], 60000, number)) {
            options.pollIntervalMs = static_cast<uint32_t>(number);
            ++i;
        } else if (arg == "--max-write" && hasValue && ParseNumber(argv[i + 1], 65535, number)) {
            options.wd.maxWriteSize = static_cast<uint16_t>(number);
            ++i;
        } else if (arg == "--run-ms" && hasValue && ParseNumber(argv[i + 1], 3600000, number)) {
            runMs = number;
            ++i;
        } else if (arg == "--send" && hasValue) {
            std::vector<uint8_t> block;
            if (!enginesim::ParseHex(argv[++i], block) || block.empty()) {
                std::fprintf(stderr, "engine_sim: not a block of hex bytes: %s\n", argv[i]);
                return 2;
            }
            blocks.push_back(std::move(block));
        } else {
            Usage();
            return 2;
        }
    }
    if (options.modulePath.empty()) {
        Usage();
        return 2;
    }
    options.onStep = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };

    enginesim::EngineSimulator sim(options);
    if (!sim.Start()) {
        std::fprintf(stderr, "engine_sim: %s\n", sim.LastError().c_str());
        return 1;
    }
    for (auto& block : blocks) sim.QueueServerBlock(block);
    sim.WaitForDelivery();
    std::this_thread::sleep_for(std::chrono::milliseconds(runMs));
    sim.Shutdown();

    size_t nothing = 0, sent = 0, retried = 0, waited = 0;
    for (const auto& poll : sim.Polls()) {
        if (poll.sentBlocks) ++sent;
        else if (poll.rc == 21) ++nothing;
        else if (poll.rc == 30) ++retried;
        else if (poll.rc == 0) ++waited;
    }
    std::printf("summary: %zu polls (%zu sent a block, %zu had nothing to send, %zu retried, %zu held a block "
                "for the 60 ms pacing), %zu server blocks delivered, %zu blocks sent\n",
                sim.Polls().size(), sent, nothing, retried, waited, sim.HookCalls().size(), sim.SentBlocks().size());
    std::printf("engine thread held per call, microseconds (median / p99 / max):\n");
    for (const enginesim::CallTimeRow& row : enginesim::SummarizeCallTimes(sim.CallTimes())) {
        std::string name = enginesim::EntryName(row.entry);
        if (row.entry == enginesim::EntryPoint::WriteHook) name += " " + std::to_string(row.command);
        std::printf("  %-22s %6zu calls %10.1f %10.1f %10.1f\n", name.c_str(), row.count, row.medianUs, row.p99Us,
                    row.maxUs);
    }
    return 0;
}
