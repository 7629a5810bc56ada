// The channel client with a client of its own, linked into this program: the receive path, the
// send queue and its pacing, refused writes, exception containment and queueing from many threads.
// The simulated ICA Client drives it through the same table entries the ICA Client uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "CitrixClientData.h"
#include "CitrixClientOperations.h"
#include "DriverEntry.h"
#include "EngineSimulator.h"
#include "PacingCheck.h"
#include "RecordingClient.h"
#include "TraceLogReader.h"

using namespace channeltest;
using namespace testsupport;
using enginesim::EngineSimulator;

namespace {

// Both logs exist before the first line of the process, so tracing is on for the whole program.
const bool kLogsReady = (CreateFileIfMissing(kClientLog), CreateFileIfMissing(kServerLog), true);

std::vector<uint8_t> Block(size_t size, uint8_t seed) {
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

void Queue(const std::vector<uint8_t>& block) { SendMessageToServer(block.data(), static_cast<int>(block.size())); }

class ChannelClient : public ::testing::Test {
protected:
    void SetUp() override {
        (void)kLogsReady;
        TestClient().Reset();
        options.loadEntry = &Load;
        options.pollIntervalMs = 0;  // the tests poll themselves
    }

    void TearDown() override {
        if (sim) sim->Shutdown();
        CCitrixClientData& state = CCitrixClientData::Instance();
        while (state.Front()) state.Pop();
    }

    EngineSimulator& Started() {
        sim.reset(new EngineSimulator(options));
        EXPECT_TRUE(sim->Start()) << sim->LastError();
        return *sim;
    }

    enginesim::Options options;
    std::unique_ptr<EngineSimulator> sim;
};

}  // namespace

TEST(ChannelBinding, SecondClientIsRefusedWithIntOneAndTheFirstStaysBound) {
    struct Another : CCitrixClient {
        Another() : CCitrixClient("Other") {}
        int OnDataReceived(const uint8_t*, uint16_t) override { return 0; }
        void OnPoll() override {}
    };
    try {
        Another another;
        FAIL() << "a second client was bound";
    } catch (int value) {
        EXPECT_EQ(value, 1);
    }
    EXPECT_EQ(CCitrixClientData::Instance().client, &TestClient());
    EXPECT_EQ(CCitrixClientData::Instance().channelName, "TovUSB");
}

TEST_F(ChannelClient, EveryBlockReachesTheClientWholeInOrderWithoutACopy) {
    EngineSimulator& s = Started();
    // Several blocks between two polls, from one byte to the largest a write hook can carry.
    const std::vector<std::vector<uint8_t>> blocks = {Block(1, 1), Block(8, 2), Block(1999, 3), Block(0xFFFF, 4),
                                                      Block(2, 5)};
    for (const auto& b : blocks) ASSERT_TRUE(s.QueueServerBlock(b));
    s.WaitForDelivery();
    const auto received = TestClient().Received();
    const auto hooks = s.HookCalls();
    ASSERT_EQ(received.size(), blocks.size());
    ASSERT_EQ(hooks.size(), blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(received[i].data, blocks[i]) << "block " << i;
        EXPECT_EQ(received[i].buffer, hooks[i].buffer) << "block " << i << " was copied on the way";
    }
    EXPECT_EQ(TestClient().Polls(), 0);
}

TEST_F(ChannelClient, TheHookReturnsTheClientsResult) {
    EngineSimulator& s = Started();
    TestClient().ReturnFromReceive(17);
    s.QueueServerBlock({1, 2, 3});
    s.WaitForDelivery();
    ASSERT_EQ(s.HookCalls().size(), 1u);
    EXPECT_EQ(s.HookCalls()[0].rc, 17);
}

TEST_F(ChannelClient, ExceptionsFromTheClientAreTracedAndNeverReachTheHost) {
    EngineSimulator& s = Started();
    LogReader log(kClientLog);
    const struct {
        Throw kind;
        const char* line;
    } cases[] = {
        {Throw::String, "OnDataReceived threw std::string: no such object"},
        {Throw::Int, "OnDataReceived threw int: 42"},
        {Throw::StdException, "OnDataReceived threw std::exception: stream ended early"},
        {Throw::CString, "OnDataReceived threw const char*: plain text"},
        {Throw::Unknown, "OnDataReceived threw an exception of unknown type"},
    };
    TestClient().ReturnFromReceive(5);
    for (const auto& c : cases) {
        TestClient().ThrowOnReceive(c.kind);
        s.QueueServerBlock({9, 9});
        s.WaitForDelivery();
        EXPECT_EQ(s.HookCalls().back().rc, 0) << c.line;
    }
    // The engine goes on: the next block is delivered and answered normally.
    TestClient().ThrowOnReceive(Throw::Nothing);
    s.QueueServerBlock({1});
    s.WaitForDelivery();
    EXPECT_EQ(s.HookCalls().back().rc, 5);
    EXPECT_EQ(TestClient().Received().size(), 6u);

    const auto lines = log.Lines();
    for (const auto& c : cases) {
        const auto it = std::find_if(lines.begin(), lines.end(), [&](const TraceLine& l) { return l.message == c.line; });
        ASSERT_NE(it, lines.end()) << "missing: " << c.line;
        EXPECT_TRUE(it->error) << c.line;
        EXPECT_EQ(it->source, "CitrixClient");
    }
}

TEST_F(ChannelClient, AThrowingOnPollDoesNotStopTheSend) {
    EngineSimulator& s = Started();
    LogReader log(kClientLog);
    TestClient().ThrowOnPoll(true);
    Queue({4, 5, 6});
    ASSERT_TRUE(PollUntilSent(s, 1));
    EXPECT_EQ(s.Polls().back().rc, 0);
    EXPECT_EQ(s.SentBlocks()[0].data, (std::vector<uint8_t>{4, 5, 6}));
    EXPECT_EQ(log.Count("OnPoll threw std::string: poll failed"), static_cast<size_t>(TestClient().Polls()));
}

// Two blocks queued: the first poll that may send takes the first; every poll within the next
// 60 ms answers 0 at once without sending or tracing; the first poll after them sends the second.
TEST_F(ChannelClient, APollWithin60msOfASendWaitsWithoutSleepingAndTheNextOneSends) {
    EngineSimulator& s = Started();
    const auto first = Block(10, 1), second = Block(3000, 2);  // longer than a write: sent as queued
    Queue(first);
    Queue(second);
    ASSERT_TRUE(PollUntilSent(s, 1));
    const size_t pollsBeforeFirst = s.Polls().size() - 1;
    LogReader log(kClientLog);
    ASSERT_TRUE(PollUntilSent(s, 2));
    EXPECT_EQ(s.PollOnce(), 21);

    const auto sent = s.SentBlocks();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].data, first);
    EXPECT_EQ(sent[1].data, second);
    for (const auto& b : sent) {
        EXPECT_EQ(b.channel, options.wd.channelNumber);
        EXPECT_EQ(b.sectionCount, 1);
        EXPECT_EQ(b.flags, 0);
    }
    const auto polls = s.Polls();
    const std::vector<enginesim::PollRecord> run(polls.begin() + static_cast<long>(pollsBeforeFirst), polls.end());
    const PacingReport report = CheckPacing(run, sent, 2);
    EXPECT_TRUE(report.violations.empty()) << report.violations.front();
    EXPECT_EQ(report.sendingPolls, 2u);
    EXPECT_GT(report.waitingPolls, 0u);  // polls came within the 60 ms, and each answered 0
    EXPECT_LT(LongestCall(s.CallTimes(), enginesim::EntryPoint::VdPoll), kPollBoundUs);
    // The waiting polls wrote nothing; the only line after the first send is the second send's.
    EXPECT_EQ(log.Messages(), std::vector<std::string>{"LegacySendAvailableData: Successfully sent data to server"});
    EXPECT_EQ(static_cast<size_t>(TestClient().Polls()), polls.size());  // OnPoll at every poll, waiting or not
}

