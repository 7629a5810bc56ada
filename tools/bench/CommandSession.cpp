// Figure 6: a session of every command in the simulated ICA Client polling every 10 ms: how long each
// call held the engine thread, per entry point and per command code. Each round creates a manager,
// lists the devices, creates, assigns, initialises and connects devices, sets LEDs, and disconnects
// and deletes a device while its reports flow. Then the waits a command makes on the engine thread,
// one line each: opening a device with its reader, stopping a reader that is delivering reports or
// blocked in a read (disconnect and delete), and listing 50 interfaces.
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "EngineSimulator.h"
#include "Figures.h"
#include "MessageEncoder.h"
#include "TovSimBus.h"

namespace bench {

namespace {

constexpr ObjectHandle kManager = 0x00C00000;
constexpr ObjectHandle kHandset = 0x00C10000;
constexpr ObjectHandle kFootswitch = 0x00C20000;
constexpr int kRounds = 10;
constexpr int kListings = 5;
constexpr auto kQuiet = std::chrono::milliseconds(20);   // long enough for a reader to sit in its read
constexpr auto kFlowing = std::chrono::milliseconds(60);  // reports flowing before the command

// A hand-set's button 3 pressed and released every 2 ms on a thread of its own, as long as it lives.
class ReportFlow {
public:
    explicit ReportFlow(int simId)
        : thread([this, simId] {
              uint8_t report[10] = {0};
              report[1] = 0x80;
              for (int i = 0; !stop.load(); ++i) {
                  report[9] = (i % 2 == 0) ? 0x01 : 0x00;
                  TovSim_SendInputReport(simId, report, sizeof report);
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          }) {}
    ~ReportFlow() {
        stop.store(true);
        thread.join();
    }

private:
    std::atomic<bool> stop{false};
    std::thread thread;  // last: started once the flag exists
};

class Session {
public:
    explicit Session(enginesim::EngineSimulator& sim) : sim(sim) {}

    // Delivers one command and waits until the write hook returned; the hook's time in µs.
    double Command(const Bytes& block) {
        sim.QueueServerBlock(block);
        sim.WaitForDelivery();
        const std::vector<enginesim::CallTime> calls = sim.CallTimes();
        for (auto call = calls.rbegin(); call != calls.rend(); ++call) {
            if (call->entry == enginesim::EntryPoint::WriteHook) return call->durationUs;
        }
        return 0;
    }
    // The same, kept under `label` for the table of waits.
    void Wait(const char* label, const Bytes& block) { waits[label].push_back(Command(block)); }

    void PrintWaits() const {
        std::printf("    %-44s %7s %10s %10s %10s\n", "waits on the engine thread (us)", "calls", "median", "p99",
                    "max");
        for (const auto& wait : waits) {
            const Summary s = Summarize(wait.second);
            std::printf("    %-44s %7zu %10s %10s %10s\n", wait.first.c_str(), s.count, Fixed(s.median, 1).c_str(),
                        Fixed(s.p99, 1).c_str(), Fixed(s.max, 1).c_str());
        }
    }

private:
    enginesim::EngineSimulator& sim;
    std::map<std::string, std::vector<double>> waits;
};

void Round(Session& session, int handset, const USBButtonDeviceDescriptor& handsetDescriptor,
           const USBButtonDeviceDescriptor& footswitchDescriptor) {
    session.Command(ServerProxy::EncodeCreateManager(kManager));
    session.Command(ServerProxy::EncodeGetConnectedDevices(kManager));
    session.Command(ServerProxy::EncodeCreateDevice(kHandset));
    session.Command(ServerProxy::EncodeInitDevice(kHandset, handsetDescriptor));
    session.Command(ServerProxy::EncodeCreateDevice(kFootswitch));
    session.Command(ServerProxy::EncodeAssignDevice(kFootswitch, kHandset));
    session.Command(ServerProxy::EncodeInitDevice(kFootswitch, footswitchDescriptor));
    session.Command(ServerProxy::EncodeMessage(ServerProxy::ChannelMessage{}));  // code 0: unknown

    session.Wait("ConnectDevice 1: open, start the reader", ServerProxy::EncodeConnectDevice(kHandset, true));
    {
        ReportFlow flow(handset);
        std::this_thread::sleep_for(kFlowing);
        session.Command(ServerProxy::EncodeSetLEDs(kHandset, {LEDSetting{11, 1}}));
        session.Wait("ConnectDevice 0: reports flowing", ServerProxy::EncodeConnectDevice(kHandset, false));
    }
    session.Wait("ConnectDevice 1: open, start the reader", ServerProxy::EncodeConnectDevice(kHandset, true));
    std::this_thread::sleep_for(kQuiet);
    session.Wait("ConnectDevice 0: reader blocked in a read", ServerProxy::EncodeConnectDevice(kHandset, false));
    session.Wait("ConnectDevice 1: open, start the reader", ServerProxy::EncodeConnectDevice(kHandset, true));
    {
        ReportFlow flow(handset);
        std::this_thread::sleep_for(kFlowing);
        session.Wait("DeleteDevice: reports flowing", ServerProxy::EncodeDeleteDevice(kHandset));
    }
    session.Wait("ConnectDevice 1: open, start the reader", ServerProxy::EncodeConnectDevice(kFootswitch, true));
    std::this_thread::sleep_for(kQuiet);
    session.Wait("DeleteDevice: reader blocked in a read", ServerProxy::EncodeDeleteDevice(kFootswitch));
    session.Command(ServerProxy::EncodeDeleteManager(kManager));
}

}  // namespace

int CommandSession(const Settings&) {
    TovSim_Reset();
    const int handset = TovSim_Plug("SpeechMikeIII");
    const int footswitch = TovSim_Plug("Footswitch");
    const USBButtonDeviceDescriptor handsetDescriptor = LocalDriver::Get().DescriptorOf(handset);
    const USBButtonDeviceDescriptor footswitchDescriptor = LocalDriver::Get().DescriptorOf(footswitch);
    LocalDriver::Get().Drain();
    if (handsetDescriptor.hidInfo.devicePath.empty() || footswitchDescriptor.hidInfo.devicePath.empty()) return 1;

    enginesim::EngineSimulator sim(LinkedEngineOptions(10));
    if (!sim.Start()) {
        std::fprintf(stderr, "session: the engine did not start: %s\n", sim.LastError().c_str());
        return 1;
    }
    Session session(sim);
    for (int round = 0; round < kRounds; ++round) Round(session, handset, handsetDescriptor, footswitchDescriptor);

    // The longest listing the server can ask for: 50 interfaces, each probed.
    TovSim_Reset();
    for (int i = 0; i < 50; ++i) TovSim_PlugCustom(0x0911, 0x0C1C, 0x0300, 0xFFA0, 0x01, 10, 10);
    session.Command(ServerProxy::EncodeCreateManager(kManager));
    for (int i = 0; i < kListings; ++i) {
        session.Wait("GetConnectedDevices: 50 interfaces", ServerProxy::EncodeGetConnectedDevices(kManager));
    }
    session.Command(ServerProxy::EncodeDeleteManager(kManager));
    sim.Shutdown();
    TovSim_Reset();
    LocalDriver::Get().Drain();

    std::printf("command session: %d rounds of every command, polls every 10 ms, reports flowing while a device\n"
                "is disconnected and deleted; %zu blocks sent\n",
                kRounds, sim.SentBlocks().size());
    PrintCallTimes(sim.CallTimes());
    std::printf("\n");
    session.PrintWaits();
    return 0;
}

}  // namespace bench
