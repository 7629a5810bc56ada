// With the timeline: how long the commands that stop devices hold the engine thread when a device
// does not let go. Eight hand-sets connected under one manager, one reader held inside its read (no
// stop reaches it, as a reader stuck in its report handler) and one LED write held by its device;
// then either every device deleted and the manager deleted, or the session unloaded with all eight.
// Only the stops' calls are counted (the set-up's are not).
#include <cstdio>
#include <vector>

#include "BenchSupport.h"
#include "EngineSimulator.h"
#include "Figures.h"
#include "MessageEncoder.h"
#include "TovSimBus.h"

namespace bench {

namespace {

constexpr ObjectHandle kManager = 0x00C00000;
constexpr ObjectHandle kFirstDevice = 0x00C10000;
constexpr int kDevices = 8;
constexpr int kRounds = 5;
constexpr auto kWait = std::chrono::seconds(30);

// One round; false when the session could not be set up. Appends the round's call times.
bool Round(bool unload, bool& readerHeld, std::vector<enginesim::CallTime>& calls) {
    TovSim_Reset();
    std::vector<int> ids;
    std::vector<USBButtonDeviceDescriptor> descriptors;
    for (int i = 0; i < kDevices; ++i) {
        ids.push_back(TovSim_Plug("SpeechMikeIII"));
        descriptors.push_back(LocalDriver::Get().DescriptorOf(ids.back()));  // before the engine runs
    }
    LocalDriver::Get().Drain();
    enginesim::EngineSimulator sim(LinkedEngineOptions(10));
    if (!sim.Start()) return false;
    size_t replies = 0;
    auto command = [&](const ServerProxy::Bytes& block) {
        sim.QueueServerBlock(block);
        return sim.WaitForSentBlocks(++replies, kWait);
    };
    bool ok = command(ServerProxy::EncodeCreateManager(kManager));
    for (int i = 0; i < kDevices && ok; ++i) {
        const ObjectHandle device = kFirstDevice + static_cast<ObjectHandle>(i);
        ok = command(ServerProxy::EncodeCreateDevice(device)) &&
             command(ServerProxy::EncodeInitDevice(device, descriptors[i])) &&
             command(ServerProxy::EncodeConnectDevice(device, true));
    }
    // The first device's reader stays in its read; the second device does not take its LED report.
    readerHeld = TovSim_HoldReads(ids[0], 1) == 1;
    const uint8_t press[10] = {0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x01};
    if (readerHeld) readerHeld = TovSim_SendInputReport(ids[0], press, 10) > 0 && TovSim_WaitForHeldReads(1, 30000);
    TovSim_HoldWrites(ids[1], 1);
    sim.QueueServerBlock(ServerProxy::EncodeSetLEDs(kFirstDevice + 1, {{0, 1}}));
    ok = ok && TovSim_WaitForHeldWrites(1, 30000) == 1;
    const size_t setupCalls = sim.CallTimes().size();
    if (!unload) {
        for (int i = 0; i < kDevices && ok; ++i) {
            ok = command(ServerProxy::EncodeDeleteDevice(kFirstDevice + static_cast<ObjectHandle>(i)));
        }
        ok = ok && command(ServerProxy::EncodeDeleteManager(kManager));
    }
    if (!ok) std::fprintf(stderr, "stops: round %s failed after %zu replies\n", unload ? "unload" : "delete", replies);
    sim.Shutdown();
    const std::vector<enginesim::CallTime> all = sim.CallTimes();
    calls.insert(calls.end(), all.begin() + static_cast<long>(setupCalls), all.end());
    TovSim_Reset();  // the held read and write end, failing
    return ok;
}

}  // namespace

bool StopTimes() {
    bool ok = true, readerHeld = false;
    for (bool unload : {false, true}) {
        std::vector<enginesim::CallTime> calls;
        for (int round = 0; round < kRounds; ++round) ok = Round(unload, readerHeld, calls) && ok;
        std::vector<enginesim::CallTime> stops;
        for (const enginesim::CallTime& call : calls) {
            const bool deletes = call.entry == enginesim::EntryPoint::WriteHook && (call.command == 11 || call.command == 3);
            if (deletes || call.entry == enginesim::EntryPoint::VdUnload) stops.push_back(call);
        }
        std::printf("\n  %s with %d hand-sets connected, %s and one LED write held (%d rounds):\n",
                    unload ? "VdUnload" : "every device deleted, then the manager,", kDevices,
                    readerHeld ? "one reader stuck" : "no reader stuck (this platform cannot hold one)", kRounds);
        PrintCallTimes(stops);
    }
    return ok;
}

}  // namespace bench