TEST_F(ChannelClient, AnEmptyQueueAnswers21AndStillCallsOnPoll) {
    EngineSimulator& s = Started();
    EXPECT_EQ(s.PollOnce(), 21);
    EXPECT_EQ(s.PollOnce(), 21);
    EXPECT_EQ(TestClient().Polls(), 2);
    EXPECT_TRUE(s.SentBlocks().empty());
}

TEST_F(ChannelClient, ARefusedWriteAnswers30LogsToTheServerLogAndKeepsTheBlock) {
    EngineSimulator& s = Started();
    LogReader serverLog(kServerLog), clientLog(kClientLog);
    const auto block = Block(5, 9);
    Queue(block);
    s.Wd().RefuseNextWrites(2);
    EXPECT_EQ(PollUntilTried(s), 30);
    EXPECT_EQ(s.PollOnce(), 30);  // a refusal does not restart the 60 ms: the retry is at once
    EXPECT_TRUE(s.SentBlocks().empty());
    EXPECT_EQ(s.PollOnce(), 0);
    ASSERT_EQ(s.SentBlocks().size(), 1u);
    EXPECT_EQ(s.SentBlocks()[0].data, block);
    EXPECT_EQ(s.Wd().RefusedWrites(), 2u);
    EXPECT_EQ(s.PollOnce(), 21);

    const auto failures = serverLog.Lines();
    ASSERT_EQ(failures.size(), 2u);
    for (const auto& l : failures) {
        EXPECT_TRUE(l.error);
        EXPECT_EQ(l.source, "CitrixClient");
        EXPECT_EQ(l.message, "LegacySendAvailableData: Failed to send data to server");
    }
    EXPECT_EQ(clientLog.Count("LegacySendAvailableData: Failed to send data to server"), 0u);
    EXPECT_EQ(clientLog.Count("LegacySendAvailableData: Successfully sent data to server"), 1u);
}

