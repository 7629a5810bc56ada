// The report text of tovusb-devicecheck and its device list lines, from literal contents.
#include <gtest/gtest.h>

#include "NodeAccess.h"
#include "TerminalReport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
              DeviceListLines(kTwo, 1, "", "/dev/hidraw7", {}));
    EXPECT_EQ((std::vector<std::string>{"Supported devices: 0", "  Listing failed: cannot read /sys/class/hidraw",
                                        "  No other HID devices"}),
              DeviceListLines({}, 0, "cannot read /sys/class/hidraw", "", {}));
}

TEST(TerminalReport, ANodeThisUserMayNotOpenIsNamedWithTheUdevRule) {
    EXPECT_EQ((std::vector<std::string>{
                  "Supported devices: 2",
                  "  1  Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)  /dev/hidraw3",
                  "     this user cannot open it (Permission denied): the udev rule does not give this device to "
                  "this user",
                  "  2  Philips Footswitch (vendor 0x0911, product 0x091A, usage 3)  /dev/hidraw7",
                  "  No other HID devices",
              }),
              DeviceListLines(kTwo, 0, "", "", {{"/dev/hidraw3", "Permission denied"}}));
}

// A node of mode 0600 that belongs to another user, as the kernel makes a hidraw node that no udev
// rule gives away: the check names it, and a node that is no file (a simulated device) is not named.
TEST(TerminalReport, NodesThisUserCannotOpenAreFoundAsTheSessionUserSeesThem) {
    char folder[] = "/tmp/tovusb-node-access-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(folder));
    const std::string node = std::string(folder) + "/hidraw3";
    const int fd = open(node.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(0, chmod(folder, 0755));
    const std::list<USBButtonDeviceDescriptor> devices = {
        Device("Philips SpeechMike III", 0x0911, 0x0C1C, 9, node),
        Device("Philips Footswitch", 0x0911, 0x091A, 3, std::string(folder) + "/no-such-node"),
    };
    // As root every node opens, so the check runs as an unprivileged user in a child process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        const std::map<std::string, std::string> refused = NodesThisUserCannotOpen(devices);
        _exit(refused.size() == 1 && refused.count(node) == 1 && refused.at(node) == std::strerror(EACCES) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    unlink(node.c_str());
    rmdir(folder);
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
