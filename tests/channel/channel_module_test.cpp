// The driver module as the ICA Client sees it: loaded by path into the simulated ICA Client and
// reached only through its export, its procedure table, the WD calls it makes and its trace log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <regex>
#include <thread>

#include "EngineSimulator.h"
#include "PacingCheck.h"
#include "TraceLogReader.h"

using namespace channeltest;
using namespace testsupport;
using enginesim::EngineSimulator;

namespace {

// The logs exist before the module's first line, so tracing is on for this whole program.
const bool kLogReady = (CreateFileIfMissing(kClientLog), CreateFileIfMissing(kServerLog), true);

// Two commands of the channel for the manager handle 0x1000, and their replies (code + 1, the same
// handle, no body): they make the module's client queue blocks of its own.
const std::vector<uint8_t> kCreateManager = {1, 0, 0, 0, 0x00, 0x10, 0, 0};
const std::vector<uint8_t> kCreateManagerReply = {2, 0, 0, 0, 0x00, 0x10, 0, 0};
const std::vector<uint8_t> kDeleteManager = {3, 0, 0, 0, 0x00, 0x10, 0, 0};
const std::vector<uint8_t> kDeleteManagerReply = {4, 0, 0, 0, 0x00, 0x10, 0, 0};
// Every line this program's module writes, from the start.
const LogReader& ProgramLog() {
    static const LogReader log(kClientLog);
    return log;
}
const bool kProgramLogStarted = (ProgramLog(), true);

class DriverModule : public ::testing::Test {
protected:
    void SetUp() override {
        (void)kLogReady;
        (void)kProgramLogStarted;
        options.modulePath = TOV_TEST_MODULE;
        options.pollIntervalMs = 0;
    }
    void TearDown() override {
        if (sim) sim->Shutdown();
    }
    EngineSimulator& Sim() {
        sim.reset(new EngineSimulator(options));
        return *sim;
    }
    EngineSimulator& Started() {
        EngineSimulator& s = Sim();
        EXPECT_TRUE(s.Start()) << s.LastError();
        return s;
    }
    enginesim::Options options;
    std::unique_ptr<EngineSimulator> sim;
};

std::vector<std::string> From(const std::vector<std::string>& all, const std::string& first) {
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] == first) return std::vector<std::string>(all.begin() + static_cast<long>(i), all.end());
    }
    return {};
}

uint16_t U16At(const std::vector<uint8_t>& b, size_t offset) {
    return static_cast<uint16_t>(b[offset] | b[offset + 1] << 8);
}

}  // namespace

