// bench <figure>... : prints the figures named (or all). Figures: report, dispatch, enumeration,
// idle, timeline, session, hotplug, instructions. Options: --reports N, --rounds N, --idle-seconds S.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Figures.h"
#include "TovSimBus.h"

namespace {

struct Figure {
    const char* name;
    int (*run)(const bench::Settings&);
};

const Figure kFigures[] = {
    {"report", bench::ReportToQueue},       {"dispatch", bench::DispatchCost}, {"enumeration", bench::Enumeration},
    {"idle", bench::IdleCost},              {"timeline", bench::DeliveryTimeline},
    {"session", bench::CommandSession},     {"hotplug", bench::HotPlugPolls},
    {"instructions", bench::ReaderInstructions},
};

int Usage() {
    std::fprintf(stderr,
                 "usage: bench [--reports N] [--rounds N] [--idle-seconds S] [report|dispatch|enumeration|idle|timeline|session|hotplug|instructions]...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Settings settings;
    std::vector<const Figure*> chosen;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--reports" || arg == "--rounds" || arg == "--idle-seconds") && i + 1 < argc) {
            const double value = std::atof(argv[++i]);
            if (value <= 0) return Usage();
            if (arg == "--reports") settings.reports = static_cast<int>(value);
            if (arg == "--rounds") settings.dispatchRounds = static_cast<int>(value);
            if (arg == "--idle-seconds") settings.idleSeconds = value;
            continue;
        }
        const Figure* found = nullptr;
        for (const Figure& figure : kFigures) {
            if (arg == figure.name) found = &figure;
        }
        if (!found) return Usage();
        chosen.push_back(found);
    }
    if (chosen.empty()) {
        for (const Figure& figure : kFigures) chosen.push_back(&figure);
    }
    // The figures are for the driver as it ships: without the trace log file tracing is off.
    const bool tracing = static_cast<bool>(std::ifstream("c:\\CitrixClient.log"));
    std::printf("TovUSB bench (%s build, tracing %s)\n\n", sizeof(void*) == 8 ? "64-bit" : "32-bit",
                tracing ? "ON: the trace log file exists" : "off");
    TovSim_RecordMessageBoxes(1);
    bench::LocalDriver::Get();
    int failures = 0;
    for (const Figure* figure : chosen) {
        failures += figure->run(settings);
        std::printf("\n");
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
