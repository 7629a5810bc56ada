// Faults around the send path and the device lifetime: the WD refusing sends, a device unplugged
// with a button held, the channel and the device closed during a burst of reports, and a device
// deleted while its reader is delivering.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "MessageEncoder.h"
#include "SimUser.h"
#include "SoakSession.h"

using namespace soak;
using namespace ServerProxy;

namespace {

constexpr ObjectHandle kDevice = 0x00050000;
constexpr ObjectHandle kNobody = 0x00060000;
constexpr auto kLong = std::chrono::seconds(60);

const ModelSpec& Mike() { return SoakModels()[0]; }

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(S().B().Complete()) << "the module misses exports of the simulated bus";
        S().B().Reset();
        S().MessageBoxes();
        threadsBefore = Threads();
        handlesBefore = Handles();
    }
    void TearDown() override {
        if (!S().B().Complete()) return;  // SetUp has failed the test already
        S().Sim().Wd().AcceptAllWrites();
        S().B().Reset();
        S().MessageBoxes();
        EXPECT_TRUE(WaitUntil([&] { return Threads() <= threadsBefore; }, std::chrono::seconds(5)))
            << Threads() << " threads, " << threadsBefore << " before";
        EXPECT_TRUE(WaitUntil([&] { return Handles() <= handlesBefore; }, std::chrono::seconds(5)))
            << Handles() << " handles, " << handlesBefore << " before";
    }
    Session& S() { return Session::Get(); }

    // Plugs a SpeechMike III and connects the server's device to it; the bus id.
    int Connected(ObjectHandle handle) {
        const int id = S().B().Plug(Mike().key);
        EXPECT_NE(id, 0);
        const USBButtonDeviceDescriptor descriptor = S().Describe(id);
        EXPECT_TRUE(S().Command(EncodeCreateDevice(handle)));
        EXPECT_TRUE(S().Command(EncodeInitDevice(handle, descriptor)));
        EXPECT_TRUE(S().Command(EncodeConnectDevice(handle, true)));
        EXPECT_EQ(S().B().ReaderCount(id), 1);
        return id;
    }
    bool Press(int id, unsigned pressed) {
        const std::vector<uint8_t> report = ReportFor(Mike(), pressed);
        return S().B().SendInputReport(id, report.data(), static_cast<int>(report.size())) == 1;
    }
    std::vector<std::vector<uint8_t>> Delivered(int id) {
        std::vector<std::vector<uint8_t>> reports;
        const int count = S().B().DeliveredReportCount(id);
        for (int k = 0; k < count; ++k) {
            std::vector<uint8_t> report(256);
            report.resize(static_cast<size_t>(std::max(0, S().B().DeliveredReport(id, k, report.data(), 256))));
            reports.push_back(report);
        }
        return reports;
    }
    // Presses the buttons and waits until the driver has sent the first resulting event: proof that
    // events of the device flow before a test's "nothing after" step.
    void PressAndSeeTheEvent(int id, ObjectHandle handle, unsigned pressed) {
        const size_t from = S().SentCount();
        ASSERT_TRUE(Press(id, pressed));
        ASSERT_TRUE(WaitUntil([&] { return !EventsOf(S().SentFrom(from), handle).empty(); }, kLong));
    }
    // Sends a command that is always answered and waits for its reply: every block the driver had
    // queued before it has been sent by then.
    void Barrier() {
        static ObjectHandle next = kNobody + 0x1000;
        ASSERT_TRUE(S().Command(EncodeGetConnectedDevices(next++), kLong));
    }
    static std::vector<ButtonChange> EventsOf(const std::vector<ChannelMessage>& sent, ObjectHandle handle) {
        std::vector<ButtonChange> events;
        for (const ChannelMessage& m : sent) {
            if (m.code == 21 && m.handle == handle) events.push_back({m.button, m.pressed});
        }
        return events;
    }
    // Index of the first block with the code and handle, or -1.
    static int IndexOf(const std::vector<ChannelMessage>& sent, uint32_t code, ObjectHandle handle) {
        for (size_t i = 0; i < sent.size(); ++i) {
            if (sent[i].code == code && sent[i].handle == handle) return static_cast<int>(i);
        }
        return -1;
    }

    int threadsBefore = 0, handlesBefore = 0;
};

}  // namespace

