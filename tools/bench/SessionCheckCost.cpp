// Part of `bench timeline`: what the sessions' foreground check costs the engine thread. A connected
// hand-set, the ICA window (a child of a top-level window of this process, as the simulated WD
// answers it) in the foreground and owning the device: the check's own cost per poll
// (SessionSharingPoll alone, called on the engine thread), then the VdPoll calls of the same
// session. "Before" is the same driver with ButtonsGoTo=EverySession, which skips the check, as the
// driver did before it had one. Natively the check is the portable build's empty one.
#if defined(_WIN32)
#include <windows.h>
#endif

#include <algorithm>
#include <cstdio>
#include <thread>

#include "BenchSupport.h"
#include "EngineSimulator.h"
#include "Figures.h"
#include "MessageEncoder.h"
#include "SessionSharing.h"
#include "TovSimBus.h"

namespace bench {

namespace {

constexpr ObjectHandle kDevice = 0x00B10000;
constexpr int kPolls = 400;
constexpr int kDirectCalls = 2000;

struct Costs {
    Summary check, poll;
};

#if defined(_WIN32)
void SetButtonsGoTo(const char* value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tovaro\\TovUSB", 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (*value) {
        RegSetValueExA(key, "ButtonsGoTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), lstrlenA(value) + 1);
    } else {
        RegDeleteValueA(key, "ButtonsGoTo");
    }
    RegCloseKey(key);
}
#endif

bool Measure(Costs& costs) {
    TovSim_Reset();
    const int id = TovSim_Plug("SpeechMikeIII");
    const USBButtonDeviceDescriptor descriptor = LocalDriver::Get().DescriptorOf(id);
    LocalDriver::Get().Drain();
    enginesim::EngineSimulator sim(LinkedEngineOptions(10));
    if (!sim.Start()) return false;
#if defined(_WIN32)
    HWND top = nullptr, child = nullptr;
    sim.RunOnEngine([&] {
        top = CreateWindowExA(0, "STATIC", "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                              nullptr, nullptr);
        child = CreateWindowExA(0, "STATIC", "ica", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, top, nullptr, nullptr, nullptr);
        SetForegroundWindow(top);
    });
    sim.Wd().SetIcaWindow(child, 0);
#endif
    sim.QueueServerBlock(ServerProxy::EncodeCreateDevice(kDevice));
    sim.QueueServerBlock(ServerProxy::EncodeInitDevice(kDevice, descriptor));
    sim.QueueServerBlock(ServerProxy::EncodeConnectDevice(kDevice, true));
    if (!sim.WaitForSentBlocks(3, std::chrono::seconds(30))) return false;
    sim.ClearCallTimes();
    const size_t polls = sim.Polls().size();
    while (sim.Polls().size() < polls + kPolls) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    VD* const vd = static_cast<VD*>(sim.Link().pData);
    std::vector<double> check;
    sim.RunOnEngine([&] {
        for (int i = 0; i < kDirectCalls; ++i) {
            const Clock::time_point start = Clock::now();
            SessionSharingPoll(vd);
            check.push_back(NanosecondsBetween(start, Clock::now()));
        }
    });
    sim.QueueServerBlock(ServerProxy::EncodeDeleteDevice(kDevice));
    sim.WaitForSentBlocks(4, std::chrono::seconds(30));
    std::vector<double> poll;
    for (const enginesim::CallTime& call : sim.CallTimes()) {
        if (call.entry == enginesim::EntryPoint::VdPoll) poll.push_back(call.durationUs);
    }
    sim.Shutdown();
#if defined(_WIN32)
    DestroyWindow(top);
#endif
    TovSim_Reset();
    costs.check = Summarize(check);
    costs.poll = Summarize(poll);
    return true;
}

void Print(const char* label, const Costs& costs) {
    std::printf("  %-34s check median %7s ns, p99 %7s ns | VdPoll median %6s us, p99 %6s us (%zu polls)\n", label,
                Fixed(costs.check.median, 0).c_str(), Fixed(costs.check.p99, 0).c_str(),
                Fixed(costs.poll.median, 1).c_str(), Fixed(costs.poll.p99, 1).c_str(), costs.poll.count);
}

}  // namespace

bool SessionCheckCost() {
    std::printf("\nsessions' foreground check, one hand-set connected, polled every 10 ms:\n");
    Costs before, after;
#if defined(_WIN32)
    HKEY existing = nullptr;
    const bool keyExisted = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tovaro\\TovUSB", 0, KEY_READ | KEY_WOW64_32KEY,
                                          &existing) == ERROR_SUCCESS;
    if (keyExisted) RegCloseKey(existing);
    SetButtonsGoTo("EverySession");
    const bool beforeOk = Measure(before);
    SetButtonsGoTo("");
    const bool afterOk = Measure(after);
    if (!keyExisted) RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tovaro\\TovUSB", KEY_WOW64_32KEY, 0);
    if (beforeOk) Print("EverySession (no check: before)", before);
    if (afterOk) Print("LastActiveSession (window in front)", after);
    return beforeOk && afterOk;
#else
    const bool ok = Measure(after);
    if (ok) Print("portable build (no check)", after);
    return ok;
#endif
}

}  // namespace bench