TEST_F(DriverModule, LoadHandsBackTheEightEntriesInTableOrder) {
    EngineSimulator& s = Sim();
    ASSERT_TRUE(s.LoadDriver()) << s.LastError();
    EXPECT_EQ(s.LoadResult(), 0);
    const DLLLINK link = s.Link();
    EXPECT_EQ(link.ProcCount, 8);
    ASSERT_NE(link.pProcedures, nullptr);
    EXPECT_NE(link.pData, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(s.Entry(0)), s.ModuleExport("Load"));
    for (int i = 0; i < 8; ++i) {
        ASSERT_NE(s.Entry(i), nullptr) << i;
        for (int j = 0; j < i; ++j) EXPECT_NE(s.Entry(i), s.Entry(j)) << i << " " << j;
    }
    ASSERT_EQ(s.Open(), 0);

    // Each entry does its own job, recognisable by its answer and by the line it traces.
    LogReader log(kClientLog);
    DLLCLOSE close = {};
    uint16_t size = 0;
    EXPECT_EQ(s.CallEntry(3, &close, &size), 0);
    DLLINFO info = {};
    EXPECT_EQ(s.CallEntry(4, &info, &size), 1004);
    EXPECT_EQ(info.ByteCount, 50);
    DLLPOLL poll = {1};
    EXPECT_EQ(s.CallEntry(5, &poll, &size), 21);
    VDLASTERROR lastError;
    VDQUERYINFORMATION query = {0, &lastError, sizeof lastError, 0};
    EXPECT_EQ(s.CallEntry(6, &query, &size), 0);
    EXPECT_EQ(query.VdReturnLength, 292);
    VDSETINFORMATION set = {4, nullptr, 0};
    EXPECT_EQ(s.CallEntry(7, &set, &size), 0);
    const std::vector<std::string> expected = {
        "DriverClose entered",
        "DriverInfo entered",
        "DriverGetLastError entered",
        "DriverSetInformation entered",
        "pVdSetInformation->VdInformationClass = 4",
    };
    std::vector<std::string> seen;
    for (const auto& m : log.Messages()) {
        if (m.rfind("DriverPoll.", 0) != 0) seen.push_back(m);  // the first-poll line may come once
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(DriverModule, UnloadClearsTheLinkRecord) {
    EngineSimulator& s = Sim();
    ASSERT_TRUE(s.LoadDriver());
    EXPECT_EQ(s.Unload(), 0);
    const DLLLINK link = s.Link();
    EXPECT_EQ(link.ProcCount, 0);
    EXPECT_EQ(link.pProcedures, nullptr);
    EXPECT_EQ(link.pData, nullptr);
}

TEST_F(DriverModule, OpenFetchesTheEngineTablesOpensTovUSBAndRegistersTheHook) {
    EngineSimulator& s = Started();
    EXPECT_EQ(s.RequestedSubsystems(), enginesim::LibraryManager::SubsystemNames());
    EXPECT_EQ(s.Wd().OpenedChannelName(), "TovUSB");
    // Beside these two, a Windows driver asks for the session's window (class 81) at the open and
    // at the polls while it has none; the simulated WD knows none.
    std::vector<enginesim::WdCallRecord> calls;
    for (const auto& call : s.Wd().Calls()) {
        if (call.infoClass != ica::kWdClassIcaWindowInfo) calls.push_back(call);
    }
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].index, 6);
    EXPECT_EQ(calls[0].infoClass, 33);
    EXPECT_EQ(calls[0].infoLength, sizeof(OPENVIRTUALCHANNEL));
    EXPECT_EQ(calls[1].index, 7);
    EXPECT_EQ(calls[1].infoClass, 10);
    EXPECT_EQ(calls[1].infoLength, sizeof(VDWRITEHOOK));
    EXPECT_TRUE(s.Wd().HookRegistered());
    EXPECT_EQ(s.Wd().UnusedHookProcedureCalls(), 0u);
}

TEST_F(DriverModule, InitDataCarriesTheDriversFieldsAndLeavesTheRestAlone) {
    EngineSimulator& s = Sim();
    ASSERT_TRUE(s.LoadDriver());
    ASSERT_EQ(s.Open(), 0);

    // One byte short: the needed size comes back and the buffer is not touched.
    std::vector<uint8_t> shortBuffer(49, 0x5A);
    DLLINFO info = {shortBuffer.data(), 49};
    uint16_t size = 0;
    EXPECT_EQ(s.CallEntry(4, &info, &size), 1004);
    EXPECT_EQ(info.ByteCount, 50);
    EXPECT_EQ(size, sizeof(DLLINFO));
    EXPECT_EQ(shortBuffer, std::vector<uint8_t>(49, 0x5A));

    const enginesim::InitData init = s.RequestInitData();
    EXPECT_EQ(init.firstRc, 1004);
    EXPECT_EQ(init.firstByteCount, 50);
    EXPECT_EQ(init.secondRc, 0);
    EXPECT_EQ(init.secondByteCount, 50);
    EXPECT_EQ(init.sizeOut, sizeof(DLLINFO));
    const std::vector<uint8_t>& b = init.buffer;
    ASSERT_EQ(b.size(), 50u);
    EXPECT_EQ(U16At(b, 0), 50);
    EXPECT_EQ(b[3], 3);
    EXPECT_EQ(b[4], 1);
    EXPECT_EQ(b[5], 1);
    EXPECT_EQ(std::memcmp(&b[19], "ICA", 4), 0);
    EXPECT_EQ(b[40], 0);
    EXPECT_EQ(b[41], 0);
    EXPECT_EQ(U16At(b, 48), 1999);
    const size_t written[] = {0, 1, 3, 4, 5, 19, 20, 21, 22, 40, 41, 48, 49};
    for (size_t i = 0; i < b.size(); ++i) {
        if (std::find(std::begin(written), std::end(written), i) != std::end(written)) continue;
        EXPECT_EQ(b[i], options.initDataFill) << "byte " << i << " was overwritten";
    }

    // A larger buffer is fine; the count is always 50.
    std::vector<uint8_t> large(80, 0);
    DLLINFO big = {large.data(), 80};
    EXPECT_EQ(s.CallEntry(4, &big, &size), 0);
    EXPECT_EQ(big.ByteCount, 50);
}

