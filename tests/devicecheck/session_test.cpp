// The device session on the simulated HID bus: listing as the driver lists, the count of other
// HID interfaces, arrivals and removals, button lines from the reader thread, LED reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CriticalSection.h"
#include "DeviceCheckSession.h"
#include "Semaphore.h"
#include "TovSimBus.h"

namespace {

constexpr uint32_t kWaitMs = 10000;

class Listener : public CDeviceCheckListener {
public:
    Listener() : lines("", false) { lines.Create(0, 100000); }
    void OnDevicesChanged() override { ++devicesChanged; }
    void OnLinesAdded() override { lines.Release(1); }
    // Waits for `count` more line announcements.
    bool WaitForLines(int count) {
        for (int i = 0; i < count; ++i) {
            if (!lines.Wait(kWaitMs)) return false;
        }
        return true;
    }
    int devicesChanged = 0;

private:
    CSemaphoreClass lines;
};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { TovSim_Reset(); }
    void TearDown() override { TovSim_Reset(); }
    // Delivers the bus's notifications to this thread's windows (natively they wait for a pump).
    static void Pump() { TovPlatform_PumpMessages(); }
    static std::vector<unsigned char> Output(int id) {
        std::vector<unsigned char> bytes(128);
        const int length = TovSim_ReadOutputReport(id, bytes.data(), static_cast<int>(bytes.size()));
        bytes.resize(length > 0 ? static_cast<size_t>(length) : 0);
        return bytes;
    }
    Listener listener;
};

TEST_F(SessionTest, ListsSupportedInterfacesAndCountsTheRest) {
    TovSim_Plug("PlainMouse");
    TovSim_Plug("SpeechMikeIII");
    TovSim_Plug("SpeechMikeIII");
    CDeviceCheckSession session(listener);
    session.Refresh();
    ASSERT_EQ(2u, session.Devices().size());
    EXPECT_EQ("Philips SpeechMike III", session.Devices().front().name);
    EXPECT_EQ("Philips SpeechMike III (2)", session.Devices().back().name);
    // The mouse and each hand-set's keyboard and mouse interfaces.
    EXPECT_EQ(5, session.OtherHIDDevices());
    EXPECT_TRUE(session.ListError().empty());
    EXPECT_EQ(nullptr, session.Selected());
    EXPECT_TRUE(session.SelectedLEDs().leds.empty());
}

TEST_F(SessionTest, ArrivalAndRemovalListAgainAndAnnounceLikeTheDriver) {
    CDeviceCheckSession session(listener);
    session.Refresh();
    const int before = listener.devicesChanged;
    const int foot = TovSim_Plug("Footswitch");
    Pump();
    EXPECT_GT(listener.devicesChanged, before);
    ASSERT_EQ(1u, session.Devices().size());
    EXPECT_EQ(0, session.OtherHIDDevices());

    ASSERT_TRUE(session.Select(session.Devices().front().hidInfo.devicePath));
    ASSERT_NE(nullptr, session.Selected());
    TovSim_Unplug(foot);
    Pump();
    EXPECT_TRUE(session.Devices().empty());
    EXPECT_EQ(nullptr, session.Selected());
    const std::vector<std::string> lines = session.AllLines();
    auto has = [&](const std::string& end) {
        for (const std::string& line : lines) {
            if (EndsWith(line, end)) return true;
        }
        return false;
    };
    EXPECT_TRUE(has("  Device connected: Philips Footswitch (vendor 0x0911, product 0x091A, usage 3)"));
    EXPECT_TRUE(has("  Connected Philips Footswitch: press its buttons"));
    EXPECT_TRUE(has("  Philips Footswitch is gone: disconnected"));
    EXPECT_TRUE(has("  Device disconnected: Philips Footswitch (vendor 0x0911, product 0x091A, usage 3)"));
}

TEST_F(SessionTest, ButtonEventsFromTheReaderThreadBecomeLinesInOrder) {
    const int foot = TovSim_Plug("FootswitchLFH0210");
    CDeviceCheckSession session(listener);
    session.Refresh();
    ASSERT_TRUE(session.Select(session.Devices().front().hidInfo.devicePath));
    ASSERT_EQ(1u, session.TakeNewLines().size());  // the connect line
    EXPECT_EQ(0u, session.ButtonEvents());
    // Byte 1 = 0x07: buttons 5, 7 and 6 in table order; then 0x02: 5 and 7 released.
    const unsigned char all[] = {0x00, 0x07};
    const unsigned char six[] = {0x00, 0x02};
    ASSERT_EQ(1, TovSim_SendInputReport(foot, all, 2));
    ASSERT_EQ(1, TovSim_SendInputReport(foot, six, 2));
    ASSERT_TRUE(listener.WaitForLines(5 + 1));  // the connect line, then five events
    const std::vector<std::string> lines = session.TakeNewLines();
    ASSERT_EQ(5u, lines.size());
    const char* expected[] = {"pressed   hardware 5  reported 5", "pressed   hardware 7  reported 7",
                              "pressed   hardware 6  reported 6", "released  hardware 5  reported 5",
                              "released  hardware 7  reported 7"};
    for (size_t i = 0; i < 5; ++i) EXPECT_TRUE(EndsWith(lines[i], expected[i])) << lines[i];
    EXPECT_TRUE(session.TakeNewLines().empty());
    EXPECT_EQ(6u, session.AllLines().size());
    EXPECT_EQ(5u, session.ButtonEvents());
}

TEST_F(SessionTest, LEDsGoToTheConnectedHandSetAsItsOwnReport) {
    const int mike = TovSim_Plug("SpeechMikeIII");
    CDeviceCheckSession session(listener);
    session.Refresh();
    EXPECT_FALSE(session.SetLED(0, true)) << "nothing is connected";
    ASSERT_TRUE(session.Select(session.Devices().front().hidInfo.devicePath));
    ASSERT_TRUE(session.SetLED(3, true));
    EXPECT_EQ((std::vector<unsigned char>{0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}), Output(mike));
    ASSERT_TRUE(session.AllLEDsOff());
    EXPECT_EQ((std::vector<unsigned char>{0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), Output(mike));
}

TEST_F(SessionTest, FailuresBecomeLinesAndLeaveNothingConnected) {
    TovSim_Plug("SpeechMikeIII");
    CDeviceCheckSession session(listener);
    session.Refresh();
    const std::string path = session.Devices().front().hidInfo.devicePath;
    TovSim_FailNextOpen(0, TOVSIM_FAIL_WRITE_OPEN);
    EXPECT_FALSE(session.Select(path));
    EXPECT_EQ(nullptr, session.Selected());
    EXPECT_TRUE(EndsWith(session.AllLines().back(), "Could not connect Philips SpeechMike III: CreateFile of " + path +
                                                        " for writing failed"))
        << session.AllLines().back();
    EXPECT_FALSE(session.Select("\\\\?\\hid#not-listed"));

    TovSim_FailNextOpen(0, TOVSIM_FAIL_ENUMERATION);
    session.Refresh();
    EXPECT_EQ("SetupDiGetClassDevs failed", session.ListError());
    EXPECT_TRUE(session.Devices().empty());
    session.Refresh();
    EXPECT_TRUE(session.ListError().empty());
    EXPECT_EQ(1u, session.Devices().size());
}

}  // namespace
