// The soak: four simulated devices of different product groups pressed and released at random,
// unplugged and plugged again, while the server sends random commands (invalid ones among them) and
// the WD refuses some sends. Afterwards every device's button events must match the bus's own
// record of the reports it delivered, every command must have its one reply in order, and the
// process must hold what it held before. TOV_SOAK_SECONDS makes it run longer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>

#include "MessageEncoder.h"
#include "SimUser.h"
#include "SoakSession.h"

using namespace soak;
using namespace ServerProxy;

namespace {

constexpr ObjectHandle kManager = 0x00010000;
constexpr ObjectHandle kFirstDevice = 0x00020000;
constexpr ObjectHandle kScratch = 0x00030000;  // created and deleted at random
constexpr ObjectHandle kNobody = 0x00040000;   // never created
constexpr size_t kMostOutstanding = 6;          // blocks the test lets wait in the send queue

struct Device {
    const ModelSpec* model = nullptr;
    ObjectHandle handle = 0;
    int simId = 0;           // 0 while unplugged
    unsigned pressed = 0;    // what the test last reported
    // The bus's record of the reports delivered to the interfaces it was plugged as before; the bus
    // forgets an interface when it is unplugged, so its record is taken just before.
    std::vector<std::vector<uint8_t>> delivered;
};

void TakeDeliveredRecord(const Bus& bus, Device& device) {
    const int count = bus.DeliveredReportCount(device.simId);
    for (int k = 0; k < count; ++k) {
        std::vector<uint8_t> report(256);
        const int length = bus.DeliveredReport(device.simId, k, report.data(), static_cast<int>(report.size()));
        report.resize(static_cast<size_t>(std::max(length, 0)));
        device.delivered.push_back(report);
    }
}

class Soak : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(S().B().Complete()) << "the module misses exports of the simulated bus";
        S().B().Reset();
        S().MessageBoxes();
    }
    void TearDown() override {
        if (S().B().Complete()) S().B().Reset();
    }
    Session& S() { return Session::Get(); }

    // A command whose reply the test expects; remembered in order.
    void Answered(const Bytes& block, uint32_t replyCode, ObjectHandle handle) {
        S().Send(block);
        expectedReplies.push_back({replyCode, handle});
    }

    void Plug(Device& device) {
        device.simId = S().B().Plug(device.model->key);
        ASSERT_NE(device.simId, 0);
        // The descriptor the server would take from the DeviceConnected event or a device list.
        const USBButtonDeviceDescriptor descriptor = S().Describe(device.simId);
        expectedReplies.push_back({2, 0x0B0B0B0B});
        expectedReplies.push_back({6, 0x0B0B0B0B});
        expectedReplies.push_back({4, 0x0B0B0B0B});
        Answered(EncodeInitDevice(device.handle, descriptor), 16, device.handle);
        Answered(EncodeConnectDevice(device.handle, true), 20, device.handle);
        ASSERT_TRUE(S().Command(EncodeGetConnectedDevices(kNobody)));  // the connect has been handled
        expectedReplies.push_back({6, kNobody});
        ASSERT_EQ(S().B().ReaderCount(device.simId), 1) << device.model->key;
    }

    size_t ButtonEventsReceived(ObjectHandle handle) {
        size_t count = 0;
        for (const ChannelMessage& m : S().SentFrom(sentMark)) {
            if (m.code == 21 && m.handle == handle) ++count;
        }
        return count;
    }

    size_t Outstanding() {
        size_t received = 0;
        for (const ChannelMessage& m : S().SentFrom(sentMark)) {
            if (m.code != 7 && m.code != 8) ++received;
        }
        const size_t expected = expectedReplies.size() + expectedEvents;
        return expected > received ? expected - received : 0;
    }

    std::vector<std::pair<uint32_t, ObjectHandle>> expectedReplies;
    std::map<ObjectHandle, size_t> eventsOf;
    size_t expectedEvents = 0;
    size_t sentMark = 0;
};

unsigned Bits(unsigned value) {
    unsigned n = 0;
    for (; value; value &= value - 1) ++n;
    return n;
}

}  // namespace

