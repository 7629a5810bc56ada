// Figure 7: how long VdPoll holds the engine thread while 8 devices are connected and report
// buttons and a ninth is plugged and unplugged again and again: the polls then carry the arrivals
// and removals (DeviceConnected, DeviceDisconnected) besides the queued button events. Natively
// on the simulated bus; the same figure on the real kernel is measured in the virtual machine.
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "EngineSimulator.h"
#include "Figures.h"
#include "MessageEncoder.h"
#include "TovSimBus.h"

namespace bench {

namespace {

constexpr ObjectHandle kManager = 0x00A00000;
constexpr ObjectHandle kFirstDevice = 0x00B00000;
constexpr int kDevices = 8;
constexpr auto kTraffic = std::chrono::seconds(5);
constexpr auto kStep = std::chrono::milliseconds(25);
constexpr auto kWait = std::chrono::seconds(30);

struct Connected {
    int simId;
    std::vector<uint8_t> pressed, released;
};

}  // namespace

int HotPlugPolls(const Settings&) {
    TovSim_Reset();
    std::vector<Connected> devices;
    std::vector<USBButtonDeviceDescriptor> descriptors;
    for (int i = 0; i < kDevices; ++i) {
        Connected device;
        if (i % 2 == 0) {
            device.simId = TovSim_Plug("SpeechMikeIII");
            device.pressed = {0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x01};  // button 3 down
            device.released = {0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x00};
        } else {
            device.simId = TovSim_Plug("Footswitch");
            device.pressed = {0, 0x01};
            device.released = {0, 0x00};
        }
        descriptors.push_back(LocalDriver::Get().DescriptorOf(device.simId));
        if (descriptors.back().hidInfo.devicePath.empty()) return 1;
        devices.push_back(device);
    }
    LocalDriver::Get().Drain();

    enginesim::EngineSimulator sim(LinkedEngineOptions(10));
    if (!sim.Start()) {
        std::fprintf(stderr, "hotplug: the engine did not start: %s\n", sim.LastError().c_str());
        return 1;
    }
    size_t replies = 0;
    sim.QueueServerBlock(ServerProxy::EncodeCreateManager(kManager));
    sim.QueueServerBlock(ServerProxy::EncodeGetConnectedDevices(kManager));
    replies += 2;
    for (int i = 0; i < kDevices; ++i) {
        const ObjectHandle handle = kFirstDevice + static_cast<ObjectHandle>(i);
        sim.QueueServerBlock(ServerProxy::EncodeCreateDevice(handle));
        sim.QueueServerBlock(ServerProxy::EncodeInitDevice(handle, descriptors[static_cast<size_t>(i)]));
        sim.QueueServerBlock(ServerProxy::EncodeConnectDevice(handle, true));
        replies += 3;
    }
    if (!sim.WaitForSentBlocks(replies, kWait)) {
        std::fprintf(stderr, "hotplug: the devices were not connected\n");
        return 1;
    }

    sim.ClearCallTimes();
    int plugs = 0, reports = 0, extra = 0;
    bool down = false;
    const auto end = Clock::now() + kTraffic;
    for (int step = 0; Clock::now() < end; ++step) {
        down = !down;
        for (const Connected& device : devices) {
            const std::vector<uint8_t>& report = down ? device.pressed : device.released;
            TovSim_SendInputReport(device.simId, report.data(), static_cast<int>(report.size()));
            ++reports;
        }
        if (step % 4 == 0) {
            if (extra) {
                TovSim_Unplug(extra);
                extra = 0;
            } else {
                extra = TovSim_Plug("SpeechMikeAir");
            }
            ++plugs;
        }
        std::this_thread::sleep_for(kStep);
    }
    const std::vector<enginesim::CallTime> calls = sim.CallTimes();
    if (extra) TovSim_Unplug(extra);
    sim.Shutdown();
    TovSim_Reset();

    std::vector<double> polls;
    for (const enginesim::CallTime& call : calls) {
        if (call.entry == enginesim::EntryPoint::VdPoll) polls.push_back(call.durationUs);
    }
    const Summary s = Summarize(polls);
    std::printf("VdPoll with %d devices connected and hot-plug traffic (polls every 10 ms for %d s: %d reports, "
                "%d plugs and unplugs)\n",
                kDevices, static_cast<int>(kTraffic.count()), reports, plugs);
    std::printf("  %zu polls: median %s us, p99 %s us, max %s us\n\n", s.count, Fixed(s.median, 1).c_str(),
                Fixed(s.p99, 1).c_str(), Fixed(s.max, 1).c_str());
    return s.count > 0 ? 0 : 1;
}

}  // namespace bench
