// Figure 5: a burst of 20 button events with the host polling every 10, 60 and 100 ms: when each
// block left, relative to the first report of the burst. The channel client sends at most one block
// per poll and at least 60 ms after the previous one. After each timeline: how long every call of
// that session (start, device connected, burst, device deleted, end) held the engine thread. Then
// the stops with devices that do not let go (StopTimes), and the sessions' foreground check
// (SessionCheckCost).
#include <cstdio>

#include "BenchSupport.h"
#include "EngineSimulator.h"
#include "Figures.h"
#include "MessageEncoder.h"
#include "TovSimBus.h"

namespace bench {

namespace {

constexpr ObjectHandle kDevice = 0x00B00000;
constexpr int kEvents = 20;
constexpr auto kWait = std::chrono::seconds(30);

bool Run(uint32_t intervalMs) {
    TovSim_Reset();
    const int id = TovSim_Plug("SpeechMikeIII");
    const USBButtonDeviceDescriptor descriptor = LocalDriver::Get().DescriptorOf(id);
    LocalDriver::Get().Drain();

    enginesim::EngineSimulator sim(LinkedEngineOptions(intervalMs));
    if (!sim.Start()) {
        std::fprintf(stderr, "timeline: the engine did not start: %s\n", sim.LastError().c_str());
        return false;
    }
    sim.QueueServerBlock(ServerProxy::EncodeCreateDevice(kDevice));
    sim.QueueServerBlock(ServerProxy::EncodeInitDevice(kDevice, descriptor));
    sim.QueueServerBlock(ServerProxy::EncodeConnectDevice(kDevice, true));
    const size_t before = 3;
    if (!sim.WaitForSentBlocks(before, kWait)) {
        std::fprintf(stderr, "timeline: the device was not connected\n");
        return false;
    }
    // The burst: press and release one button ten times, as fast as the bus takes the reports.
    uint8_t report[10] = {0};
    report[1] = 0x80;
    const double burstStart = sim.NowMs();
    for (int i = 0; i < kEvents; ++i) {
        report[9] = (i % 2 == 0) ? 0x01 : 0x00;
        TovSim_SendInputReport(id, report, sizeof report);
    }
    const double burstEnd = sim.NowMs();
    const bool complete = sim.WaitForSentBlocks(before + kEvents, kWait);
    std::vector<enginesim::SentBlock> sent = sim.SentBlocks();
    sim.QueueServerBlock(ServerProxy::EncodeDeleteDevice(kDevice));
    sim.WaitForSentBlocks(before + kEvents + 1, kWait);
    sim.Shutdown();
    const std::vector<enginesim::CallTime> calls = sim.CallTimes();
    TovSim_Reset();

    std::printf("\n  poll every %u ms (burst written in %s ms):\n  ", intervalMs, Fixed(burstEnd - burstStart, 1).c_str());
    double previous = 0, first = 0, last = 0;
    for (size_t i = before; i < sent.size() && i < before + kEvents; ++i) {
        const double at = sent[i].ms - burstStart;
        if (i == before) first = at;
        last = at;
        std::printf("%s%6s", (i - before) % 10 == 0 && i != before ? "\n  " : "", Fixed(at, 0).c_str());
        previous = at;
    }
    (void)previous;
    const size_t got = sent.size() > before ? std::min<size_t>(sent.size() - before, kEvents) : 0;
    std::printf("\n  first after %s ms, last after %s ms, mean gap %s ms%s\n", Fixed(first, 0).c_str(),
                Fixed(last, 0).c_str(), got > 1 ? Fixed((last - first) / static_cast<double>(got - 1), 1).c_str() : "-",
                complete ? "" : " (INCOMPLETE)");
    PrintCallTimes(calls);
    return complete;
}

}  // namespace

int DeliveryTimeline(const Settings&) {
    std::printf("delivery timeline: %d button events written at once; ms after the first report when each block left\n",
                kEvents);
    bool ok = true;
    for (uint32_t interval : {10u, 60u, 100u}) ok = Run(interval) && ok;
    ok = StopTimes() && ok;
    ok = SessionCheckCost() && ok;
    return ok ? 0 : 1;
}

}  // namespace bench
