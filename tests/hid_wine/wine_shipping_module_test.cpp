// The shipping driver module in the simulated ICA Client, listing devices on Wine's HID stack.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ModuleSession.h"
#include "TraceLogReader.h"
#include "WineHidFixture.h"

using namespace winehid;

namespace {

// Commands for the manager handle 0x1000 and their replies (code + 1, the same handle).
const std::vector<uint8_t> kCreateManager = {1, 0, 0, 0, 0x00, 0x10, 0, 0};
const std::vector<uint8_t> kCreateManagerReply = {2, 0, 0, 0, 0x00, 0x10, 0, 0};
const std::vector<uint8_t> kGetConnectedDevices = {5, 0, 0, 0, 0x00, 0x10, 0, 0};
// The reply with an empty descriptor list: its count 0 alone.
const std::vector<uint8_t> kNoDevicesReply = {6, 0, 0, 0, 0x00, 0x10, 0, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kDeleteManager = {3, 0, 0, 0, 0x00, 0x10, 0, 0};
const std::vector<uint8_t> kDeleteManagerReply = {4, 0, 0, 0, 0x00, 0x10, 0, 0};

TEST_F(WineHidTest, ShippingModuleListsNoneOfWinesInterfacesAndTracesNoError) {
    testsupport::CreateFileIfMissing(testsupport::kClientLog);
    const testsupport::LogReader log(testsupport::kClientLog);
    std::unique_ptr<enginesim::EngineSimulator> sim;
    ASSERT_TRUE(testsupport::StartModule(TOV_SHIPPING_MODULE, sim));

    for (const auto& command : {kCreateManager, kGetConnectedDevices, kGetConnectedDevices, kDeleteManager}) {
        sim->QueueServerBlock(command);
    }
    ASSERT_TRUE(sim->WaitForSentBlocks(4, std::chrono::seconds(20)));
    sim->Shutdown();
    const auto sent = sim->SentBlocks();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].data, kCreateManagerReply);
    EXPECT_EQ(sent[1].data, kNoDevicesReply);
    EXPECT_EQ(sent[2].data, kNoDevicesReply);
    EXPECT_EQ(sent[3].data, kDeleteManagerReply);

    // The lines prove that tracing was on and the listing ran; none of them is an error.
    size_t listings = 0;
    for (const testsupport::TraceLine& line : log.Lines()) {
        EXPECT_FALSE(line.error) << line.raw;
        if (line.message.rfind("Getting connected devices for ", 0) == 0) ++listings;
    }
    EXPECT_EQ(listings, 2u);
}

}  // namespace