TEST_F(ChannelClient, RandomRefusalsNeitherLoseNorReorderBlocksAndKeepThePacing) {
    EngineSimulator& s = Started();
    std::vector<std::vector<uint8_t>> blocks;
    for (uint8_t i = 0; i < 5; ++i) {
        blocks.push_back(Block(1 + i, i));
        Queue(blocks.back());
    }
    s.Wd().RefuseWritesRandomly(0.5, 1234);
    ASSERT_TRUE(PollUntilSent(s, blocks.size()));
    const auto sent = s.SentBlocks();
    ASSERT_EQ(sent.size(), blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) EXPECT_EQ(sent[i].data, blocks[i]);
    EXPECT_GT(s.Wd().RefusedWrites(), 0u);
    const auto polls = s.Polls();
    for (const auto& p : polls) EXPECT_TRUE(p.rc == 0 || p.rc == 30) << p.rc;
    const PacingReport report = CheckPacing(polls, sent, blocks.size());
    EXPECT_TRUE(report.violations.empty()) << report.violations.front();
}

TEST_F(ChannelClient, BlocksQueuedFromManyThreadsAllArriveInEachThreadsOrder) {
    EngineSimulator& s = Started();
    constexpr int kThreads = 4, kPerThread = 25;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&go, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < kPerThread; ++i) {
                const uint8_t block[3] = {static_cast<uint8_t>(t), static_cast<uint8_t>(i), 0xEE};
                SendMessageToServer(block, 3);
            }
        });
    }
    go = true;
    // The engine thread sends while the others queue (the pacing lets two or three leave).
    for (int i = 0; i < 3; ++i) s.PollOnce();
    for (auto& th : threads) th.join();
    s.StopPolling();

    // What is still queued is read before the unload, which drops it.
    std::vector<std::vector<uint8_t>> all;
    for (const auto& b : s.SentBlocks()) all.push_back(b.data);
    CCitrixClientData& state = CCitrixClientData::Instance();
    while (const std::vector<uint8_t>* front = state.Front()) {
        all.push_back(*front);
        state.Pop();
    }
    s.Shutdown();
    ASSERT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));
    int next[kThreads] = {};
    for (const auto& b : all) {
        ASSERT_EQ(b.size(), 3u);
        ASSERT_LT(b[0], kThreads);
        EXPECT_EQ(b[1], next[b[0]]) << "thread " << int(b[0]);
        next[b[0]] = b[1] + 1;
    }
}

TEST_F(ChannelClient, EmptyOrMissingBlocksAreNotQueued) {
    Started();
    const uint8_t byte = 1;
    SendMessageToServer(&byte, 0);
    SendMessageToServer(&byte, -5);
    SendMessageToServer(nullptr, 4);
    EXPECT_EQ(CCitrixClientData::Instance().QueuedBlocks(), 0u);
}

TEST_F(ChannelClient, CloseKeepsTheQueueAndANewOpenSendsIt) {
    EngineSimulator& s = Started();
    Queue({7, 7, 7});
    EXPECT_EQ(s.Close(), 0);
    EXPECT_EQ(CCitrixClientData::Instance().QueuedBlocks(), 1u);
    EXPECT_EQ(s.Open(), 0);
    ASSERT_TRUE(PollUntilSent(s, 1));
    EXPECT_EQ(s.SentBlocks()[0].data, (std::vector<uint8_t>{7, 7, 7}));
}

TEST_F(ChannelClient, ARefusedOpenKeepsTheChannelOfThePreviousOpen) {
    options.wd.channelNumber = 5;
    options.wd.maxWriteSize = 1000;
    EngineSimulator& s = Started();
    EXPECT_EQ(CCitrixClientData::Instance().channelNumber, 5);
    s.Close();
    s.Wd().SetOpenRefusal(1099);
    EXPECT_EQ(s.Open(), 1099);
    s.Wd().SetOpenRefusal(0);
    s.Wd().SetHookRefusal(1098);
    s.Wd().SetMaxWriteSize(300);
    EXPECT_EQ(s.Open(), 1098);
    CCitrixClientData& state = CCitrixClientData::Instance();
    EXPECT_EQ(state.channelNumber, 5);  // the same channel was opened again before the hook failed
    EXPECT_EQ(state.maxDataSize, 999);
    EXPECT_NE(state.queueVirtualWrite, nullptr);
}

TEST_F(ChannelClient, AZeroMaximumWriteSizeIsNotWrappedAround) {
    options.wd.maxWriteSize = 0;
    Started();
    EXPECT_EQ(CCitrixClientData::Instance().maxDataSize, 0);
}