TEST_F(DriverModule, TheMaximumDataSizeFollowsTheWD) {
    options.wd.maxWriteSize = 512;
    EngineSimulator& s = Started();
    const enginesim::InitData init = s.RequestInitData();
    ASSERT_EQ(init.buffer.size(), 50u);
    EXPECT_EQ(U16At(init.buffer, 48), 511);
}

TEST_F(DriverModule, LastErrorNeeds292Bytes) {
    EngineSimulator& s = Started();
    VDLASTERROR lastError;
    std::memset(&lastError, 0x33, sizeof lastError);
    VDQUERYINFORMATION query = {0, &lastError, 291, -7};
    uint16_t size = 0;
    EXPECT_EQ(s.CallEntry(6, &query, &size), 1004);
    EXPECT_EQ(query.VdReturnLength, -7);
    EXPECT_EQ(lastError.Error, 0x33333333);

    query.VdInformationLength = 292;
    EXPECT_EQ(s.CallEntry(6, &query, &size), 0);
    EXPECT_EQ(query.VdReturnLength, 292);
    EXPECT_EQ(lastError.Error, 0);
    EXPECT_EQ(lastError.Message[0], '\0');
}

TEST_F(DriverModule, OtherQueriesAndEverySetSucceedWithoutTouchingTheRecord) {
    EngineSimulator& s = Started();
    LogReader log(kClientLog);
    uint8_t data[4] = {1, 2, 3, 4};
    VDQUERYINFORMATION query = {12, data, 4, -3};
    uint16_t size = 0;
    EXPECT_EQ(s.CallEntry(6, &query, &size), 0);
    EXPECT_EQ(size, sizeof(VDQUERYINFORMATION));  // 16 on 32-bit Windows
    EXPECT_EQ(query.VdReturnLength, -3);
    EXPECT_EQ(query.VdInformationLength, 4);
    VDSETINFORMATION set = {99, data, 4};
    size = 77;
    EXPECT_EQ(s.CallEntry(7, &set, &size), 0);
    EXPECT_EQ(size, 77);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "DriverQueryInformation entered",
                                  "pVdQueryInformation->VdInformationClass = 12",
                                  "DriverSetInformation entered",
                                  "pVdSetInformation->VdInformationClass = 99",
                              }));
}

TEST_F(DriverModule, RefusalsOfTheWDComeBackAsItsCodes) {
    LogReader log(kClientLog);
    options.wd.openRefusal = 1099;
    {
        EngineSimulator& s = Sim();
        ASSERT_TRUE(s.LoadDriver());
        EXPECT_EQ(s.Open(), 1099);
        EXPECT_FALSE(s.Wd().HookRegistered());
        s.Wd().SetOpenRefusal(0);
        s.Wd().SetHookRefusal(1088);
        EXPECT_EQ(s.Open(), 1088);
        EXPECT_FALSE(s.Wd().HookRegistered());
        s.Wd().SetHookRefusal(0);
        s.Wd().SetNoProcedureTable(true);
        EXPECT_EQ(s.Open(), 1011);
        s.Wd().SetNoProcedureTable(false);
        EXPECT_EQ(s.Open(), 0);
    }
    const auto lines = log.Lines();
    auto find = [&](const std::string& message) -> const TraceLine* {
        for (const auto& l : lines) {
            if (l.message == message) return &l;
        }
        return nullptr;
    };
    const TraceLine* openFailed = find("Could not open virtual channel 'TovUSB'. rc = 1099.");
    ASSERT_NE(openFailed, nullptr);
    EXPECT_TRUE(openFailed->error);
    const TraceLine* hookFailed = find("Could not register write hook. rc 1088");
    ASSERT_NE(hookFailed, nullptr);
    EXPECT_TRUE(hookFailed->error);
    EXPECT_NE(find("Could not open virtual channel 'TovUSB'. rc = 1011."), nullptr);
}

