#include "ScriptCommandLine.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "SessionRunner.h"
#include "SessionScript.h"

namespace demosession {

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: engine_sim --driver PATH --script FILE [--poll-ms N] [--quiet-ms N]\n"
                 "  --driver PATH   the driver module (the simulation build for the bus commands)\n"
                 "  --script FILE   the session script, one command per line ('-' reads standard input):\n%s"
                 "  --poll-ms N     the engine's poll interval in milliseconds (default 10)\n"
                 "  --quiet-ms N    after each step, wait until the driver sent nothing for N ms (default 250)\n",
                 ScriptHelp());
}

bool ParseCount(const char* text, unsigned long max, uint32_t& value) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (!end || *end || end == text || v > max) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

bool WantsScript(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--script") return true;
    }
    return false;
}

int RunScriptCommandLine(int argc, char** argv) {
    RunnerOptions options;
    std::string scriptPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--driver" && hasValue) {
            options.modulePath = argv[++i];
        } else if (arg == "--script" && hasValue) {
            scriptPath = argv[++i];
        } else if (arg == "--poll-ms" && hasValue && ParseCount(argv[i + 1], 60000, options.pollIntervalMs)) {
            ++i;
        } else if (arg == "--quiet-ms" && hasValue && ParseCount(argv[i + 1], 60000, options.quietMs)) {
            ++i;
        } else {
            Usage();
            return 2;
        }
    }
    if (options.modulePath.empty() || scriptPath.empty()) {
        Usage();
        return 2;
    }
    std::stringstream text;
    if (scriptPath == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream in(scriptPath, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "engine_sim: cannot read the script %s\n", scriptPath.c_str());
            return 2;
        }
        text << in.rdbuf();
    }
    std::vector<ScriptStep> steps;
    std::string error;
    if (!ParseScript(text.str(), steps, error)) {
        std::fprintf(stderr, "engine_sim: %s: %s\n", scriptPath.c_str(), error.c_str());
        return 2;
    }
    options.print = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    SessionRunner runner(options);
    if (!runner.Start()) return 1;
    const bool ok = runner.Run(steps);
    runner.Stop();
    return ok ? 0 : 1;
}

}  // namespace demosession
