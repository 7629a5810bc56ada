// A button report on a connected SpeechMike III, from the simulated device to the ButtonEvent block
// in the send queue, with tracing off: the driver's threads make no heap allocation beyond the
// queue's own copy of the block, and format no trace text.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <new>
#include <thread>
#include <vector>

#include "CitrixClientData.h"
#include "CitrixUSBButtonDeviceManagerClient.h"
#include "FormatString.h"
#include "MessageDecoder.h"
#include "MessageEncoder.h"
#include "TovSimBus.h"
#include "TraceLogReader.h"

namespace {

// The counting allocator: while `counting` is on, every allocation made on a thread other than
// the test's own (the reader thread, in these tests) is counted, with the largest size.
std::atomic<bool> counting{false};
std::atomic<uint64_t> allocations{0};
std::atomic<size_t> largest{0};
thread_local bool testThread = false;

struct CountingWindow {
    CountingWindow() {
        testThread = true;
        allocations = 0;
        largest = 0;
        counting = true;
    }
    ~CountingWindow() { counting = false; }
};

}  // namespace

void* operator new(size_t size) {
    if (counting.load(std::memory_order_relaxed) && !testThread) {
        ++allocations;
        size_t seen = largest.load();
        while (size > seen && !largest.compare_exchange_weak(seen, size)) {
        }
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

const bool kLogMissing = (testsupport::RemoveFile(testsupport::kClientLog), true);
constexpr ObjectHandle kDevice = 0x00D1C7A7;
constexpr int kReports = 40;

CCitrixUSBButtonDeviceManagerClient& Dispatcher() {
    static CCitrixUSBButtonDeviceManagerClient dispatcher;
    return dispatcher;
}

std::vector<uint8_t> Command(const std::vector<uint8_t>& block) {
    Dispatcher().OnDataReceived(block.data(), static_cast<uint16_t>(block.size()));
    CCitrixClientData& queue = CCitrixClientData::Instance();
    std::vector<uint8_t> reply;
    if (const std::vector<uint8_t>* front = queue.Front()) reply = *front;
    queue.Pop();
    return reply;
}

// The listed descriptor of the simulated interface, as GetConnectedDevices gives it.
USBButtonDeviceDescriptor ListedDescriptor(int simId) {
    char path[512] = {0};
    TovSim_DevicePath(simId, path, sizeof path);
    constexpr ObjectHandle kManager = 0x0B0B0B0B;
    Command(ServerProxy::EncodeCreateManager(kManager));
    ServerProxy::ChannelMessage message;
    std::string error;
    const bool read = ServerProxy::DecodeClientMessage(Command(ServerProxy::EncodeGetConnectedDevices(kManager)),
                                                       message, error);
    Command(ServerProxy::EncodeDeleteManager(kManager));
    EXPECT_TRUE(read) << error;
    for (const USBButtonDeviceDescriptor& descriptor : message.devices) {
        if (descriptor.hidInfo.devicePath == path) return descriptor;
    }
    ADD_FAILURE() << "the SpeechMike III is not listed";
    return USBButtonDeviceDescriptor();
}

// Presses (even i) or releases (odd i) the code-3 button (byte 9, bit 0) and takes the one block
// the report queues, waiting for the queue to hold it.
std::vector<uint8_t> PressOrRelease(int simId, int i) {
    uint8_t report[10] = {0};
    report[1] = 0x80;  // a button report
    report[9] = (i % 2 == 0) ? 0x01 : 0x00;
    EXPECT_EQ(TovSim_SendInputReport(simId, report, sizeof report), 1);
    CCitrixClientData& queue = CCitrixClientData::Instance();
    // Bounded only so that a reader that never queues fails the test instead of hanging it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (queue.QueuedBlocks() == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "no block queued for report " << i;
            return {};
        }
        std::this_thread::yield();
    }
    std::vector<uint8_t> block(*queue.Front());
    queue.Pop();
    return block;
}

// ButtonEvent (21), the device's handle, button 3, the flag: little-endian 32-bit fields.
std::vector<uint8_t> ExpectedEvent(int flag) {
    return {0x15, 0, 0, 0, 0xA7, 0xC7, 0xD1, 0x00, 3, 0, 0, 0, static_cast<uint8_t>(flag), 0, 0, 0};
}