TEST_F(DriverModule, TheOpenIsTracedLineByLineInTheLogFormat) {
    LogReader log(kClientLog);
    Started();
    const auto lines = log.Lines();
    ASSERT_GE(lines.size(), 6u);
    std::vector<std::string> messages;
    for (const auto& l : lines) messages.push_back(l.message);
    const auto open = From(messages, "DriverOpen entered");
    ASSERT_GE(open.size(), 6u);
    EXPECT_EQ(open[1], "Opening virtual channel 'TovUSB'...");
    EXPECT_EQ(open[2], "Successfully opened virtual channel 'TovUSB'. virtualChannelNum = 9");
    EXPECT_TRUE(std::regex_match(open[3], std::regex("Writehook channel number=9 vdwh.pVdData=[0-9a-f]+ rc=0")))
        << open[3];
    EXPECT_EQ(open[4], "This is NOT a HPC channel.");
    EXPECT_EQ(open[5], "Successfully registered");

    const std::regex stamp(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}, \d{3}ms)");
    const size_t first = lines.size() - open.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        const TraceLine& l = lines[i];
        EXPECT_FALSE(l.error) << l.raw;
        EXPECT_TRUE(std::regex_match(l.stamp, stamp)) << l.raw;
        EXPECT_EQ(l.raw, l.stamp + "\t" + l.pid + "\t" + l.source + "\t" + l.message);
        if (i >= first && i < first + 6) {
            EXPECT_EQ(l.source, "CitrixClient") << l.raw;
        }
    }
}

TEST_F(DriverModule, TheFirstPollIsTracedOncePerProcessEvenAfterANewOpen) {
    EngineSimulator& s = Started();
    EXPECT_EQ(s.PollOnce(), 21);
    EXPECT_EQ(s.PollOnce(), 21);
    EXPECT_EQ(s.Close(), 0);
    EXPECT_EQ(s.Open(), 0);
    EXPECT_EQ(s.PollOnce(), 21);
    size_t count = 0;
    for (const auto& m : ProgramLog().Messages()) {
        if (std::regex_match(m, std::regex(R"(DriverPoll\. Legacy Poll information: ulCurrentTime: \d+\.)"))) ++count;
    }
    EXPECT_EQ(count, 1u);
}

TEST_F(DriverModule, EveryServerBlockReachesTheChannelWhole) {
    EngineSimulator& s = Started();
    LogReader log(kClientLog);
    s.QueueServerBlock({1, 2, 3});
    s.QueueServerBlock(std::vector<uint8_t>(1999, 0x41));
    s.QueueServerBlock({0});
    s.WaitForDelivery();
    EXPECT_EQ(s.PollOnce(), 21);
    std::vector<std::string> received;
    for (const auto& m : log.Messages()) {
        if (m.rfind("Data received from server", 0) == 0) received.push_back(m);
    }
    EXPECT_EQ(received, (std::vector<std::string>{"Data received from server with 3 bytes",
                                                   "Data received from server with 1999 bytes",
                                                   "Data received from server with 1 bytes"}));
    for (const auto& h : s.HookCalls()) EXPECT_EQ(h.rc, 0);
}

