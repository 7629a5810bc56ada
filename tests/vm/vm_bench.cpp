// vm_bench: figures of the shipping Linux driver on the kernel's HID stack, run in the VM
// (scripts/test-steps/vm.sh prints them; no figure passes or fails, but a bench that cannot set up
// its devices or gets no sample exits non-zero).
//   1. Report to queue: a uhid input report until its ButtonEvent is in the simulator's record
//      (the WD's QueueVirtualWrite), against its floor in the same run: a uhid write until a plain
//      reader thread of another device's hidraw node has it. The engine thread polls the driver
//      back to back while it waits, and each round starts 60 ms after the last send, so the
//      channel's pacing never holds the event: the figure is the report's way into the send queue
//      plus at most one poll. Every report toggles button 3 of a SpeechMike III (byte 9 bit 0x01,
//      alternately pressed and released), so each one is a change and yields one ButtonEvent.
//   2. VdPoll with 8 connected devices (4 SpeechMike III, 4 foot switches) pressing and releasing
//      a button every 25 ms and a ninth device (SpeechMike Air) plugged or unplugged every 100 ms,
//      polls every 10 ms for 5 s, as `bench hotplug` does natively: median, p99 and max of the time
//      each poll held the engine thread.
// The driver runs as the session user (SessionUser.h).
// Threads: the main thread drives everything; the engine thread (the simulator's) runs every driver
// call; the floor reader thread only reads its node and stores the time into `floorAt` (atomic).
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
#include "SessionUser.h"
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

// The device's node, once the session user may open it (every device of the bench is supported).
std::string Node(UhidDevice& d) {
    const std::string node = d.WaitForNode(seconds(10));
    return !node.empty() && vmtest::WaitUntilUsable(node, seconds(20)) ? node : "";
}

constexpr int kRounds = 100;
constexpr double kRoundLimitMs = 2000;  // a report whose event has not come by then is a miss

// Waits until the driver's send queue is empty (a poll answers 21) and the last send is more than
// 60 ms old, so that the next block leaves at the first poll that finds it. Polling is off.
bool Quiet(enginesim::EngineSimulator& sim) {
    const double deadline = sim.NowMs() + 10000;
    while (sim.PollOnce() != 21) {
        if (sim.NowMs() > deadline) return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
    const std::vector<enginesim::SentBlock> sent = sim.SentBlocks();
    const double lastSend = sent.empty() ? 0 : sent.back().ms;
    while (sim.NowMs() < lastSend + 61) std::this_thread::sleep_for(milliseconds(1));
    return true;
}

// CreateDevice, InitDevice with the listed descriptor of `node`, ConnectDevice; false when the node
// is not listed or a reply does not come.
bool Connect(enginesim::EngineSimulator& sim, ObjectHandle manager, ObjectHandle handle, const std::string& node) {
    ServerProxy::ChannelMessage listing;
    if (!Command(sim, ServerProxy::EncodeGetConnectedDevices(manager), &listing)) return false;
    for (const USBButtonDeviceDescriptor& d : listing.devices) {
        if (d.hidInfo.devicePath != node) continue;
        return Command(sim, ServerProxy::EncodeCreateDevice(handle)) &&
               Command(sim, ServerProxy::EncodeInitDevice(handle, d)) &&
               Command(sim, ServerProxy::EncodeConnectDevice(handle, true));
    }
    std::fprintf(stderr, "vm_bench: %s is not listed\n", node.c_str());
    return false;
}

// How many descriptors of this process are open on `node` (the driver opens it on ConnectDevice).
int OpenOn(const std::string& node) {
    int n = 0;
    for (int fd = 0; fd < 1024; ++fd) {
        char link[256];
        const ssize_t len = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof(link) - 1);
        if (len > 0 && std::string(link, static_cast<size_t>(len)) == node) ++n;
    }
    return n;
}

