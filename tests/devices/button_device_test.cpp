// Button devices on the simulated bus: events from input reports, LED reports, connecting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <list>
#include <string>

#include "LEDSettingList.h"
#include "SimDeviceSupport.h"

using namespace simtest;

namespace {

constexpr int32_t kPhilips = 0x0911;

// A SpeechMike III (group B) whose reports the test can wait for.
class SpeechMikeEvents : public BusTest {
protected:
    void SetUp() override {
        BusTest::SetUp();
        id = Plug("SpeechMikeIII");
        data.Init(DescriptorFor(id, kPhilips, 0x0C1C, HIDUsageOther, 10, 10));
        ASSERT_TRUE(data.Connect());
    }
    void TearDown() override {
        data.Close();
        BusTest::TearDown();
    }
    // Sends a group B button report with byte 9 and byte 8 and waits until it is handled.
    void Buttons(int byte9, int byte8 = 0) {
        Send(id, Report(10, {{1, 0x80}, {8, byte8}, {9, byte9}}));
        ASSERT_TRUE(data.WaitForReports(1));
    }

    int id = 0;
    RecordingDevice owner;
    SignallingData data{&owner};
};

std::string Thrown(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::string& message) {
        return message;
    }
    return "<nothing thrown>";
}

}  // namespace

TEST_F(SpeechMikeEvents, ReleasesComeBeforePressesOfOneReport) {
    Buttons(0x11);  // codes 3 and 5
    Buttons(0x30);  // 5 stays, 3 released, 2 pressed
    EXPECT_EQ(owner.Recorded(), (Events{{3, 1}, {5, 1}, {3, 0}, {2, 1}}));
}

TEST_F(SpeechMikeEvents, MembershipIsByValue) {
    Buttons(0x80, 0x20);  // code 1 twice: pressed twice
    Buttons(0x80);        // still present once: no change
    Buttons(0x00);
    EXPECT_EQ(owner.Recorded(), (Events{{1, 1}, {1, 1}, {1, 0}}));
}

TEST_F(SpeechMikeEvents, DisabledEventsStillFollowTheButtons) {
    data.EnableButtonEvents(false);
    Buttons(0x01);  // press and release of 3: no events
    Buttons(0x00);
    Buttons(0x10);  // 5 held while events are off
    data.EnableButtonEvents(true);
    Buttons(0x30);  // 2 pressed, 5 still held: no press for 5
    Buttons(0x00);
    EXPECT_EQ(owner.Recorded(), (Events{{2, 1}, {5, 0}, {2, 0}}));
}

TEST_F(SpeechMikeEvents, ReportsThatAreNoButtonReportsChangeNothing) {
    Buttons(0x01);
    Send(id, Report(10, {{1, 0x00}, {9, 0x00}}));  // byte 1 without bit 0x80
    ASSERT_TRUE(data.WaitForReports(1));
    Send(id, Report(9, {{1, 0x80}, {8, 0x00}}));  // arrives zero-padded to 10: a real release
    ASSERT_TRUE(data.WaitForReports(1));
    EXPECT_EQ(owner.Recorded(), (Events{{3, 1}, {3, 0}}));
}

TEST_F(SpeechMikeEvents, DisconnectKeepsTheButtonsForTheNextConnect) {
    Buttons(0x01);
    data.Disconnect();
    EXPECT_FALSE(data.IsOpen());
    ASSERT_TRUE(data.Connect());
    Buttons(0x01);  // still held: nothing
    Buttons(0x00);
    EXPECT_EQ(owner.Recorded(), (Events{{3, 1}, {3, 0}}));
}

