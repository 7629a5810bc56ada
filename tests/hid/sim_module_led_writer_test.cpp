// LED reports are written on the device's own writer thread: a device that does not take a report
// (the bus holds the write inside the HID seam's write call, as a stalled control transfer holds a
// real one) never holds the engine thread, and SetLEDsReply follows the write that succeeded.
#include <chrono>
#include <cstdint>
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

// The server deletes the device while a write is held: the delete is answered at once, the held
// write is cancelled (the bus sees the cancel and finds the report's bytes still in the writer's
// buffer as the write ends), the waiting report is dropped, and nothing is sent for the deleted handle.
TEST_F(LedWriter, ADeviceDeletedDuringAHeldWriteCancelsItAndAnswersNothingAfter) {
    const int id = Connected();
    ASSERT_EQ(bus.HoldWrites(id, 1), 1);
    const size_t before = sim->SentBlocks().size();
    sim->QueueServerBlock(EncodeSetLEDs(kDevice, {{0, 1}}));
    sim->QueueServerBlock(EncodeSetLEDs(kDevice, {{0, 2}}));
    ASSERT_EQ(bus.WaitForHeldWrites(1, 20000), 1);
    repliesSeen = before;
    ASSERT_TRUE(Exchange(EncodeDeleteDevice(kDevice)));
    EXPECT_EQ(bus.CancelledWriteCount(), 1) << "the stop cancelled the held write";
    std::vector<uint8_t> cancelled(64, 0);
    cancelled.resize(static_cast<size_t>(bus.LastCancelledWrite(cancelled.data(), 64)));
    EXPECT_EQ(cancelled, LedReport(1)) << "the writer's buffer outlived the cancelled write";
    EXPECT_EQ(bus.OpenCount(id), 0) << "the opening closed its handles once its writer ended";

    ASSERT_EQ(bus.HoldWrites(id, 0), 1);
    EXPECT_TRUE(OutputReports(id).empty()) << "neither report reached the device";
    ProveEngineFree();
    const auto sent = SentFrom(before);
    ASSERT_EQ(sent.size(), 3u) << "the delete's reply and the other commands' two, nothing else";
    EXPECT_EQ(sent[0], (std::vector<uint8_t>{12, 0, 0, 0, 0x00, 0x21, 0, 0})) << "DeleteDeviceReply first";
    for (const auto& block : sent) EXPECT_NE(block[0], 18) << "no SetLEDsReply for a deleted device";
}

// A connect right after LED writes that the device has not taken, and that a stop cannot cancel
// (as a hidraw write): each time the device opens anew at once, and the next press arrives.
TEST_F(LedWriter, AReconnectRightAfterAHeldWriteAlwaysDeliversTheNextPress) {
    const int id = Connected();
    ASSERT_EQ(bus.HoldWrites(id, 2), 1);
    for (int round = 0; round < 20; ++round) {
        sim->QueueServerBlock(EncodeSetLEDs(kDevice, {{0, round % 4}}));
        ASSERT_EQ(bus.WaitForHeldWrites(round + 1, 20000), 1) << "round " << round;
        ASSERT_TRUE(Exchange(EncodeConnectDevice(kDevice, true))) << "round " << round;
        // SpeechMike III: byte 1 bit 0x80 marks a button report, byte 9 bit 0x01 is button 3.
        const uint8_t pressed = round % 2 == 0 ? 0x01 : 0x00;
        const uint8_t report[10] = {0, 0x80, 0, 0, 0, 0, 0, 0, 0, pressed};
        // The old openings' read handles stay open while their writes are held, unread.
        ASSERT_GE(bus.SendInputReport(id, report, 10), 1) << "round " << round;
        ++repliesSeen;
        ASSERT_TRUE(sim->WaitForSentBlocks(repliesSeen, std::chrono::seconds(20))) << "round " << round;
        EXPECT_EQ(sim->SentBlocks()[repliesSeen - 1].data,
                  (std::vector<uint8_t>{21, 0, 0, 0, 0x00, 0x21, 0, 0, 3, 0, 0, 0, pressed, 0, 0, 0}))
            << "round " << round;
    }
    ASSERT_TRUE(Exchange(EncodeDeleteDevice(kDevice)));
    ASSERT_EQ(bus.HoldWrites(id, 0), 1);  // the old writes complete for a deleted device: nothing sent
}

}  // namespace
