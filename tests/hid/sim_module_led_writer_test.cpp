// LED reports are written on the device's own writer thread: a device that does not take a report
// (the bus holds the write inside the HID seam's write call, as a stalled control transfer holds a
// real one) never holds the engine thread, and SetLEDsReply follows the write that succeeded.
#include <chrono>
#include <cstdint>
#include <thread>
#include <string>
#include <vector>

#include "SimModuleSession.h"

namespace {

using namespace ServerProxy;

constexpr ObjectHandle kDevice = 0x2100;
constexpr ObjectHandle kOther = 0x2200;
// How many reports may wait behind the one being written (the documented bound).
constexpr int kMaxWaiting = 32;

// SpeechMike III (product 0x0C1C): SetLEDs([(0, value)]) writes 10 bytes, byte 1 = 0x02 and
// byte 7 = value << 6.
std::vector<uint8_t> LedReport(int value) {
    std::vector<uint8_t> report = {0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    report[7] = static_cast<uint8_t>(value << 6);
    return report;
}

std::vector<uint8_t> SetLEDsReply(ObjectHandle handle) {
    return {18, 0, 0, 0, static_cast<uint8_t>(handle), static_cast<uint8_t>(handle >> 8),
            static_cast<uint8_t>(handle >> 16), static_cast<uint8_t>(handle >> 24)};
}

class LedWriter : public SimModuleSession {
protected:
    // A SpeechMike III connected under kDevice; its bus id.
    int Connected() {
        const int id = bus.Plug("SpeechMikeIII");
        EXPECT_TRUE(Exchange(EncodeCreateDevice(kDevice)));
        EXPECT_TRUE(Exchange(EncodeInitDevice(kDevice, DescriptorOf("SpeechMikeIII", id))));
        EXPECT_TRUE(Exchange(EncodeConnectDevice(kDevice, true)));
        return id;
    }
    std::vector<std::vector<uint8_t>> OutputReports(int id) {
        std::vector<std::vector<uint8_t>> reports;
        for (;;) {
            std::vector<uint8_t> report(128, 0);
            const int length = bus.ReadOutputReport(id, report.data(), static_cast<int>(report.size()));
            if (length <= 0) return reports;
            report.resize(static_cast<size_t>(length));
            reports.push_back(report);
        }
    }
    // The blocks sent since index from.
    std::vector<std::vector<uint8_t>> SentFrom(size_t from) {
        std::vector<std::vector<uint8_t>> blocks;
        const auto sent = sim->SentBlocks();
        for (size_t i = from; i < sent.size(); ++i) blocks.push_back(sent[i].data);
        return blocks;
    }
    // Another command answered proves that the write hook returned and VdPoll kept sending.
    void ProveEngineFree() {
        ASSERT_TRUE(Exchange(EncodeCreateDevice(kOther)));
        ASSERT_TRUE(Exchange(EncodeDeleteDevice(kOther)));
    }
};

TEST_F(LedWriter, AHeldWriteHoldsNeitherTheEngineNorTheOrderAndItsReplyFollowsTheWrite) {
    const int id = Connected();
    ASSERT_EQ(bus.HoldWrites(id, 1), 1);
    // One report in the write, kMaxWaiting behind it, one more refused as a failed write is.
    const size_t before = sim->SentBlocks().size();
    sim->QueueServerBlock(EncodeSetLEDs(kDevice, {{0, 0}}));
    ASSERT_EQ(bus.WaitForHeldWrites(1, 20000), 1) << "the first report never reached the device";
    for (int i = 1; i < kMaxWaiting + 2; ++i) sim->QueueServerBlock(EncodeSetLEDs(kDevice, {{0, i % 4}}));
    repliesSeen = before;
    ProveEngineFree();
    ProveEngineFree();
    EXPECT_EQ(bus.HeldWriteCount(), 1) << "one write at a time";
    EXPECT_EQ(SentFrom(before).size(), 4u) << "only the four replies of the other commands; no SetLEDsReply yet";
    EXPECT_TRUE(OutputReports(id).empty());

    ASSERT_EQ(bus.HoldWrites(id, 0), 1);
    ASSERT_TRUE(sim->WaitForSentBlocks(before + 4 + kMaxWaiting + 1, std::chrono::seconds(20)));
    std::vector<std::vector<uint8_t>> expected;
    for (int i = 0; i < kMaxWaiting + 1; ++i) expected.push_back(LedReport(i % 4));
    EXPECT_EQ(OutputReports(id), expected) << "each report once, in command order; the last one refused";
    const auto sent = SentFrom(before + 4);
    EXPECT_EQ(sent, std::vector<std::vector<uint8_t>>(kMaxWaiting + 1, SetLEDsReply(kDevice)));

    // A write the device refuses is answered with nothing; the next one is written and answered.
    ASSERT_EQ(bus.FailNextOpen(id, TOVSIM_FAIL_WRITE), 1);
    sim->QueueServerBlock(EncodeSetLEDs(kDevice, {{0, 1}}));
    repliesSeen = sim->SentBlocks().size();
    ASSERT_TRUE(Exchange(EncodeSetLEDs(kDevice, {{0, 2}})));
    EXPECT_EQ(SentFrom(repliesSeen - 1), std::vector<std::vector<uint8_t>>{SetLEDsReply(kDevice)});
    EXPECT_EQ(OutputReports(id), std::vector<std::vector<uint8_t>>{LedReport(2)});
    ASSERT_TRUE(Exchange(EncodeDeleteDevice(kDevice)));
}

// The server deletes the device while a write is held: the delete is answered at once, the write
// still owns the device's handles and state, and once the device takes the report nothing more is
// sent for the deleted handle and the writer ends (AddressSanitizer watches the hand-over).
TEST_F(LedWriter, ADeviceDeletedDuringAHeldWriteAnswersTheDeleteAndNothingAfter) {
    const int id = Connected();
    ASSERT_EQ(bus.HoldWrites(id, 1), 1);
    const size_t before = sim->SentBlocks().size();
    sim->QueueServerBlock(EncodeSetLEDs(kDevice, {{0, 1}}));
    sim->QueueServerBlock(EncodeSetLEDs(kDevice, {{0, 2}}));
    ASSERT_EQ(bus.WaitForHeldWrites(1, 20000), 1);
    repliesSeen = before;
    ASSERT_TRUE(Exchange(EncodeDeleteDevice(kDevice)));
    EXPECT_GE(bus.OpenCount(id), 1) << "the held write keeps the device's handles";

    ASSERT_EQ(bus.HoldWrites(id, 0), 1);
    // The write ends, and the writer, the last user of the device, closes its handles as it ends.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (bus.OpenCount(id) > 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(bus.OpenCount(id), 0);
    EXPECT_EQ(OutputReports(id), std::vector<std::vector<uint8_t>>{LedReport(1)}) << "the waiting one was dropped";
    ProveEngineFree();
    const auto sent = SentFrom(before);
    ASSERT_GE(sent.size(), 1u);
    EXPECT_EQ(sent[0], (std::vector<uint8_t>{12, 0, 0, 0, 0x00, 0x21, 0, 0})) << "DeleteDeviceReply first";
    for (const auto& block : sent) EXPECT_NE(block[0], 18) << "no SetLEDsReply for a deleted device";
}

}  // namespace
