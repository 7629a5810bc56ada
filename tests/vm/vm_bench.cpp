// vm_bench: figures of the shipping Linux driver on the kernel's HID stack, run in the VM
// (scripts/test-steps/vm.sh prints them; no figure passes or fails).
//   1. VdPoll with 8 connected devices sending reports and a ninth plugged and unplugged over and
//      over: median, p99 and max of the time each poll held the engine thread.
//   2. Report to send: a uhid input report until its ButtonEvent leaves the driver (polls every
//      1 ms, reports 100 ms apart so the 60 ms pacing never holds one), against its floor in the
//      same run: the same uhid write until a plain reader thread of the hidraw node has it.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "EngineSimulator.h"
#include "MessageEncoder.h"
#include "MessageDecoder.h"
#include "UhidDevice.h"

using namespace std::chrono;
using namespace uhidplayer;

namespace {

struct Stats {
    double median = 0, p99 = 0, max = 0;
};

Stats Summarize(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.median = v[v.size() / 2];
    s.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    s.max = v.back();
    return s;
}

double NowMs() { return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count(); }

bool WaitSent(enginesim::EngineSimulator& sim, size_t count) { return sim.WaitForSentBlocks(count, seconds(20)); }

// Sends the command and waits for its reply (code + 1, same handle), which it decodes into *reply.
bool Command(enginesim::EngineSimulator& sim, const std::vector<uint8_t>& block,
             ServerProxy::ChannelMessage* reply = nullptr) {
    const size_t before = sim.Wd().SentBlockCount();
    const uint32_t code = block[0] + 1u;
    sim.QueueServerBlock(block);
    for (size_t seen = before;; ++seen) {
        if (!WaitSent(sim, seen + 1)) return false;
        ServerProxy::ChannelMessage m;
        std::string error;
        if (ServerProxy::DecodeClientMessage(sim.SentBlocks()[seen].data, m, error) && m.code == code &&
            m.handle == static_cast<ObjectHandle>(block[4] | block[5] << 8 | block[6] << 16 | block[7] << 24)) {
            if (reply) *reply = m;
            return true;
        }
    }
}

std::string Node(UhidDevice& d) { return d.WaitForNode(seconds(10)); }

int Run(const char* driver) {
    enginesim::Options options;
    options.modulePath = driver;
    options.pollIntervalMs = 1;
    enginesim::EngineSimulator sim(options);
    if (!sim.Start()) {
        std::fprintf(stderr, "vm_bench: the driver did not start: %s\n", sim.LastError().c_str());
        return 1;
    }
    const ObjectHandle manager = 0x1000;
    if (!Command(sim, ServerProxy::EncodeCreateManager(manager))) return 1;

    // Eight connected devices.
    const char* keys[] = {"SpeechMikeIIPro", "SpeechMikeIII", "SpeechMikeProBarcode", "SpeechMikeAir",
                          "Footswitch", "FootswitchLFH0210", "FirestormGamepad", "SonicMicIIClassic"};
    std::vector<std::unique_ptr<UhidDevice>> devices;
    for (const char* key : keys) devices.push_back(std::make_unique<UhidDevice>(*FindUhidModel(key), 0));
    for (auto& d : devices) Node(*d);
    ServerProxy::ChannelMessage listing;
    if (!Command(sim, ServerProxy::EncodeGetConnectedDevices(manager), &listing) || listing.devices.size() != 8) {
        std::fprintf(stderr, "vm_bench: expected 8 listed devices, got %zu\n", listing.devices.size());
        return 1;
    }
    ObjectHandle handle = 0x2000;
    for (const USBButtonDeviceDescriptor& d : listing.devices) {
        ++handle;
        Command(sim, ServerProxy::EncodeCreateDevice(handle));
        Command(sim, ServerProxy::EncodeInitDevice(handle, d));
        Command(sim, ServerProxy::EncodeConnectDevice(handle, true));
    }

    // 1. Report to send against the floor.
    UhidDevice timed(*FindUhidModel("SpeechMikeIIPro"), 0);
    const std::string node = Node(timed);
    ServerProxy::ChannelMessage again;
    Command(sim, ServerProxy::EncodeGetConnectedDevices(manager), &again);
    const ObjectHandle timedHandle = 0x3000;
    for (const USBButtonDeviceDescriptor& d : again.devices) {
        if (d.hidInfo.devicePath != node) continue;
        Command(sim, ServerProxy::EncodeCreateDevice(timedHandle));
        Command(sim, ServerProxy::EncodeInitDevice(timedHandle, d));
        Command(sim, ServerProxy::EncodeConnectDevice(timedHandle, true));
    }
    // The floor's reader: a thread of our own on the same node.
    const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC);
    std::atomic<double> floorAt{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        uint8_t buf[64];
        while (!stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) == 1 && ::read(fd, buf, sizeof buf) > 0) floorAt = NowMs();
        }
    });
    std::vector<double> toSend, toReader;
    for (int i = 0; i < 100; ++i) {
        const size_t before = sim.Wd().SentBlockCount();
        floorAt = 0;
        const double start = NowMs();
        const double simStart = sim.NowMs();
        timed.SendReport({0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, static_cast<uint8_t>(i % 2 ? 0x00 : 0x20)});
        // The ButtonEvent of this device: the first block from `before` on with code 21 and its handle.
        double sentMs = 0;
        for (size_t seen = before; sentMs == 0 && sim.WaitForSentBlocks(seen + 1, seconds(5)); ++seen) {
            const std::vector<uint8_t>& b = sim.SentBlocks()[seen].data;
            if (b.size() == 16 && b[0] == 21 && b[4] == (timedHandle & 0xFF) && b[5] == (timedHandle >> 8))
                sentMs = sim.SentBlocks()[seen].ms;
        }
        if (sentMs == 0) continue;
        toSend.push_back((sentMs - simStart) * 1000);
        while (floorAt == 0 && NowMs() - start < 5000) std::this_thread::yield();
        toReader.push_back((floorAt - start) * 1000);
        std::this_thread::sleep_for(milliseconds(100));
    }
    stop = true;
    reader.join();
    ::close(fd);
    const Stats send = Summarize(toSend), floor = Summarize(toReader);
    std::printf("report to send (%zu reports), microseconds: median %.0f, p99 %.0f, max %.0f\n", toSend.size(),
                send.median, send.p99, send.max);
    std::printf("floor, uhid write to a hidraw reader thread:  median %.0f, p99 %.0f, max %.0f\n", floor.median,
                floor.p99, floor.max);
    if (floor.median > 0) std::printf("median ratio %.2f\n", send.median / floor.median);
    // 2. Polls under traffic: every device reports, a ninth device comes and goes.
    sim.ClearCallTimes();
    const auto end = steady_clock::now() + seconds(10);
    int plugs = 0, reports = 0;
    while (steady_clock::now() < end) {
        UhidDevice extra(*FindUhidModel("FootswitchLFH0210Old"), 0);
        Node(extra);
        ++plugs;
        for (int r = 0; r < 4; ++r) {
            for (auto& d : devices) {
                std::vector<uint8_t> report(d->Interface().inputLength, 0);
                report[0] = d->Interface().reportId;
                if (report.size() > 1) report[1] = static_cast<uint8_t>(0x80 | (r & 1));
                d->SendReport(report);
                ++reports;
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
    }
    std::vector<double> pollUs;
    for (const enginesim::CallTime& c : sim.CallTimes()) {
        if (c.entry == enginesim::EntryPoint::VdPoll) pollUs.push_back(c.durationUs);
    }
    const Stats polls = Summarize(pollUs);
    std::printf("VdPoll, 8 connected devices, %d reports, %d plug/unplug of a ninth, %zu polls:\n"
                "  median %.1f us, p99 %.1f us, max %.1f us\n",
                reports, plugs, pollUs.size(), polls.median, polls.p99, polls.max);

    sim.Shutdown();
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc > 1 ? argv[1] : "/tov/VDTOVUSB.DLL"); }