// Plugs a SpeechMike III and connects the device to it with the listed descriptor; two reports warm
// the path up (the button map is loaded at the first event).
int ConnectSpeechMike() {
    TovSim_Reset();
    const int id = TovSim_Plug("SpeechMikeIII");
    const USBButtonDeviceDescriptor descriptor = ListedDescriptor(id);
    Command(ServerProxy::EncodeCreateDevice(kDevice));
    Command(ServerProxy::EncodeInitDevice(kDevice, descriptor));
    Command(ServerProxy::EncodeConnectDevice(kDevice, true));
    EXPECT_EQ(TovSim_ReaderCount(id), 1);
    EXPECT_EQ(PressOrRelease(id, 0), ExpectedEvent(1));
    EXPECT_EQ(PressOrRelease(id, 1), ExpectedEvent(0));
    return id;
}

}  // namespace

TEST(ReportPath, AReportAllocatesOnlyTheQueuedCopyAndFormatsNoTraceText) {
    (void)kLogMissing;
    ASSERT_FALSE(std::ifstream(testsupport::kClientLog)) << "tracing must be off: the log file exists";
    testThread = true;
    // What the queue itself allocates for one 16-byte block: a list entry and the block's bytes.
    uint64_t queueAllocations = 0;
    {
        const uint8_t block[16] = {0};
        Dispatcher();  // binds the channel client and creates the queue
        testThread = false;  // counted as a driver thread's would be
        counting = true;
        allocations = 0;
        CCitrixClientData::Instance().Push(block, sizeof block, CCitrixClientData::kCurrentLoad);
        counting = false;
        testThread = true;
        queueAllocations = allocations;
        CCitrixClientData::Instance().Pop();
    }
    ASSERT_GE(queueAllocations, 1u);
    ASSERT_LE(queueAllocations, 2u);

    const int id = ConnectSpeechMike();
    const uint64_t formattedBefore = FormattedTextCount();
    uint64_t counted = 0;
    {
        CountingWindow window;
        for (int i = 0; i < kReports; ++i) {
            ASSERT_EQ(PressOrRelease(id, i), ExpectedEvent(i % 2 == 0 ? 1 : 0)) << "report " << i;
        }
        counted = allocations;
    }
    EXPECT_EQ(counted, kReports * queueAllocations) << "allocations on the reader's path for " << kReports
                                                    << " reports, the queue's copy being " << queueAllocations;
    EXPECT_EQ(FormattedTextCount() - formattedBefore, 0u) << "texts formatted while the trace log is off";
    Command(ServerProxy::EncodeDeleteDevice(kDevice));
}

// The server names the input report length (up to 64 KB). A record whose length is not the
// device's own does not describe the device and is refused at the opening, so no reader ever sizes
// a buffer by it; with the device's own length, the new reader's largest allocation is far below
// what the server could have named.
TEST(ReportPath, TheReportBufferIsSizedByTheDevicesOwnLength) {
    testThread = true;
    TovSim_Reset();
    const int id = TovSim_Plug("SpeechMikeIII");
    const USBButtonDeviceDescriptor listed = ListedDescriptor(id);
    USBButtonDeviceDescriptor claimed = listed;
    claimed.hidInfo.inputReportByteLength = 0xFFFF;
    Command(ServerProxy::EncodeCreateDevice(kDevice));
    Command(ServerProxy::EncodeInitDevice(kDevice, claimed));
    Command(ServerProxy::EncodeConnectDevice(kDevice, true));
    EXPECT_EQ(TovSim_ReaderCount(id), 0) << "a record with the server's 65535-byte report was opened";
    Command(ServerProxy::EncodeDeleteDevice(kDevice));

    Command(ServerProxy::EncodeCreateDevice(kDevice));
    Command(ServerProxy::EncodeInitDevice(kDevice, listed));
    {
        CountingWindow window;
        Command(ServerProxy::EncodeConnectDevice(kDevice, true));
        ASSERT_EQ(TovSim_ReaderCount(id), 1);
        for (int i = 0; i < 4; ++i) ASSERT_EQ(PressOrRelease(id, i), ExpectedEvent(i % 2 == 0 ? 1 : 0));
        EXPECT_LT(largest.load(), 1000u) << "the largest allocation of the reader";
    }
    Command(ServerProxy::EncodeDeleteDevice(kDevice));
}
