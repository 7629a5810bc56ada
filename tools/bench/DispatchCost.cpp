// Figure 2: the cost of one message through OnDataReceived, per command, with 1, 10 and 100
// registered objects, and the heap allocations it makes; and how the cost grows with the bytes a
// message carries. Floor: reading the 8-byte header of the same buffers.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "BenchSupport.h"
#include "Figures.h"
#include "MessageEncoder.h"
#include "TovSimBus.h"

namespace bench {

namespace {

constexpr ObjectHandle kFirstObject = 0x00100000;
constexpr ObjectHandle kScratch = 0x00F00000;  // created and deleted by the create/delete rows
constexpr int kBatch = 500;                    // messages between two drains of the send queue

volatile uint32_t g_sink = 0;

// Nanoseconds per message of reading code and handle from each buffer, as the dispatcher's first step.
double HeaderFloor(const std::vector<Bytes>& buffers, int rounds) {
    const Clock::time_point start = Clock::now();
    uint32_t sum = 0;
    for (int r = 0; r < rounds; ++r) {
        const Bytes& buffer = buffers[static_cast<size_t>(r) % buffers.size()];
        uint32_t code = 0, handle = 0;
        std::memcpy(&code, buffer.data(), 4);
        std::memcpy(&handle, buffer.data() + 4, 4);
        sum += code ^ handle;
        g_sink = sum;
    }
    return NanosecondsBetween(start, Clock::now()) / rounds;
}

struct Cost {
    double ns = 0;
    double allocations = 0;
    double bytes = 0;
};

// Delivers the buffers in turn, `rounds` messages in all; the send queue is drained between batches,
// outside the time.
Cost Measure(const std::vector<Bytes>& buffers, int rounds) {
    LocalDriver& driver = LocalDriver::Get();
    driver.Drain();
    double ns = 0;
    AllocationCount allocations;
    for (int done = 0; done < rounds;) {
        const int batch = std::min(kBatch, rounds - done);
        StartCountingAllocations();
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < batch; ++i) driver.Deliver(buffers[static_cast<size_t>(done + i) % buffers.size()]);
        ns += NanosecondsBetween(start, Clock::now());
        const AllocationCount batchCount = StopCountingAllocations();
        allocations.calls += batchCount.calls;
        allocations.bytes += batchCount.bytes;
        driver.Drain();
        done += batch;
    }
    Cost cost;
    cost.ns = ns / rounds;
    cost.allocations = static_cast<double>(allocations.calls) / rounds;
    cost.bytes = static_cast<double>(allocations.bytes) / rounds;
    return cost;
}

void PrintRow(const std::string& what, size_t size, const Cost& cost, double floor) {
    std::printf("  %-30s %7zu %10s %8s %10s %10s\n", what.c_str(), size, Fixed(cost.ns, 0).c_str(),
                Fixed(cost.allocations, 1).c_str(), Fixed(cost.bytes, 0).c_str(), Ratio(cost.ns, floor).c_str());
}

// A descriptor of a foot switch (no LEDs): InitDevice stores it, SetLEDs then writes nothing.
USBButtonDeviceDescriptor FootSwitch(size_t nameLength) {
    USBButtonDeviceDescriptor d;
    d.name = std::string(nameLength, 'n');
    d.hidInfo.devicePath = "\\\\?\\hid#vid_0911&pid_091a#bench&1#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    d.hidInfo.usageType = static_cast<HIDUsageType>(4);
    d.hidInfo.vendorID = 0x0911;
    d.hidInfo.productID = 0x091A;
    d.hidInfo.versionNumber = 0x0100;
    d.hidInfo.productString = "Footswitch";
    d.hidInfo.inputReportByteLength = 2;
    return d;
}

void RegisteredObjects(int count) {
    LocalDriver& driver = LocalDriver::Get();
    for (int i = 0; i < count; ++i) driver.Command(ServerProxy::EncodeCreateDevice(kFirstObject + i));
}

void DeleteObjects(int count) {
    LocalDriver& driver = LocalDriver::Get();
    for (int i = 0; i < count; ++i) driver.Command(ServerProxy::EncodeDeleteDevice(kFirstObject + i));
    driver.Drain();
}

void Commands(int objects, int rounds) {
    LocalDriver& driver = LocalDriver::Get();
    RegisteredObjects(objects);
    // The last object registered is the one each lookup reaches last.
    const ObjectHandle target = kFirstObject + objects - 1;
    const ObjectHandle source = kFirstObject;
    const ObjectHandle manager = kFirstObject + 0x8000;
    driver.Command(ServerProxy::EncodeCreateManager(manager));
    driver.Command(ServerProxy::EncodeInitDevice(target, FootSwitch(16)));
    driver.Drain();

    struct Row {
        std::string name;
        std::vector<Bytes> buffers;
    };
    Bytes shortMessage = {0x01, 0x00, 0x00};
    Bytes unknown = ServerProxy::EncodeCreateManager(target);
    unknown[0] = 2;  // a reply code arriving at the client
    std::vector<Row> rows = {
        {"CreateDevice+DeleteDevice", {ServerProxy::EncodeCreateDevice(kScratch), ServerProxy::EncodeDeleteDevice(kScratch)}},
        {"CreateManager+DeleteManager",
         {ServerProxy::EncodeCreateManager(kScratch), ServerProxy::EncodeDeleteManager(kScratch)}},
        {"GetConnectedDevices (none)", {ServerProxy::EncodeGetConnectedDevices(manager)}},
        {"AssignDevice", {ServerProxy::EncodeAssignDevice(target, source)}},
        {"InitDevice", {ServerProxy::EncodeInitDevice(target, FootSwitch(16))}},
        {"SetLEDs (1 setting)", {ServerProxy::EncodeSetLEDs(target, {LEDSetting{0, 1}})}},
        {"ConnectDevice (flag 0)", {ServerProxy::EncodeConnectDevice(target, false)}},
        {"unknown code", {unknown}},
        {"short message (3 bytes)", {shortMessage}},
    };
    std::printf("\n  %d registered device%s (lookups reach the last one):\n", objects, objects == 1 ? "" : "s");
    std::printf("  %-30s %7s %10s %8s %10s %10s\n", "message", "bytes", "ns/msg", "allocs", "alloc B", "vs floor");
    for (const Row& row : rows) {
        const double floor = HeaderFloor(row.buffers, rounds);
        const Cost cost = Measure(row.buffers, rounds);
        size_t size = 0;
        for (const Bytes& b : row.buffers) size += b.size();
        PrintRow(row.name, size / row.buffers.size(), cost, floor);
    }
    std::printf("  %-30s %7s %10s\n", "floor: read the 8-byte header", "", Fixed(HeaderFloor(rows[2].buffers, rounds), 1).c_str());
    driver.Command(ServerProxy::EncodeDeleteManager(manager));
    DeleteObjects(objects);
}

// How the cost grows with the bytes of the body: LED lists and names of increasing length.
void Growth(int rounds) {
    LocalDriver& driver = LocalDriver::Get();
    RegisteredObjects(1);
    const ObjectHandle target = kFirstObject;
    driver.Command(ServerProxy::EncodeInitDevice(target, FootSwitch(16)));
    std::printf("\n  growth with the received bytes (1 registered device):\n");
    std::printf("  %-30s %7s %10s %8s %10s %10s\n", "message", "bytes", "ns/msg", "allocs", "alloc B", "ns/byte");
    auto row = [&](const std::string& name, const Bytes& message) {
        const int n = std::max(200, rounds / static_cast<int>(1 + message.size() / 256));
        const Cost cost = Measure({message}, n);
        std::printf("  %-30s %7zu %10s %8s %10s %10s\n", name.c_str(), message.size(), Fixed(cost.ns, 0).c_str(),
                    Fixed(cost.allocations, 1).c_str(), Fixed(cost.bytes, 0).c_str(),
                    Fixed(cost.ns / static_cast<double>(message.size()), 2).c_str());
    };
    for (int leds : {1, 100, 1000, 8000}) {
        row("SetLEDs, " + std::to_string(leds) + " settings",
            ServerProxy::EncodeSetLEDs(target, std::vector<LEDSetting>(static_cast<size_t>(leds), LEDSetting{0, 1})));
    }
    for (size_t length : {16u, 1000u, 10000u, 60000u}) {
        row("InitDevice, name of " + std::to_string(length), ServerProxy::EncodeInitDevice(target, FootSwitch(length)));
    }
    DeleteObjects(1);
}

}  // namespace

int DispatchCost(const Settings& settings) {
    TovSim_Reset();
    LocalDriver::Get().Drain();
    std::printf("dispatch cost: ns per message through OnDataReceived, heap allocations per message\n");
    for (int objects : {1, 10, 100}) Commands(objects, settings.dispatchRounds);
    Growth(settings.dispatchRounds);
    return 0;
}

}  // namespace bench
