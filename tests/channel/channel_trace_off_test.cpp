// Tracing is decided at the module's first line: with "c:\CitrixClient.log" missing then, the
// module writes nothing for the rest of the process, even once the file exists.
#include <gtest/gtest.h>

#include "EngineSimulator.h"
#include "TraceLogReader.h"

using namespace testsupport;

namespace {
const bool kLogMissing = (RemoveFile(kClientLog), true);
}

TEST(DriverTracing, ALogCreatedAfterTheFirstLineStaysUnused) {
    (void)kLogMissing;
    enginesim::Options options;
    options.modulePath = TOV_TEST_MODULE;
    options.pollIntervalMs = 0;
    enginesim::EngineSimulator sim(options);
    ASSERT_TRUE(sim.LoadDriver());
    ASSERT_EQ(sim.Open(), 0);  // the first lines: the log is missing

    CreateFileIfMissing(kClientLog);
    LogReader log(kClientLog);
    sim.RequestInitData();
    sim.QueueServerBlock({1, 2});
    sim.WaitForDelivery();
    EXPECT_EQ(sim.PollOnce(), 21);
    sim.Shutdown();
    EXPECT_TRUE(log.Lines().empty()) << log.Lines().front().raw;
}
