// The figures of the benchmark program, one function each. Each prints its table to stdout and
// returns 0, or 1 when the measurement itself could not be made (none judges the figures).
#pragma once

namespace bench {

struct Settings {
    int reports = 10000;        // report-to-queue samples
    int dispatchRounds = 20000; // messages per dispatch figure
    double idleSeconds = 10;    // idle figure
};

int ReportToQueue(const Settings& settings);
int DispatchCost(const Settings& settings);
int Enumeration(const Settings& settings);
int IdleCost(const Settings& settings);
int DeliveryTimeline(const Settings& settings);
int CommandSession(const Settings& settings);
int HotPlugPolls(const Settings& settings);
int ReaderInstructions(const Settings& settings);
// Part of the timeline: the stops with a stuck reader and a held write; false when not measured.
bool StopTimes();
bool SessionCheckCost();  // part of DeliveryTimeline

}  // namespace bench