// A third of the sends refused: the refused block is offered again, so replies and events still
// leave once each, the engine thread's replies in command order, the SetLEDs replies (queued by the
// device's writer once each report was written) in their own order, and events in report order.
TEST_F(Faults, RefusedSendsStillLeaveEveryBlockOnceInOrder) {
    const int id = Connected(kDevice);
    const size_t from = S().SentCount();
    S().Sim().Wd().RefuseWritesRandomly(1.0 / 3, 20240607);
    std::vector<std::pair<uint32_t, ObjectHandle>> expectedReplies;
    for (int i = 0; i < 30; ++i) {
        if (i % 3 == 0) {
            S().Send(EncodeSetLEDs(kDevice, {{i % 12, 1}}));
            expectedReplies.push_back({18, kDevice});
        } else {
            S().Send(EncodeGetConnectedDevices(kNobody + static_cast<ObjectHandle>(i)));
            expectedReplies.push_back({6, kNobody + static_cast<ObjectHandle>(i)});
        }
        if (i < 20) ASSERT_TRUE(Press(id, i % 2 == 0 ? 0x01 : 0x00));
    }
    ASSERT_TRUE(S().WaitForSent(from + 50, kLong));
    Barrier();  // its reply must be the 51st block: nothing was sent twice
    std::vector<ChannelMessage> sent = S().SentFrom(from);
    ASSERT_EQ(sent.size(), 51u);
    EXPECT_EQ(sent.back().code, 6u);
    sent.pop_back();
    std::vector<std::pair<uint32_t, ObjectHandle>> replies;
    for (const ChannelMessage& m : sent) {
        if (m.code != 21) replies.push_back({m.code, m.handle});
    }
    // Each kind in its own command order; together, every reply once.
    auto ofCode = [](const std::vector<std::pair<uint32_t, ObjectHandle>>& all, uint32_t code) {
        std::vector<std::pair<uint32_t, ObjectHandle>> some;
        for (const auto& reply : all) {
            if (reply.first == code) some.push_back(reply);
        }
        return some;
    };
    EXPECT_EQ(ofCode(replies, 6), ofCode(expectedReplies, 6));
    EXPECT_EQ(ofCode(replies, 18), ofCode(expectedReplies, 18));
    EXPECT_EQ(replies.size(), expectedReplies.size());
    EXPECT_EQ(CompareEvents(Mike(), 0, Delivered(id), EventsOf(sent, kDevice)), "");
    EXPECT_GE(S().Sim().Wd().RefusedWrites(), 5u);
    S().Sim().Wd().AcceptAllWrites();
    EXPECT_TRUE(S().Command(EncodeDeleteDevice(kDevice)));
}

// Unplugged with a button held: nothing breaks, no event is invented, and the device plugged in
// again and connected reports the release once.
TEST_F(Faults, UnplugWhilePressedThenReleaseAfterReplug) {
    int id = Connected(kDevice);
    const size_t from = S().SentCount();
    ASSERT_TRUE(Press(id, 0x01 | 0x04));
    ASSERT_TRUE(S().WaitForSent(from + 2, kLong));
    // The reader thread is the one the device added; once the thread count is back where the test
    // started, the reader has really ended (the bus's reader count drops at the unplug itself).
    ASSERT_GT(Threads(), threadsBefore);
    ASSERT_EQ(S().B().Unplug(id), 1);
    EXPECT_TRUE(WaitUntil([&] { return Threads() <= threadsBefore; }, std::chrono::seconds(10)))
        << Threads() << " threads, " << threadsBefore << " before";
    // A read broken by the unplug ends the reader quietly; at most the read error's box appears.
    const int boxCount = S().B().MessageBoxCount();
    const std::vector<std::string> boxes = S().MessageBoxes();
    EXPECT_EQ(static_cast<int>(boxes.size()), boxCount);
    EXPECT_LE(boxCount, 1);
    for (const std::string& box : boxes) EXPECT_EQ(box.find("Reading from USB"), 0u) << box;
    // Commands for the unplugged device still get their replies.
    EXPECT_TRUE(S().Command(EncodeConnectDevice(kDevice, false)));
    id = S().B().Plug(Mike().key);
    const USBButtonDeviceDescriptor descriptor = S().Describe(id);
    EXPECT_TRUE(S().Command(EncodeInitDevice(kDevice, descriptor)));
    EXPECT_TRUE(S().Command(EncodeConnectDevice(kDevice, true)));
    ASSERT_TRUE(Press(id, 0x04));  // button 3 released, 6 still held
    ASSERT_TRUE(Press(id, 0x00));
    WaitUntil([&] { return EventsOf(S().SentFrom(from), kDevice).size() >= 4; }, kLong);
    EXPECT_TRUE(S().Command(EncodeDeleteDevice(kDevice)));
    const std::vector<ButtonChange> events = EventsOf(S().SentFrom(from), kDevice);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(CompareEvents(Mike(), 0, {ReportFor(Mike(), 0x05), ReportFor(Mike(), 0x04), ReportFor(Mike(), 0)}, events), "");
}

// The channel closed and opened again while a burst is queued: every event leaves once, in order.
TEST_F(Faults, ChannelClosedDuringABurstLosesNothing) {
    const int id = Connected(kDevice);
    const size_t from = S().SentCount();
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(Press(id, i % 2 == 0 ? 0x02 : 0x00));
        if (i == 6) EXPECT_EQ(S().Sim().Close(), 0);
        if (i == 13) EXPECT_EQ(S().Sim().Open(), 0);
    }
    ASSERT_TRUE(S().WaitForSent(from + 20, kLong));
    EXPECT_TRUE(S().Command(EncodeDeleteDevice(kDevice)));
    const std::vector<ChannelMessage> sent = S().SentFrom(from);
    EXPECT_EQ(CompareEvents(Mike(), 0, Delivered(id), EventsOf(sent, kDevice)), "");
}

