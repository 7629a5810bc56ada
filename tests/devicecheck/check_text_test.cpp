// The texts of the device check: registration lines, device lines, button lines and the report.
#include <gtest/gtest.h>

#include "CheckText.h"

namespace {

ClientRegistration Client32(bool all) {
    ClientRegistration client;
    client.client = "32-bit ICA Client";
    client.folder = "C:\\Program Files\\Citrix\\ICA Client\\";
    client.moduleKey = all;
    client.listEntry = true;
    client.driverPath = client.folder + "TovaroCitrixVC.dll";
    client.driverPresent = true;
    client.driverMachineType = all;
    client.machineType = "32-bit (i386)";
    return client;
}

TEST(CheckTextTest, RegistrationNamesEachMissingPieceAndTellsCompleteFromPartlyAndNot) {
    EXPECT_EQ(std::vector<std::string>{"No ICA Client is installed"}, RegistrationLines({}));

    const std::vector<std::string> complete = {
        "32-bit ICA Client in C:\\Program Files\\Citrix\\ICA Client\\: channel TovUSB registered",
        "  module key TovUSB: present",
        "  VirtualDriverEx entry TovUSB: present",
        "  driver C:\\Program Files\\Citrix\\ICA Client\\TovaroCitrixVC.dll: present, a 32-bit (i386) DLL",
    };
    EXPECT_EQ(complete, RegistrationLines({Client32(true)}));

    // A 64-bit DLL in the 32-bit client's folder, and no module key.
    const std::vector<std::string> broken = RegistrationLines({Client32(false)});
    ASSERT_EQ(4u, broken.size());
    EXPECT_EQ("32-bit ICA Client in C:\\Program Files\\Citrix\\ICA Client\\: channel TovUSB partly registered", broken[0]);
    EXPECT_EQ("  module key TovUSB: missing", broken[1]);
    EXPECT_EQ("  driver C:\\Program Files\\Citrix\\ICA Client\\TovaroCitrixVC.dll: present, but not a 32-bit (i386) DLL",
              broken[3]);

    for (int missing = 0; missing < 4; ++missing) {
        ClientRegistration client = Client32(true);
        bool* pieces[] = {&client.moduleKey, &client.listEntry, &client.driverPresent, &client.driverMachineType};
        *pieces[missing] = false;
        EXPECT_FALSE(IsCompletelyRegistered(client)) << "piece " << missing;
        EXPECT_TRUE(IsRegistered(client)) << "piece " << missing;
    }
    EXPECT_TRUE(IsCompletelyRegistered(Client32(true)));

    // Any one piece left counts as registered (the setup program's Uninstall removes it); none
    // at all does not.
    ClientRegistration none = Client32(false);
    none.listEntry = none.driverPresent = false;
    EXPECT_FALSE(IsRegistered(none));
    EXPECT_EQ("32-bit ICA Client in C:\\Program Files\\Citrix\\ICA Client\\: channel TovUSB NOT registered",
              RegistrationLines({none})[0]);
    for (int present = 0; present < 3; ++present) {
        ClientRegistration one = none;
        bool* pieces[] = {&one.moduleKey, &one.listEntry, &one.driverPresent};
        *pieces[present] = true;
        EXPECT_TRUE(IsRegistered(one)) << "piece " << present;
        EXPECT_NE(std::string::npos, RegistrationLines({one})[0].find(": channel TovUSB partly registered"));
    }
}

TEST(CheckTextTest, DeviceAndCountTexts) {
    USBButtonDeviceDescriptor device;
    device.name = "Philips SpeechMike III (2)";
    device.hidInfo.vendorID = 0x0911;
    device.hidInfo.productID = 0x0C1C;
    device.hidInfo.usageType = 9;
    EXPECT_EQ("Philips SpeechMike III (2) (vendor 0x0911, product 0x0C1C, usage 9)", DeviceLine(device));
    EXPECT_EQ("No other HID devices", OtherHIDDevicesText(0));
    EXPECT_EQ("1 other HID device", OtherHIDDevicesText(1));
    EXPECT_EQ("3 other HID devices", OtherHIDDevicesText(3));
}

TEST(CheckTextTest, ButtonLines) {
    CDateTime time;
    time.hour = 9, time.minute = 7, time.second = 3, time.millisecond = 42;
    EXPECT_EQ("09:07:03.042  pressed   hardware 3  reported 20", ButtonEventLine(time, true, {3}, 20));
    EXPECT_EQ("09:07:03.042  released  hardware 3 or 6  reported 20", ButtonEventLine(time, false, {3, 6}, 20));
    EXPECT_EQ("09:07:03.042  pressed   hardware ?  reported 99", ButtonEventLine(time, true, {}, 99));
    // The driver never sends 16 to the server, whichever hardware button it came from.
    EXPECT_EQ("09:07:03.042  pressed   hardware 5  reported 16 (not sent to the server)",
              ButtonEventLine(time, true, {5}, 16));
}

TEST(CheckTextTest, ButtonMapLinesSayWhereTheFileIsOrWhereTheLookupWent) {
    ButtonMapStatus none;
    none.lookedFor = "HardwareButtonMap.ini";
    none.currentFolder = "C:\\Users\\nurse";
    EXPECT_EQ(std::vector<std::string>{"No HardwareButtonMap.ini (looked for HardwareButtonMap.ini in C:\\Users\\nurse):"
                                       " codes are reported as decoded"},
              ButtonMapLines(none));

    ButtonMapStatus found;
    found.found = true;
    found.path = "C:\\Citrix\\HardwareButtonMap.ini";
    found.entries = {{5, 7}, {3, 20}};
    EXPECT_EQ((std::vector<std::string>{"HardwareButtonMap.ini: C:\\Citrix\\HardwareButtonMap.ini",
                                        "  [HardwareButtonMap] 3=20, 5=7"}),
              ButtonMapLines(found));
    found.entries.clear();
    EXPECT_EQ("  [HardwareButtonMap] no entries", ButtonMapLines(found)[1]);
}

TEST(CheckTextTest, ReportHoldsEverySectionWithWindowsLineEnds) {
    CheckReportContent content;
    content.created.year = 2024, content.created.month = 5, content.created.day = 6;
    content.clients = {Client32(true)};
    USBButtonDeviceDescriptor device;
    device.name = "Philips Footswitch";
    device.hidInfo.vendorID = 0x0911;
    device.hidInfo.productID = 0x091A;
    device.hidInfo.usageType = 3;
    device.hidInfo.devicePath = "\\\\?\\hid#vid_0911&pid_091a#1";
    content.devices = {device};
    content.otherHIDDevices = 2;
    content.buttonMap.lookedFor = "HardwareButtonMap.ini";
    content.buttonMap.currentFolder = "C:\\x";
    content.traceLogPath = "c:\\CitrixClient.log";
    content.selectedDevice = "Philips Footswitch";
    content.lines = {"10:00:00.000  pressed   hardware 5  reported 5"};
    const std::string expected =
        "TovUSB device check, 2024/05/06 00:00:00, 000ms\r\n"
        "\r\n"
        "ICA Client registration\r\n"
        "  32-bit ICA Client in C:\\Program Files\\Citrix\\ICA Client\\: channel TovUSB registered\r\n"
        "    module key TovUSB: present\r\n"
        "    VirtualDriverEx entry TovUSB: present\r\n"
        "    driver C:\\Program Files\\Citrix\\ICA Client\\TovaroCitrixVC.dll: present, a 32-bit (i386) DLL\r\n"
        "\r\n"
        "Supported devices: 1\r\n"
        "  Philips Footswitch (vendor 0x0911, product 0x091A, usage 3)\r\n"
        "    \\\\?\\hid#vid_0911&pid_091a#1\r\n"
        "  2 other HID devices\r\n"
        "\r\n"
        "No HardwareButtonMap.ini (looked for HardwareButtonMap.ini in C:\\x): codes are reported as decoded\r\n"
        "Trace log c:\\CitrixClient.log: absent (the driver does not trace)\r\n"
        "\r\n"
        "Events (Philips Footswitch selected)\r\n"
        "  10:00:00.000  pressed   hardware 5  reported 5\r\n";
    EXPECT_EQ(expected, BuildCheckReport(content));

    content.listError = "SetupDiGetClassDevs failed";
    EXPECT_NE(std::string::npos, BuildCheckReport(content).find("  Listing failed: SetupDiGetClassDevs failed\r\n"));
}

}  // namespace
