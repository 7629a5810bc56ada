// The shipping Linux driver loaded by path into the engine simulator, as the ICA Client for Linux
// loads it: the trace log lives in $HOME/.ICAClient and nothing of the simulated bus is exported.
// Each case runs in a process of its own, so HOME is set before the module is loaded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "EngineSimulator.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ShippingModule : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tovusb-module-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        home = pattern;
        ASSERT_EQ(0, std::system(("mkdir -p '" + home + "/.ICAClient' '" + home + "/cwd'").c_str()));
        ASSERT_EQ(0, chdir((home + "/cwd").c_str()));
        setenv("HOME", home.c_str(), 1);
    }
    void TearDown() override { std::system(("rm -rf '" + home + "'").c_str()); }

    // CreateManager 0x1000, and its reply back on the channel.
    void CreateManager(enginesim::EngineSimulator& sim) {
        ASSERT_TRUE(sim.QueueServerBlock({0x01, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00}));
        ASSERT_TRUE(sim.WaitForSentBlocks(1, std::chrono::seconds(10)));
        const std::vector<enginesim::SentBlock> sent = sim.SentBlocks();
        ASSERT_FALSE(sent.empty());
        ASSERT_GE(sent[0].data.size(), 8u);
        EXPECT_EQ(0x02, sent[0].data[0]);  // CreateManagerReply
        EXPECT_EQ(0x10, sent[0].data[5]);
    }

    enginesim::Options ModuleOptions() {
        enginesim::Options options;
        options.modulePath = TOV_LINUX_MODULE;
        options.pollIntervalMs = 10;
        return options;
    }
    std::string home;
};

}  // namespace

TEST_F(ShippingModule, TracesIntoTheClientFolderOfHome) {
    { std::ofstream create(home + "/.ICAClient/CitrixClient.log"); }
    enginesim::EngineSimulator sim(ModuleOptions());
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    CreateManager(sim);
    sim.Shutdown();
    const std::string log = ReadAll(home + "/.ICAClient/CitrixClient.log");
    EXPECT_NE(std::string::npos, log.find("\tCitrixClient\tDriverOpen entered\n")) << log;
    EXPECT_NE(std::string::npos, log.find("\tCitrixClient\tOpening virtual channel 'TovUSB'...\n")) << log;
    // No file of the Windows name was made anywhere.
    EXPECT_NE(0, access((home + "/cwd/c:\\CitrixClient.log").c_str(), F_OK));
}

TEST_F(ShippingModule, NoTraceWithoutTheFileInTheClientFolder) {
    // A file of the Windows name in the current folder is not the driver's log on Linux.
    { std::ofstream create(home + "/cwd/c:\\CitrixClient.log"); }
    enginesim::EngineSimulator sim(ModuleOptions());
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    CreateManager(sim);
    sim.Shutdown();
    EXPECT_EQ("", ReadAll(home + "/cwd/c:\\CitrixClient.log"));
    EXPECT_NE(0, access((home + "/.ICAClient/CitrixClient.log").c_str(), F_OK));
}

TEST_F(ShippingModule, ServesTheChannelWithoutTheSimulatedBus) {
    enginesim::EngineSimulator sim(ModuleOptions());
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    EXPECT_NE(nullptr, sim.ModuleExport("Load"));
    EXPECT_EQ(nullptr, sim.ModuleExport("TovPlatform_PumpMessages"));
    EXPECT_EQ(nullptr, sim.ModuleExport("TovSim_Plug"));
    CreateManager(sim);
    // GetConnectedDevices 0x1000: this host has no hidraw nodes the driver may open, so the list
    // is empty, but the reply comes.
    ASSERT_TRUE(sim.QueueServerBlock({0x05, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00}));
    ASSERT_TRUE(sim.WaitForSentBlocks(2, std::chrono::seconds(10)));
    const std::vector<enginesim::SentBlock> sent = sim.SentBlocks();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(0x06, sent[1].data[0]);  // GetConnectedDevicesReply
    sim.Shutdown();
}