TEST_F(Soak, RandomUseOfFourDevicesKeepsEveryEventAndEveryReplyInOrder) {
    const double seconds = SoakSeconds(12);
    const uint32_t seed = static_cast<uint32_t>(std::random_device()());
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::printf("[ soak ] %.0f s, seed %u\n", seconds, seed);

    const int threadsBefore = Threads();
    const int handlesBefore = Handles();
    const uint64_t logStart = S().LogPosition();
    sentMark = S().SentCount();
    S().Sim().Wd().RefuseWritesRandomly(0.1, seed);

    ASSERT_TRUE(S().Command(EncodeCreateManager(kManager)));
    expectedReplies.push_back({2, kManager});
    std::vector<Device> devices(SoakModels().size());
    for (size_t i = 0; i < devices.size(); ++i) {
        devices[i].model = &SoakModels()[i];
        devices[i].handle = kFirstDevice + static_cast<ObjectHandle>(i);
        Answered(EncodeCreateDevice(devices[i].handle), 10, devices[i].handle);
        Plug(devices[i]);
        ASSERT_FALSE(HasFatalFailure());
    }

    size_t reports = 0, unplugs = 0, commands = 0, invalid = 0;
    bool scratchExists = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        // The channel carries one block per 60 ms; the test waits rather than let the queue grow.
        if (Outstanding() > kMostOutstanding) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        Device& device = devices[random() % devices.size()];
        const unsigned action = random() % 100;
        if (action < 55) {
            // Press or release: any change of the device's buttons, one or several at once.
            if (!device.simId) continue;
            const unsigned all = (1u << device.model->buttons.size()) - 1;
            unsigned next = device.pressed ^ (1u << (random() % device.model->buttons.size()));
            if (random() % 4 == 0) next = random() & all;
            const std::vector<uint8_t> report = ReportFor(*device.model, next);
            ASSERT_EQ(S().B().SendInputReport(device.simId, report.data(), static_cast<int>(report.size())), 1);
            const unsigned changes = Bits(next ^ device.pressed);
            eventsOf[device.handle] += changes;
            expectedEvents += changes;
            device.pressed = next;
            ++reports;
        } else if (action < 60) {
            // Unplug (buttons may be held) and plug again. A report still in the pipe when a device
            // is pulled goes with it, as with real hardware: the test unplugs once its events are in.
            if (!device.simId) continue;
            ASSERT_TRUE(WaitUntil([&] { return ButtonEventsReceived(device.handle) >= eventsOf[device.handle]; },
                                  std::chrono::seconds(30)));
            // Commands already handed over are handled first: a SetLEDs for a device that is gone
            // fails (and gets no reply), which is the driver's answer to the server, not a loss.
            S().WaitForDelivery();
            TakeDeliveredRecord(S().B(), device);
            ASSERT_EQ(S().B().Unplug(device.simId), 1);
            device.simId = 0;
            ++unplugs;
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
            Plug(device);
            ASSERT_FALSE(HasFatalFailure());
        } else if (action < 90) {
            // A valid command of the server.
            ++commands;
            switch (random() % 6) {
                case 0: Answered(EncodeGetConnectedDevices(kManager), 6, kManager); break;
                // A SetLEDs is answered from the device's writer thread once the device has taken
                // the report: the reply is waited for, since the next command's reply (or an
                // unplug's failed write) would otherwise race it.
                case 1: Answered(EncodeSetLEDs(devices[0].handle, {{static_cast<int32_t>(random() % 12), 1}}), 18,
                                 devices[0].handle);
                        ASSERT_TRUE(WaitUntil([&] { return Outstanding() == 0; }, std::chrono::seconds(30)));
                        break;
                case 2: Answered(EncodeSetLEDs(devices[2].handle, {{11, 0}}), 18, devices[2].handle);
                        ASSERT_TRUE(WaitUntil([&] { return Outstanding() == 0; }, std::chrono::seconds(30)));
                        break;
                case 3:
                    if (scratchExists) Answered(EncodeDeleteDevice(kScratch), 12, kScratch);
                    else Answered(EncodeCreateDevice(kScratch), 10, kScratch);
                    scratchExists = !scratchExists;
                    break;
                case 4: Answered(EncodeCreateManager(kScratch + 1), 2, kScratch + 1);
                        Answered(EncodeDeleteManager(kScratch + 1), 4, kScratch + 1);
                        break;
                default: Answered(EncodeAssignDevice(kNobody, devices[1].handle), 14, kNobody); break;
            }
        } else {
            // Something the driver must refuse or answer without effect.
            ++invalid;
            switch (random() % 5) {
                case 0: {  // too short for a header
                    Bytes shortBlock(random() % 8, static_cast<uint8_t>(random()));
                    if (!shortBlock.empty()) S().Send(shortBlock);
                    break;
                }
                case 1: {  // a code the server never sends
                    const uint32_t codes[] = {0, 2, 7, 8, 21, 22, 0xFFFFFFFFu, 0x80000001u};
                    Bytes block = EncodeCreateManager(kNobody);
                    const uint32_t code = codes[random() % 8];
                    for (int k = 0; k < 4; ++k) block[k] = static_cast<uint8_t>(code >> (8 * k));
                    S().Send(block);
                    break;
                }
                case 2: Answered(EncodeDeleteDevice(kNobody), 12, kNobody); break;
                case 3: {  // a body cut short, for a handle nobody registered
                    Bytes block = EncodeInitDevice(kNobody, S().Describe(devices[0].simId ? devices[0].simId : 1));
                    expectedReplies.push_back({2, 0x0B0B0B0B});
                    expectedReplies.push_back({6, 0x0B0B0B0B});
                    expectedReplies.push_back({4, 0x0B0B0B0B});
                    block.resize(8 + random() % (block.size() - 8));
                    Answered(block, 16, kNobody);
                    break;
                }
                default: Answered(EncodeConnectDevice(kNobody, true), 20, kNobody); break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 25));
    }

    // Release whatever is held, delete everything, then wait for the last reply.
    for (Device& device : devices) {
        if (device.simId && device.pressed) {
            const std::vector<uint8_t> report = ReportFor(*device.model, 0);
            S().B().SendInputReport(device.simId, report.data(), static_cast<int>(report.size()));
            eventsOf[device.handle] += Bits(device.pressed);
            expectedEvents += Bits(device.pressed);
            device.pressed = 0;
        }
    }
    for (Device& device : devices) {
        ASSERT_TRUE(WaitUntil([&] { return ButtonEventsReceived(device.handle) >= eventsOf[device.handle]; },
                              std::chrono::seconds(60)))
            << device.model->key << ": " << ButtonEventsReceived(device.handle) << " of " << eventsOf[device.handle];
        Answered(EncodeDeleteDevice(device.handle), 12, device.handle);
    }
    if (scratchExists) Answered(EncodeDeleteDevice(kScratch), 12, kScratch);
    Answered(EncodeDeleteManager(kManager), 4, kManager);
    ASSERT_TRUE(WaitUntil([&] { return Outstanding() == 0; }, std::chrono::seconds(60)))
        << Outstanding() << " blocks missing of " << expectedReplies.size() << " replies and " << expectedEvents
        << " events";
    S().Sim().Wd().AcceptAllWrites();
    std::printf("[ soak ] %zu reports, %zu unplugs, %zu commands, %zu invalid, %zu blocks, %zu refused sends\n",
                reports, unplugs, commands, invalid, S().SentCount() - sentMark, S().Sim().Wd().RefusedWrites());

    // Every device's events against the bus's record of the reports it delivered to it.
    std::vector<ChannelMessage> sent = S().SentFrom(sentMark);
    for (Device& device : devices) {
        TakeDeliveredRecord(S().B(), device);
        const std::vector<std::vector<uint8_t>>& delivered = device.delivered;
        std::vector<ButtonChange> events;
        for (const ChannelMessage& m : sent) {
            if (m.code == 21 && m.handle == device.handle) events.push_back({m.button, m.pressed});
        }
        EXPECT_EQ(CompareEvents(*device.model, 0, delivered, events), "");
    }
    // Every expected reply exactly once, in the order of the commands; nothing else but events.
    std::vector<std::pair<uint32_t, ObjectHandle>> replies;
    for (const ChannelMessage& m : sent) {
        if (m.code != 7 && m.code != 8 && m.code != 21) replies.push_back({m.code, m.handle});
    }
    EXPECT_EQ(replies, expectedReplies);
    // Arrivals and removals go to the managers only.
    for (const ChannelMessage& m : sent) {
        if (m.code == 7 || m.code == 8) EXPECT_TRUE(m.handle == kManager || m.handle == kScratch + 1) << m.handle;
    }

    // The only error lines are those the invalid commands explain; the only boxes are the unplugs'.
    for (const TraceLine& line : S().TraceSince(logStart)) {
        if (!line.error) continue;
        const bool explained = line.message.find("Unknown message from server") == 0 ||
                               line.message.find("Received an invalid message") == 0 ||
                               line.message.find("Could not find") == 0;
        EXPECT_TRUE(explained) << line.source << ": " << line.message;
    }
    const std::vector<std::string> boxes = S().MessageBoxes();
    EXPECT_LE(boxes.size(), unplugs);
    for (const std::string& box : boxes) EXPECT_EQ(box.find("Reading from USB"), 0u) << box;

    S().B().Reset();
    EXPECT_TRUE(WaitUntil([&] { return Threads() <= threadsBefore; }, std::chrono::seconds(5)))
        << Threads() << " threads, " << threadsBefore << " before";
    EXPECT_TRUE(WaitUntil([&] { return Handles() <= handlesBefore; }, std::chrono::seconds(5)))
        << Handles() << " handles, " << handlesBefore << " before";
}
