// The report text of tovusb-devicecheck and its device list lines, from literal contents.
#include <gtest/gtest.h>

#include "TerminalReport.h"

using namespace devicecheck;

namespace {

USBButtonDeviceDescriptor Device(const std::string& name, int32_t vendor, int32_t product, int32_t usage,
                                 const std::string& path) {
    USBButtonDeviceDescriptor d;
    d.name = name;
    d.hidInfo.vendorID = vendor;
    d.hidInfo.productID = product;
    d.hidInfo.usageType = usage;
    d.hidInfo.devicePath = path;
    return d;
}

const std::list<USBButtonDeviceDescriptor> kTwo = {
    Device("Philips SpeechMike III", 0x0911, 0x0C1C, 9, "/dev/hidraw3"),
    Device("Philips Footswitch", 0x0911, 0x091A, 3, "/dev/hidraw7"),
};

TEST(TerminalReport, DeviceLinesAreNumberedFromOneAndMarkTheSelectedOne) {
    EXPECT_EQ((std::vector<std::string>{
                  "Supported devices: 2",
                  "  1  Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)  /dev/hidraw3",
                  "  2* Philips Footswitch (vendor 0x0911, product 0x091A, usage 3)  /dev/hidraw7",
                  "  1 other HID device",
              }),
              DeviceListLines(kTwo, 1, "", "/dev/hidraw7"));
    EXPECT_EQ((std::vector<std::string>{"Supported devices: 0", "  Listing failed: cannot read /sys/class/hidraw",
                                        "  No other HID devices"}),
              DeviceListLines({}, 0, "cannot read /sys/class/hidraw", ""));
}

TEST(TerminalReport, ButtonMapSaysWhereItWasLookedForOrWhatItHolds) {
    ButtonMapStatus missing;
    EXPECT_EQ((std::vector<std::string>{"No HardwareButtonMap.ini (looked in /home/u/.ICAClient, /opt/Citrix/ICAClient): "
                                        "codes are reported as decoded"}),
              LinuxButtonMapLines(missing, {"/home/u/.ICAClient", "/opt/Citrix/ICAClient"}));
    EXPECT_EQ((std::vector<std::string>{"No HardwareButtonMap.ini (looked in no folder): codes are reported as decoded"}),
              LinuxButtonMapLines(missing, {}));
    ButtonMapStatus found;
    found.found = true;
    found.path = "/home/u/.ICAClient/HardwareButtonMap.ini";
    found.entries = {{3, 20}, {5, 16}};
    EXPECT_EQ((std::vector<std::string>{"HardwareButtonMap.ini: /home/u/.ICAClient/HardwareButtonMap.ini",
                                        "  [HardwareButtonMap] 3=20, 5=16"}),
              LinuxButtonMapLines(found, {"/home/u/.ICAClient"}));
}

TEST(TerminalReport, TheWholeTextWithLineFeeds) {
    TerminalReportContent c;
    c.created.year = 2026;
    c.created.month = 12;
    c.created.day = 8;
    c.created.hour = 9;
    c.created.minute = 7;
    c.created.second = 3;
    c.created.millisecond = 42;
    c.registration = {"Citrix ICA Client in /opt/Citrix/ICAClient", "TovUSB is registered with the ICA Client"};
    c.devices = kTwo;
    c.otherHIDDevices = 3;
    c.buttonMapFolders = {"/home/u/.ICAClient", "/opt/Citrix/ICAClient"};
    c.traceLog = "/home/u/.ICAClient/CitrixClient.log";
    c.traceLogPresent = true;
    c.selectedDevice = "Philips SpeechMike III";
    c.selectedPath = "/dev/hidraw3";
    c.lines = {"09:07:01.000  Connected Philips SpeechMike III: press its buttons",
               "09:07:02.500  pressed   hardware 3  reported 3"};
    EXPECT_EQ("TovUSB device check, 2026/12/08 09:07:03, 042ms\n"
              "\n"
              "ICA Client registration\n"
              "  Citrix ICA Client in /opt/Citrix/ICAClient\n"
              "  TovUSB is registered with the ICA Client\n"
              "\n"
              "Supported devices: 2\n"
              "  1* Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)  /dev/hidraw3\n"
              "  2  Philips Footswitch (vendor 0x0911, product 0x091A, usage 3)  /dev/hidraw7\n"
              "  3 other HID devices\n"
              "\n"
              "No HardwareButtonMap.ini (looked in /home/u/.ICAClient, /opt/Citrix/ICAClient): codes are reported as decoded\n"
              "Trace log /home/u/.ICAClient/CitrixClient.log: present (the driver traces)\n"
              "\n"
              "Events (Philips SpeechMike III selected)\n"
              "  09:07:01.000  Connected Philips SpeechMike III: press its buttons\n"
              "  09:07:02.500  pressed   hardware 3  reported 3\n",
              BuildTerminalReport(c));

    TerminalReportContent empty;
    const std::string text = BuildTerminalReport(empty);
    EXPECT_NE(std::string::npos, text.find("\nTrace log: no home folder, so the driver does not trace\n"));
    EXPECT_NE(std::string::npos, text.find("\nEvents (no device selected)\n"));
    EXPECT_EQ(std::string::npos, text.find('\r'));
}

}  // namespace