TEST_F(DriverModule, AutomaticPollingRunsAtTheSetInterval) {
    options.pollIntervalMs = 20;
    EngineSimulator& s = Started();
    while (s.Polls().size() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    s.Shutdown();
    const auto polls = s.Polls();
    for (size_t i = 1; i < polls.size(); ++i) EXPECT_GE(polls[i].ms - polls[i - 1].ms, 19.0);
    for (const auto& p : polls) EXPECT_EQ(p.rc, 21);
}

// Two replies queued by one delivery: the first poll that may send takes the first reply; polls
// in the next 60 ms answer 0 at once, send nothing and trace nothing; the next poll sends the
// second. No poll holds the engine thread for anything like the rest of the interval.
TEST_F(DriverModule, RepliesLeaveOnePerPollInOrderAndAPollWithin60msWaitsWithoutSleeping) {
    EngineSimulator& s = Started();
    s.QueueServerBlock(kCreateManager);
    s.QueueServerBlock(kDeleteManager);
    s.WaitForDelivery();
    ASSERT_TRUE(PollUntilSent(s, 1));
    const size_t pollsBeforeFirst = s.Polls().size() - 1;
    LogReader log(kClientLog);
    ASSERT_TRUE(PollUntilSent(s, 2));
    EXPECT_EQ(s.PollOnce(), 21);

    const auto sent = s.SentBlocks();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].data, kCreateManagerReply);
    EXPECT_EQ(sent[1].data, kDeleteManagerReply);
    EXPECT_EQ(sent[0].channel, 9);
    EXPECT_EQ(s.Wd().OversizedWrites(), 0u);
    const auto polls = s.Polls();
    const std::vector<enginesim::PollRecord> run(polls.begin() + static_cast<long>(pollsBeforeFirst), polls.end());
    const PacingReport report = CheckPacing(run, sent, 2);
    EXPECT_TRUE(report.violations.empty()) << report.violations.front();
    EXPECT_EQ(report.sendingPolls, 2u);
    EXPECT_GT(report.waitingPolls, 0u);
    EXPECT_LT(LongestCall(s.CallTimes(), enginesim::EntryPoint::VdPoll), kPollBoundUs);
    std::vector<std::string> sendLines;
    for (const auto& m : log.Messages()) {
        if (m.rfind("LegacySendAvailableData", 0) == 0) sendLines.push_back(m);
    }
    EXPECT_EQ(sendLines, std::vector<std::string>{"LegacySendAvailableData: Successfully sent data to server"});
}

// The engine polls every 10 ms while four replies wait: each leaves at the first poll 60 ms after
// the previous send, so the gaps lie between 60 and 70 ms apart from scheduling, and every poll
// returns well within the bound.
TEST_F(DriverModule, WithPollsEvery10msEachReplyLeavesAtTheFirstPollAfter60ms) {
    options.pollIntervalMs = 10;
    EngineSimulator& s = Started();
    for (int i = 0; i < 2; ++i) {
        s.QueueServerBlock(kCreateManager);
        s.QueueServerBlock(kDeleteManager);
    }
    ASSERT_TRUE(s.WaitForSentBlocks(4, std::chrono::seconds(10)));
    s.StopPolling();
    s.RunOnEngine([] {});  // the poll that sent the last block has recorded itself
    const auto sent = s.SentBlocks();
    ASSERT_EQ(sent.size(), 4u);
    for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i].data, i % 2 ? kDeleteManagerReply : kCreateManagerReply);
    const PacingReport report = CheckPacing(s.Polls(), sent, 4);
    EXPECT_TRUE(report.violations.empty()) << report.violations.front();
    EXPECT_EQ(report.sendingPolls, 4u);
    EXPECT_GE(report.waitingPolls, 3u);  // at 10 ms polls, several come between two sends
    EXPECT_LT(LongestCall(s.CallTimes(), enginesim::EntryPoint::VdPoll), kPollBoundUs);
}

TEST_F(DriverModule, ARefusedSendAnswers30AndTheSameBlockLeavesAtTheNextPoll) {
    LogReader serverLog(kServerLog);
    EngineSimulator& s = Started();
    s.QueueServerBlock(kCreateManager);
    s.WaitForDelivery();
    s.Wd().RefuseNextWrites(1);
    EXPECT_EQ(PollUntilTried(s), 30);
    EXPECT_TRUE(s.SentBlocks().empty());
    EXPECT_EQ(s.PollOnce(), 0);
    ASSERT_EQ(s.SentBlocks().size(), 1u);
    EXPECT_EQ(s.SentBlocks()[0].data, kCreateManagerReply);
    const auto failures = serverLog.Lines();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_TRUE(failures[0].error);
    EXPECT_EQ(failures[0].source, "CitrixClient");
    EXPECT_EQ(failures[0].message, "LegacySendAvailableData: Failed to send data to server");

    s.QueueServerBlock(kDeleteManager);  // leaves the module's registry as it was
    s.WaitForDelivery();
    EXPECT_TRUE(PollUntilSent(s, 2));
}