// The device disconnected by the server during a burst: the events of the reports it read come
// before the reply, none after it, and reports written after it reach no reader.
TEST_F(Faults, DeviceClosedDuringABurstSendsNothingAfterTheReply) {
    const int id = Connected(kDevice);
    const size_t from = S().SentCount();
    PressAndSeeTheEvent(id, kDevice, 0x08);
    // The burst goes on until the bus has offered five reports that no reader took any more.
    std::atomic<bool> stop{false};
    std::atomic<int> unread{0};
    std::thread presser([&] {
        for (int i = 1; !stop.load(); ++i) {
            const std::vector<uint8_t> report = ReportFor(Mike(), i % 2 == 0 ? 0x08 : 0x00);
            if (S().B().SendInputReport(id, report.data(), static_cast<int>(report.size())) == 0) ++unread;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));  // pacing only
        }
    });
    EXPECT_TRUE(S().Command(EncodeConnectDevice(kDevice, false), kLong));
    EXPECT_TRUE(WaitUntil([&] { return unread.load() >= 5; }, kLong));
    stop = true;
    presser.join();
    Barrier();  // an event made after the disconnect would have been sent before this reply
    EXPECT_TRUE(S().Command(EncodeDeleteDevice(kDevice), kLong));
    const std::vector<ChannelMessage> sent = S().SentFrom(from);
    const int reply = IndexOf(sent, 20, kDevice);
    ASSERT_GE(reply, 0);
    EXPECT_GE(IndexOf(sent, 21, kDevice), 0);
    EXPECT_LT(IndexOf(sent, 21, kDevice), reply);
    for (size_t i = static_cast<size_t>(reply); i < sent.size(); ++i) EXPECT_NE(sent[i].code, 21u) << "block " << i;
    // The bus delivers a report to the open handle, which keeps it until the reader takes it, so
    // reports delivered shortly before the close may never be read. The events are exactly those
    // of the reports read, in order: those of a prefix of the delivered reports that holds at least
    // the press seen above (CompareEvents also refuses events that no report explains).
    const std::vector<std::vector<uint8_t>> delivered = Delivered(id);
    const std::vector<ButtonChange> events = EventsOf(sent, kDevice);
    ASSERT_GT(events.size(), 0u);
    std::string difference = CompareEvents(Mike(), 0, delivered, events);
    for (size_t read = delivered.size(); !difference.empty() && read > 1; --read) {
        const std::vector<std::vector<uint8_t>> prefix(delivered.begin(), delivered.begin() + (read - 1));
        if (CompareEvents(Mike(), 0, prefix, events).empty()) difference.clear();
    }
    EXPECT_EQ(difference, "") << delivered.size() << " reports delivered, " << events.size() << " events";
}

// Deleted while its reader is delivering, several times over: no event after the delete's reply,
// and the reader is gone with the device.
TEST_F(Faults, DeviceDeletedWhileDeliveringSendsNothingAfterTheReply) {
    for (int round = 0; round < 4; ++round) {
        const ObjectHandle handle = kDevice + static_cast<ObjectHandle>(round);
        const int id = Connected(handle);
        const size_t from = S().SentCount();
        PressAndSeeTheEvent(id, handle, 0x10);
        // Then reports in quick succession, a bounded number (every event costs 60 ms on the
        // channel), with the delete arriving at a different point of the burst in each round.
        std::atomic<int> offered{0};
        std::thread presser([&] {
            for (int i = 1; i < 24; ++i) {
                const std::vector<uint8_t> report = ReportFor(Mike(), i % 2 == 0 ? 0x10 : 0x00);
                S().B().SendInputReport(id, report.data(), static_cast<int>(report.size()));
                ++offered;
                std::this_thread::sleep_for(std::chrono::microseconds(500));  // pacing only
            }
        });
        EXPECT_TRUE(WaitUntil([&] { return offered.load() >= 2 * round; }, kLong));
        EXPECT_TRUE(S().Command(EncodeDeleteDevice(handle), kLong));
        EXPECT_EQ(S().B().ReaderCount(id), 0);
        presser.join();
        Barrier();  // an event made after the delete would have been sent before this reply
        const std::vector<ChannelMessage> sent = S().SentFrom(from);
        const int reply = IndexOf(sent, 12, handle);
        ASSERT_GE(reply, 0);
        const int firstEvent = IndexOf(sent, 21, handle);
        EXPECT_GE(firstEvent, 0);
        EXPECT_LT(firstEvent, reply);
        for (size_t i = static_cast<size_t>(reply); i < sent.size(); ++i) {
            EXPECT_NE(sent[i].code, 21u) << "round " << round << ", block " << i;
        }
        S().B().Unplug(id);
    }
}