TEST_F(SpeechMikeEvents, InitOnAnOpenDeviceSwitchesTheDecodingAtOnce) {
    data.Init(DescriptorFor(id, kPhilips, 0x1878, HIDUsageConsumerAudioControl, 10, 2));
    EXPECT_TRUE(data.IsOpen());
    EXPECT_EQ(TovSim_OpenCount(id), 2);  // the open interface stays open with its own record
    Buttons(0x00);  // read as a 6264 Slider report: byte 1 = 0x80 is code 5
    EXPECT_EQ(owner.Recorded(), (Events{{5, 1}}));
    data.Disconnect();
    EXPECT_EQ(data.Info().productID, 0x1878);  // in place for the next Connect
    EXPECT_EQ(data.Info().outputReportByteLength, 2);
}

TEST_F(SpeechMikeEvents, ADeviceThatWasNeverInitialisedIgnoresReports) {
    RecordingDevice otherOwner;
    SignallingData blank(&otherOwner);
    USBButtonDeviceDescriptor descriptor = DescriptorFor(id, kPhilips, 0x0C1C, HIDUsageOther, 10, 10);
    blank.Info() = descriptor.hidInfo;  // opened without a descriptor: product 0
    ASSERT_TRUE(blank.Open());
    Buttons(0x01);
    ASSERT_TRUE(blank.WaitForReports(1));
    blank.Close();
    EXPECT_TRUE(otherOwner.Recorded().empty());
}

TEST_F(BusTest, SonicMicEventsFollowItsEnumeratedButtons) {
    int id = Plug("SonicMicIIClassic");
    RecordingDevice owner;
    SignallingData data(&owner);
    data.Init(DescriptorFor(id, 0x15D8, 0x0025, HIDUsageOther, 9, 64));
    ASSERT_TRUE(data.Connect());
    auto send = [&](int byte7, int byte8) {
        Send(id, Report(9, {{0, 1}, {1, 1}, {7, byte7}, {8, byte8}}));
        ASSERT_TRUE(data.WaitForReports(1));
    };
    send(0x20, 0x03);  // [2]
    send(0x00, 0x03);  // [] directly after a byte-7 button: 2 released, 6 not yet
    send(0x00, 0x03);  // [6]
    data.Close();
    EXPECT_EQ(owner.Recorded(), (Events{{2, 1}, {2, 0}, {6, 1}}));
}

TEST_F(BusTest, LEDReportsOfTheHandSetsByteForByte) {
    int mike = Plug("SpeechMikeIII");
    int slider = Plug("SpeechMike6264Slider");
    int sonic = Plug("SonicMicIIClassic");
    RecordingDevice b, a, g;
    ASSERT_TRUE(b.ConnectToDevice(kPhilips, 0x0C1C, ""));
    ASSERT_TRUE(a.ConnectToDevice(kPhilips, 0x1878, ""));
    ASSERT_TRUE(g.ConnectToDevice(0x15D8, 0x0025, ""));

    b.SetLED(0, 1);
    EXPECT_EQ(ReadOutput(mike), (std::vector<int>{0x00, 0x02, 0, 0, 0, 0, 0, 0x40, 0, 0}));
    b.SetLEDs(Settings({{11, 1}, {0, 2}}));
    EXPECT_EQ(ReadOutput(mike), (std::vector<int>{0x00, 0x02, 0, 0, 0, 0, 0, 0xD5, 0x55, 0x55}));
    b.SetLEDs(Settings({{0, 2}, {11, 1}}));
    EXPECT_EQ(ReadOutput(mike), (std::vector<int>{0x00, 0x02, 0, 0, 0, 0, 0, 0x55, 0x55, 0x55}));
    b.SetLEDs(std::list<LEDSetting>());  // nothing for an empty list
    EXPECT_EQ(TovSim_OutputReportCount(mike), 0);

    a.SetLED(2, 1);
    EXPECT_EQ(ReadOutput(slider), (std::vector<int>{0x00, 0x3B}));
    a.SetLED(11, 3);
    EXPECT_EQ(ReadOutput(slider), (std::vector<int>{0x00, 0x00}));

    g.SetLED(3, 2);
    std::vector<int> report = ReadOutput(sonic);
    ASSERT_EQ(report.size(), 64u);
    EXPECT_EQ(std::vector<int>(report.begin(), report.begin() + 4),
              (std::vector<int>{0x01, 0x04, 0x02, 0x03}));
    EXPECT_EQ(std::vector<int>(report.begin() + 4, report.end()), std::vector<int>(60, 0));
    g.SetLED(0, 2);
    report = ReadOutput(sonic);
    ASSERT_EQ(report.size(), 64u);
    EXPECT_EQ(std::vector<int>(report.begin(), report.begin() + 4),
              (std::vector<int>{0x01, 0x04, 0x02, 0x00}));
}

