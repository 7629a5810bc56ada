// Figure 1: from a simulated device's input report being written until its ButtonEvent block is in
// the send queue, against the same write reaching a reader thread without the driver.
#include <cstdio>
#include <thread>

#include "BenchSupport.h"
#include "CitrixClientData.h"
#include "Figures.h"
#include "MessageEncoder.h"
#include "PipeFloor.h"
#include "TovSimBus.h"

namespace bench {

namespace {

constexpr ObjectHandle kDevice = 0x00D1C7A7;
constexpr int kWarmUp = 200;
constexpr int kReportLength = 10;  // the SpeechMike III's input report

// Heap allocations on the driver's threads per report (the reader's path), and those of the send
// queue's own copy of one block, for comparison.
struct ReportAllocations {
    double perReport = 0;
    uint64_t queueCopy = 0;
};

uint64_t QueueCopyAllocations() {
    const uint8_t block[16] = {0};
    StartCountingAllocations();
    CCitrixClientData::Instance().Push(block, sizeof block, CCitrixClientData::kCurrentLoad);
    const AllocationCount count = StopCountingAllocations();
    CCitrixClientData::Instance().Pop();
    return count.calls;
}

// Alternately presses and releases one button, so that every report changes exactly one button.
std::vector<double> MeasureDriver(int count, ReportAllocations& allocations) {
    std::vector<double> samples;
    LocalDriver& driver = LocalDriver::Get();
    TovSim_Reset();
    const int id = TovSim_Plug("SpeechMikeIII");
    driver.Command(ServerProxy::EncodeCreateDevice(kDevice));
    driver.Command(ServerProxy::EncodeInitDevice(kDevice, driver.DescriptorOf(id)));
    driver.Command(ServerProxy::EncodeConnectDevice(kDevice, true));
    driver.Drain();
    uint8_t report[kReportLength] = {0};
    report[1] = 0x80;  // a button report
    for (int i = 0; i < count + kWarmUp; ++i) {
        if (i == kWarmUp) StartCountingOtherThreadsAllocations();
        report[9] = (i % 2 == 0) ? 0x01 : 0x00;
        const Clock::time_point start = Clock::now();
        if (TovSim_SendInputReport(id, report, kReportLength) < 1) {
            std::fprintf(stderr, "report-to-queue: the device has no reader\n");
            break;
        }
        while (driver.Queued() == 0) std::this_thread::yield();
        const Clock::time_point queued = Clock::now();
        driver.PopFront();
        if (i >= kWarmUp) samples.push_back(NanosecondsBetween(start, queued));
    }
    const AllocationCount counted = StopCountingOtherThreadsAllocations();
    if (!samples.empty()) allocations.perReport = static_cast<double>(counted.calls) / samples.size();
    allocations.queueCopy = QueueCopyAllocations();
    driver.Command(ServerProxy::EncodeDeleteDevice(kDevice));
    driver.Drain();
    TovSim_Reset();
    return samples;
}

void Row(const char* what, const Summary& s, const Summary* floor) {
    std::printf("  %-28s %10s %10s %10s", what, Fixed(s.median / 1000, 1).c_str(), Fixed(s.p99 / 1000, 1).c_str(),
                Fixed(s.max / 1000, 1).c_str());
    if (floor) {
        std::printf("   %8s %8s", Ratio(s.median, floor->median).c_str(), Ratio(s.p99, floor->p99).c_str());
    }
    std::printf("\n");
}

}  // namespace

int ReportToQueue(const Settings& settings) {
    const Summary floor = Summarize(MeasurePipeFloor(settings.reports + kWarmUp, kReportLength));
    ReportAllocations allocations;
    const Summary driver = Summarize(MeasureDriver(settings.reports, allocations));
    std::printf("report to queue: %d reports, microseconds (targets: median <= 1.5x, p99 <= 3x floor)\n",
                settings.reports);
    std::printf("  %-28s %10s %10s %10s   %8s %8s\n", "", "median", "p99", "max", "median/f", "p99/f");
    Row("floor: pipe to reader", floor, nullptr);
    Row("driver: report to queue", driver, &floor);
    std::printf("  heap allocations per report on the driver's threads: %s (the send queue's copy of a block: %llu)\n",
                Fixed(allocations.perReport, 2).c_str(), static_cast<unsigned long long>(allocations.queueCopy));
    return driver.count == 0 || floor.count == 0;
}

}  // namespace bench
