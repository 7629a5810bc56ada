// Arrivals and listings are probed on the manager's probe thread: the bus's record of calling
// threads shows no open or query call of the HID seam on the engine thread, and the server still
// hears of the devices in the order they came and went.
#include <string>
#include <vector>

#include "MessageDecoder.h"
#include "SimModuleSession.h"

namespace {

using namespace ServerProxy;

constexpr ObjectHandle kManager = 0x1000;

class ProbeThread : public SimModuleSession {
protected:
    // The next block the driver sends (a reply or an event), decoded.
    ChannelMessage NextBlock() {
        ChannelMessage message;
        if (!sim->WaitForSentBlocks(++repliesSeen, std::chrono::seconds(20))) {
            ADD_FAILURE() << "block " << repliesSeen << " was not sent";
            return message;
        }
        std::string error;
        EXPECT_TRUE(DecodeClientMessage(sim->SentBlocks()[repliesSeen - 1].data, message, error)) << error;
        return message;
    }
    void ExpectEvent(uint32_t code, const char* name, const std::string& path) {
        const ChannelMessage event = NextBlock();
        EXPECT_EQ(event.code, code);
        EXPECT_EQ(event.handle, kManager);
        EXPECT_EQ(event.descriptor.name, name);
        EXPECT_EQ(event.descriptor.hidInfo.devicePath, path);
    }
};

TEST_F(ProbeThread, ListingsArrivalsAndRemovalsOpenNothingOnTheEngineThread) {
    sim->RunOnEngine([this] { bus.MarkThread(); });
    const int listed = bus.Plug("SpeechMikeIII");  // with its keyboard and mouse interfaces
    ASSERT_TRUE(Exchange(EncodeCreateManager(kManager)));

    sim->QueueServerBlock(EncodeGetConnectedDevices(kManager));
    const ChannelMessage list = NextBlock();
    EXPECT_EQ(list.code, 6u);
    ASSERT_EQ(list.devices.size(), 1u);
    EXPECT_EQ(list.devices[0].name, "Philips SpeechMike III");
    EXPECT_EQ(list.devices[0].hidInfo.devicePath, PathOf(listed));
    EXPECT_EQ(list.devices[0].hidInfo.productID, 0x0C1C);

    const int arrived = bus.Plug("Footswitch");
    ExpectEvent(7, "Philips Footswitch", PathOf(arrived));
    const std::string listedPath = PathOf(listed);
    ASSERT_EQ(bus.Unplug(listed), 1);
    ExpectEvent(8, "Philips SpeechMike III", listedPath);

    // An arrival and at once a removal of the same path: the removal waits for the arrival's probe.
    const int brief = bus.Plug("SpeechMikeAir");
    ASSERT_GE(bus.SendDeviceChange(0x8004, 5, PathOf(brief).c_str()), 1);
    ExpectEvent(7, "Philips SpeechMike Air", PathOf(brief));
    ExpectEvent(8, "Philips SpeechMike Air", PathOf(brief));

    EXPECT_EQ(bus.MarkedThreadCallCount(), 0) << "open or query calls on the engine thread";
    ASSERT_TRUE(Exchange(EncodeDeleteManager(kManager)));
}

}  // namespace