TEST_F(BusTest, FootSwitchesAndTheGamePadGetNoLEDReport) {
    for (const char* model : {"Footswitch", "FootswitchLFH0210", "FootswitchLFH0210Old",
                              "FirestormGamepad"}) {
        TovSim_Reset();
        int id = Plug(model);
        RecordingDevice device;
        ASSERT_TRUE(device.ConnectToDevice(0, 0, "")) << model;
        EXPECT_NO_THROW(device.SetLED(11, 3));
        EXPECT_NO_THROW(device.SetLEDs(Settings({{0, 1}, {11, 2}})));
        EXPECT_EQ(TovSim_OutputReportCount(id), 0) << model;
    }
}

TEST_F(BusTest, AnOutputLengthOtherThanTheModelsIsReportedByTheWrite) {
    // A group B interface whose output report is 12 bytes instead of 10.
    int id = TovSim_PlugCustom(kPhilips, 0x149A, 0x0200, 0xFFA0, 0x01, 10, 12);
    RecordingDevice device;
    ASSERT_TRUE(device.ConnectToDevice(kPhilips, 0x149A, ""));
    EXPECT_EQ(Thrown([&] { device.SetLED(0, 1); }),
              "Too small buffer (only 10 bytes) to send. Required size is 12 bytes");
    EXPECT_EQ(Thrown([&] { device.SetLEDs(Settings({{11, 1}})); }),
              "Too small buffer (only 10 bytes) to send. Required size is 12 bytes");
    EXPECT_EQ(TovSim_OutputReportCount(id), 0);
}

TEST_F(BusTest, ConnectToDeviceTakesTheFirstMatchInPathOrder) {
    RecordingDevice device;
    EXPECT_FALSE(device.ConnectToDevice(0, 0, ""));  // nothing plugged
    EXPECT_FALSE(device.IsConnected());

    int footswitch = Plug("Footswitch");
    int mike = Plug("SpeechMikeIII");
    Plug("PlainMouse");
    std::string smallest = std::min(DevicePath(footswitch), DevicePath(mike));
    ASSERT_TRUE(device.ConnectToDevice(0, 0, ""));
    EXPECT_TRUE(device.IsConnected());
    EXPECT_EQ(device.GetDescriptor().hidInfo.devicePath, smallest);

    RecordingDevice byPath;
    ASSERT_TRUE(byPath.ConnectToDevice(0, 0, DevicePath(mike)));
    EXPECT_EQ(byPath.GetDescriptor().name, "Philips SpeechMike III");
    EXPECT_EQ(byPath.GetDescriptor().hidInfo.productID, 0x0C1C);
    RecordingDevice none;
    EXPECT_FALSE(none.ConnectToDevice(kPhilips, 0x0C1C, DevicePath(footswitch)));
    EXPECT_FALSE(none.ConnectToDevice(0x07B5, 0, ""));
    EXPECT_FALSE(none.IsConnected());
}