bool WaitOpened(const std::string& node) {
    const auto end = steady_clock::now() + seconds(10);
    while (OpenOn(node) == 0) {
        if (steady_clock::now() > end) return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
}

void Row(const char* what, const Stats& s, size_t count) {
    std::printf("  %-34s %8.0f %8.0f %8.0f   (%zu samples)\n", what, s.median, s.p99, s.max, count);
}

int ReportToQueue(enginesim::EngineSimulator& sim, ObjectHandle manager) {
    const ObjectHandle handle = 0x3000;
    UhidDevice timed(*FindUhidModel("SpeechMikeIII"), 0);
    UhidDevice plain(*FindUhidModel("SpeechMikeIII"), 0);
    const std::string node = Node(timed), floorNode = Node(plain);
    if (node.empty() || floorNode.empty() || !Connect(sim, manager, handle, node) || !WaitOpened(node)) {
        std::fprintf(stderr, "vm_bench: the timed device could not be connected\n");
        return 1;
    }
    // The floor's reader: a thread of our own on the other device's node, which the driver leaves
    // alone (that device is never connected).
    const int fd = ::open(floorNode.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "vm_bench: cannot open %s\n", floorNode.c_str());
        return 1;
    }
    std::atomic<double> floorAt{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        uint8_t buf[64];
        while (!stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) == 1 && ::read(fd, buf, sizeof buf) > 0) floorAt = sim.NowMs();
        }
    });

    sim.StopPolling();  // the rounds poll themselves
    std::vector<double> toQueue, toReader;
    int misses = 0, wrong = 0;
    for (int i = 0; i < kRounds; ++i) {
        const bool press = i % 2 == 0;
        const std::vector<uint8_t> report = {0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, static_cast<uint8_t>(press ? 0x01 : 0x00)};
        // The floor: the same write, to the plain reader.
        floorAt = 0;
        const double floorStart = sim.NowMs();
        plain.SendReport(report);
        while (floorAt == 0 && sim.NowMs() - floorStart < kRoundLimitMs) std::this_thread::yield();
        if (floorAt != 0) toReader.push_back((floorAt - floorStart) * 1000);

        // The driver: polled back to back on the engine thread until a block is recorded.
        if (!Quiet(sim)) {
            std::fprintf(stderr, "vm_bench: the send queue does not empty\n");
            break;
        }
        size_t before = 0;
        double start = 0;
        sim.RunOnEngine([&] {
            before = sim.Wd().SentBlockCount();
            start = sim.NowMs();
            timed.SendReport(report);
            while (sim.Wd().SentBlockCount() == before && sim.NowMs() - start < kRoundLimitMs) sim.PollOnce();
        });
        const std::vector<enginesim::SentBlock> sent = sim.SentBlocks();
        if (sent.size() <= before) {
            ++misses;
            continue;
        }
        // ButtonEvent (21), this device, button 3, pressed 1 or 0.
        const std::vector<uint8_t> expected = {21, 0, 0, 0, 0x00, 0x30, 0, 0, 3, 0, 0, 0, static_cast<uint8_t>(press), 0, 0, 0};
        if (sent[before].data != expected) {
            ++wrong;
            continue;
        }
        toQueue.push_back((sent[before].ms - start) * 1000);
    }
    stop = true;
    reader.join();
    ::close(fd);
    sim.StartPolling();
    Command(sim, ServerProxy::EncodeConnectDevice(handle, false));
    Command(sim, ServerProxy::EncodeDeleteDevice(handle));

    const Stats queue = Summarize(toQueue), floor = Summarize(toReader);
    std::printf("report to queue: %d reports, microseconds (%d without an event, %d with another first block)\n",
                kRounds, misses, wrong);
    std::printf("  %-34s %8s %8s %8s\n", "", "median", "p99", "max");
    Row("floor: uhid write to hidraw reader", floor, toReader.size());
    Row("driver: report to queue", queue, toQueue.size());
    if (floor.median > 0 && floor.p99 > 0)
        std::printf("  ratio median %.2fx, p99 %.2fx (target: median under 1.5x)\n", queue.median / floor.median,
                    queue.p99 / floor.p99);
    return toQueue.empty() || toReader.empty() ? 1 : 0;
}

