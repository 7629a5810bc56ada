// Events from reader threads while the engine thread answers commands, assigns and deletes devices.
// Run under ThreadSanitizer (native-tsan) and AddressSanitizer to catch races and use after free.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "DeviceSupport.h"
#include "MessageEncoder.h"

using namespace dispatchtest;
using namespace ServerProxy;

namespace {

constexpr ObjectHandle kLeft = 0x00044000;
constexpr ObjectHandle kRight = 0x00055000;
constexpr ObjectHandle kDoomed = 0x00066000;
constexpr ObjectHandle kCopy = 0x00077000;
constexpr int kRounds = 12;

}  // namespace

TEST_F(DeviceTest, EventsOfTwoDevicesInterleaveWithRepliesInTheirOwnOrder) {
    const int left = Plug("SpeechMikeIII");
    const int right = Plug("SpeechMikeIII");
    OpenDevice(kLeft, DescriptorOf(left));
    OpenDevice(kRight, DescriptorOf(right));
    S().Mark();
    // The bus delivers reports from this thread while the engine thread handles LED commands for the
    // same device that reports.
    std::thread presser([&] {
        for (int round = 0; round < kRounds; ++round) {
            Buttons(left, 0x01);
            Buttons(right, 0x20);
            Buttons(left, 0x00);
            Buttons(right, 0x00);
        }
    });
    for (int round = 0; round < kRounds; ++round) {
        S().Deliver(EncodeSetLEDs(kRight, {{0, round & 1}}));
    }
    presser.join();
    std::vector<Bytes> sent = S().Sent(kRounds * 5);
    std::map<ObjectHandle, std::vector<Bytes>> byDevice;
    std::vector<Bytes> replies;
    for (const Bytes& block : sent) {
        ChannelMessage message = Decode(block);
        if (message.code == 21) {
            byDevice[message.handle].push_back(block);
        } else {
            replies.push_back(block);
        }
    }
    std::vector<Bytes> expectedLeft, expectedRight;
    for (int round = 0; round < kRounds; ++round) {
        expectedLeft.push_back(ButtonEvent(kLeft, 3, 1));
        expectedLeft.push_back(ButtonEvent(kLeft, 3, 0));
        expectedRight.push_back(ButtonEvent(kRight, 2, 1));
        expectedRight.push_back(ButtonEvent(kRight, 2, 0));
    }
    EXPECT_EQ(byDevice[kLeft], expectedLeft);
    EXPECT_EQ(byDevice[kRight], expectedRight);
    EXPECT_EQ(replies, std::vector<Bytes>(kRounds, Reply(MessageType::SetLEDsReply, kRight)));
    EXPECT_EQ(static_cast<int>(OutputReports(right).size()), kRounds);
}

// A device that reports without pause is assigned from and then deleted: its reader thread has ended
// by the time the delete is answered, so no event with its handle follows the reply.
TEST_F(DeviceTest, ADeviceDeletedWhileReportingSendsNothingAfterItsReply) {
    const int mike = Plug("SpeechMikeIII");
    const USBButtonDeviceDescriptor descriptor = DescriptorOf(mike);
    for (int round = 0; round < 3; ++round) {
        const ObjectHandle doomed = kDoomed + static_cast<ObjectHandle>(round);
        const ObjectHandle copy = kCopy + static_cast<ObjectHandle>(round);
        OpenDevice(doomed, descriptor);
        CreateDevice(copy);
        S().Mark();
        // Events of the device flow before the assign and the delete: the first one has been sent.
        Buttons(mike, 0x01);
        const Bytes firstEvent = ButtonEvent(doomed, 3, 1);
        std::vector<Bytes> before = S().Sent(1);
        ASSERT_EQ(before, std::vector<Bytes>{firstEvent}) << round;
        S().Mark();
        std::atomic<bool> stop{false};
        std::thread presser([&] {
            for (int i = 0; !stop.load(); ++i) {
                std::vector<uint8_t> report(10, 0);
                report[1] = 0x80;
                report[9] = (i & 1) ? 0x01 : 0x00;
                S().Bus().SendInputReport(mike, report.data(), static_cast<int>(report.size()));
                std::this_thread::yield();
            }
        });
        S().Deliver(EncodeAssignDevice(copy, doomed));
        S().Deliver(EncodeDeleteDevice(doomed));
        ForgetDevice(doomed);
        S().Deliver(EncodeDeleteDevice(copy));
        ForgetDevice(copy);
        stop = true;
        presser.join();
        std::vector<Bytes> sent = S().Sync();
        const Bytes deleted = Reply(MessageType::DeleteDeviceReply, doomed);
        const Bytes copyDeleted = Reply(MessageType::DeleteDeviceReply, copy);
        bool doomedGone = false, copyGone = false;
        size_t replies = 0;
        for (const Bytes& block : sent) {
            ChannelMessage message = Decode(block);
            if (message.code == 21) {
                EXPECT_FALSE(message.handle == doomed && doomedGone) << "an event after the device's delete";
                EXPECT_FALSE(message.handle == copy && copyGone) << "an event after the copy's delete";
                EXPECT_TRUE(message.handle == doomed || message.handle == copy);
            } else {
                ++replies;
            }
            if (block == deleted) doomedGone = true;
            if (block == copyDeleted) copyGone = true;
        }
        EXPECT_TRUE(doomedGone && copyGone) << round;
        EXPECT_EQ(replies, 3u) << round;
        EXPECT_EQ(S().Bus().ReaderCount(mike), 0) << round;
    }
}