TEST_F(BusTest, ConnectOpensOnlySupportedHIDInterfaces) {
    const std::string file = "not_a_device.bin";
    FILE* handle = std::fopen(file.c_str(), "wb");
    ASSERT_NE(handle, nullptr);
    std::fputs("plain", handle);
    std::fclose(handle);
    int mouse = TovSim_PlugCustom(kPhilips, 0x0C1C, 0x0300, 0x01, 0x02, 5, 0);
    int other = Plug("PlainMouse");

    // Each path is refused as a path that cannot be opened, whatever the descriptor claims.
    for (const std::string& path : {file, DevicePath(mouse), DevicePath(other),
                                    std::string("no_such_device_path")}) {
        RecordingDevice device;
        USBButtonDeviceDescriptor descriptor;
        descriptor.hidInfo.devicePath = path;
        descriptor.hidInfo.usageType = HIDUsageOther;
        descriptor.hidInfo.vendorID = kPhilips;
        descriptor.hidInfo.productID = 0x0C1C;
        descriptor.hidInfo.inputReportByteLength = 10;
        descriptor.hidInfo.outputReportByteLength = 10;
        device.Init(descriptor);
        EXPECT_EQ(Thrown([&] { device.Connect(); }), "CreateFile of " + path + " for reading failed");
        EXPECT_FALSE(device.IsConnected());
        EXPECT_THROW(device.SetLED(0, 1), std::string);  // nothing open to write to
    }
    std::remove(file.c_str());
    EXPECT_EQ(TovSim_OpenCount(mouse), 0);
    EXPECT_EQ(TovSim_OpenCount(other), 0);
}

TEST_F(BusTest, AssignmentTakesTheInterfaceAndThePressedButtons) {
    int id = Plug("SpeechMikeIII");
    RecordingDevice first;
    ASSERT_TRUE(first.ConnectToDevice(0, 0, ""));
    Send(id, Report(10, {{1, 0x80}, {9, 0x01}}));
    first.WaitForEvents(1);

    RecordingDevice second;
    USBButtonDeviceDescriptor own = first.GetDescriptor();
    own.name = "second";
    second.Init(own);
    static_cast<CUSBButtonDevice&>(second) = first;
    EXPECT_TRUE(second.IsConnected());
    EXPECT_EQ(second.GetDescriptor().name, "second");  // the descriptor is not copied
    EXPECT_EQ(TovSim_ReaderCount(id), 2);

    Send(id, Report(10, {{1, 0x80}}));  // both see the release of the copied button 3
    EXPECT_EQ(first.WaitForEvents(1), (Events{{3, 1}, {3, 0}}));
    EXPECT_EQ(second.WaitForEvents(1), (Events{{3, 0}}));
    static_cast<CUSBButtonDevice&>(second) = second;  // nothing
    EXPECT_TRUE(second.IsConnected());
}

TEST_F(BusTest, TwoDevicesReportAtTheSameTimeOnTheirOwnThreads) {
    int left = Plug("SpeechMikeIII");
    int right = Plug("SpeechMikeIII");
    RecordingDevice a, b;
    ASSERT_TRUE(a.ConnectToDevice(0, 0, DevicePath(left)));
    ASSERT_TRUE(b.ConnectToDevice(0, 0, DevicePath(right)));
    for (int round = 0; round < 50; ++round) {
        Send(left, Report(10, {{1, 0x80}, {9, 0x01}}));
        Send(right, Report(10, {{1, 0x80}, {9, 0x20}}));
        b.SetLED(0, round & 3);  // the caller's thread works on a device while it reports
        Send(left, Report(10, {{1, 0x80}}));
        Send(right, Report(10, {{1, 0x80}}));
    }
    Events expectedA, expectedB;
    for (int round = 0; round < 50; ++round) {
        expectedA.insert(expectedA.end(), {{3, 1}, {3, 0}});
        expectedB.insert(expectedB.end(), {{2, 1}, {2, 0}});
    }
    EXPECT_EQ(a.WaitForEvents(100), expectedA);
    EXPECT_EQ(b.WaitForEvents(100), expectedB);
    EXPECT_EQ(TovSim_OutputReportCount(right), 50);
}