int HotPlugPolls(enginesim::EngineSimulator& sim, ObjectHandle manager) {
    struct Connected {
        std::unique_ptr<UhidDevice> device;
        std::vector<uint8_t> pressed, released;
    };
    std::vector<Connected> devices;
    for (int i = 0; i < 8; ++i) {
        Connected c;
        if (i % 2 == 0) {
            c.device = std::make_unique<UhidDevice>(*FindUhidModel("SpeechMikeIII"), 0);
            c.pressed = {0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x01};  // button 3 down
            c.released = {0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x00};
        } else {
            c.device = std::make_unique<UhidDevice>(*FindUhidModel("Footswitch"), 0);
            c.pressed = {0, 0x01};
            c.released = {0, 0x00};
        }
        devices.push_back(std::move(c));
    }
    ObjectHandle handle = 0x2000;
    for (Connected& c : devices) {
        const std::string node = Node(*c.device);
        if (node.empty() || !Connect(sim, manager, ++handle, node) || !WaitOpened(node)) {
            std::fprintf(stderr, "vm_bench: device %u could not be connected\n", static_cast<unsigned>(handle));
            return 1;
        }
    }
    sim.ClearCallTimes();
    int plugs = 0, reports = 0;
    bool down = false;
    std::unique_ptr<UhidDevice> extra;
    const auto end = steady_clock::now() + seconds(5);
    for (int step = 0; steady_clock::now() < end; ++step) {
        down = !down;
        for (Connected& c : devices) {
            c.device->SendReport(down ? c.pressed : c.released);
            ++reports;
        }
        if (step % 4 == 0) {
            if (extra) {
                extra.reset();
            } else {
                extra = std::make_unique<UhidDevice>(*FindUhidModel("SpeechMikeAir"), 0);
            }
            ++plugs;
        }
        std::this_thread::sleep_for(milliseconds(25));
    }
    std::vector<double> pollUs;
    for (const enginesim::CallTime& c : sim.CallTimes()) {
        if (c.entry == enginesim::EntryPoint::VdPoll) pollUs.push_back(c.durationUs);
    }
    const Stats polls = Summarize(pollUs);
    std::printf("VdPoll with 8 devices connected and hot-plug traffic (polls every 10 ms for 5 s: %d reports, "
                "%d plugs and unplugs)\n  %zu polls: median %.1f us, p99 %.1f us, max %.1f us\n",
                reports, plugs, pollUs.size(), polls.median, polls.p99, polls.max);
    return pollUs.empty() ? 1 : 0;
}

int Run(const char* driver) {
    enginesim::Options options;
    options.modulePath = driver;
    options.pollIntervalMs = 10;
    enginesim::EngineSimulator sim(options);
    if (!sim.Start()) {
        std::fprintf(stderr, "vm_bench: the driver did not start: %s\n", sim.LastError().c_str());
        return 1;
    }
    const ObjectHandle manager = 0x1000;
    if (!Command(sim, ServerProxy::EncodeCreateManager(manager))) return 1;
    std::FILE* load = std::fopen("/proc/loadavg", "r");
    char loadText[64] = "?";
    if (load) {
        if (!std::fgets(loadText, sizeof loadText, load)) loadText[0] = 0;
        std::fclose(load);
    }
    std::printf("vm_bench: %u CPUs, load average %s", std::thread::hardware_concurrency(), loadText);
    const int queue = ReportToQueue(sim, manager);
    const int polls = HotPlugPolls(sim, manager);
    sim.Shutdown();
    return queue | polls;
}

}  // namespace

int main(int argc, char** argv) {
    if (!vmtest::SessionUserFailure().empty()) {
        std::fprintf(stderr, "vm_bench: not run as the session user: %s\n", vmtest::SessionUserFailure().c_str());
        return 1;
    }
    return Run(argc > 1 ? argv[1] : "/tov/VDTOVUSB.DLL");
}
