// The VM's HID stack with the uhid player, before any driver is involved: every catalogue
// interface appears as a hidraw node with its ids, name and report descriptor; input reports
// reach a reader of the node (numbered ones with their id, unnumbered ones without); what is
// written to the node reaches the player; destroying the device removes the node. Runs in the VM
// (scripts/test-steps/vm.sh), as root.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "UhidDevice.h"

using namespace uhidplayer;
using namespace std::chrono_literals;

namespace {

struct Node {
    int fd = -1;
    explicit Node(const std::string& path, int flags = O_RDWR) { fd = ::open(path.c_str(), flags | O_CLOEXEC); }
    ~Node() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads one report from the node, waiting up to two seconds.
std::vector<uint8_t> ReadReport(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) != 1) return {};
    uint8_t buf[512];
    const ssize_t n = ::read(fd, buf, sizeof(buf));
    if (n <= 0) return {};
    return std::vector<uint8_t>(buf, buf + n);
}

TEST(UhidHidraw, EveryCatalogueInterfaceIsAHidrawNodeWithItsIdsNameAndDescriptor) {
    size_t checked = 0;
    for (const UhidModel& model : UhidModels()) {
        for (size_t i = 0; i < model.interfaces.size(); ++i) {
            SCOPED_TRACE(std::string(model.key) + " interface " + std::to_string(i));
            UhidDevice device(model, i);
            const std::string path = device.WaitForNode(10s);
            ASSERT_FALSE(path.empty());
            Node node(path);
            ASSERT_GE(node.fd, 0) << path;
            hidraw_devinfo info{};
            ASSERT_EQ(ioctl(node.fd, HIDIOCGRAWINFO, &info), 0);
            EXPECT_EQ(info.bustype, 0x03);
            EXPECT_EQ(static_cast<uint16_t>(info.vendor), model.vendorID);
            EXPECT_EQ(static_cast<uint16_t>(info.product), model.productID);
            char name[256] = {0};
            ASSERT_GT(ioctl(node.fd, HIDIOCGRAWNAME(sizeof(name)), name), 0);
            EXPECT_STREQ(name, model.name);
            int size = 0;
            ASSERT_EQ(ioctl(node.fd, HIDIOCGRDESCSIZE, &size), 0);
            hidraw_report_descriptor desc{};
            desc.size = static_cast<uint32_t>(size);
            ASSERT_EQ(ioctl(node.fd, HIDIOCGRDESC, &desc), 0);
            EXPECT_EQ(std::vector<uint8_t>(desc.value, desc.value + desc.size), model.interfaces[i].descriptor);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 14u);  // twelve models, the SpeechMike III with three interfaces
}

TEST(UhidHidraw, InputReportsReachTheNodeWithTheReportIdOnlyWhenNumbered) {
    // SpeechMike III: unnumbered; the Windows layout's leading 0 is not on the wire.
    {
        UhidDevice device(*FindUhidModel("SpeechMikeIII"), 0);
        Node node(device.WaitForNode(10s), O_RDONLY);
        ASSERT_GE(node.fd, 0);
        ASSERT_TRUE(device.WaitOpens(1, 5s));
        device.SendReport({0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x20, 0x81});
        EXPECT_EQ(ReadReport(node.fd), (std::vector<uint8_t>{0x80, 0, 0, 0, 0, 0, 0, 0x20, 0x81}));
    }
    // SonicMic: numbered (id 1); the id arrives first.
    {
        UhidDevice device(*FindUhidModel("SonicMicIIClassic"), 0);
        Node node(device.WaitForNode(10s), O_RDONLY);
        ASSERT_GE(node.fd, 0);
        ASSERT_TRUE(device.WaitOpens(1, 5s));
        device.SendReport({0x01, 0x01, 0, 0, 0, 0, 0, 0x20, 0x00});
        EXPECT_EQ(ReadReport(node.fd), (std::vector<uint8_t>{0x01, 0x01, 0, 0, 0, 0, 0, 0x20, 0x00}));
    }
}

TEST(UhidHidraw, WritesToTheNodeReachThePlayerWithTheReportNumberFirst) {
    UhidDevice device(*FindUhidModel("SpeechMikeIII"), 0);
    Node node(device.WaitForNode(10s));
    ASSERT_GE(node.fd, 0);
    const std::vector<uint8_t> leds = {0x00, 0x02, 0, 0, 0, 0, 0, 0x55, 0x55, 0x55};
    ASSERT_EQ(::write(node.fd, leds.data(), leds.size()), static_cast<ssize_t>(leds.size()));
    OutputReport out;
    ASSERT_TRUE(device.TakeOutput(out, 5s));
    EXPECT_EQ(out.bytes, leds);
    EXPECT_EQ(out.reportType, UHID_OUTPUT_REPORT);

    UhidDevice sonic(*FindUhidModel("SonicMicIIClassic"), 0);
    Node sonicNode(sonic.WaitForNode(10s));
    ASSERT_GE(sonicNode.fd, 0);
    std::vector<uint8_t> sonicLeds(64, 0);
    sonicLeds[0] = 0x01;
    sonicLeds[1] = 0x04;
    sonicLeds[2] = 0x02;
    sonicLeds[3] = 0x03;
    ASSERT_EQ(::write(sonicNode.fd, sonicLeds.data(), sonicLeds.size()), 64);
    ASSERT_TRUE(sonic.TakeOutput(out, 5s));
    EXPECT_EQ(out.bytes, sonicLeds);
}

TEST(UhidHidraw, DestroyingTheDeviceEndsAPendingReadAndRemovesTheNode) {
    auto device = std::make_unique<UhidDevice>(*FindUhidModel("Footswitch"), 0);
    const std::string path = device->WaitForNode(10s);
    ASSERT_FALSE(path.empty());
    Node node(path, O_RDONLY);
    ASSERT_GE(node.fd, 0);
    ASSERT_TRUE(device->WaitOpens(1, 5s));
    device->Destroy();
    pollfd p{node.fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(p.revents & (POLLHUP | POLLERR)) << p.revents;
    uint8_t buf[8];
    // Debian 12's kernel answers a read of a removed node with EIO (newer ones with ENODEV).
    EXPECT_LT(::read(node.fd, buf, sizeof(buf)), 0);
    EXPECT_TRUE(errno == EIO || errno == ENODEV) << errno;
    struct stat st;
    // devtmpfs removes the node when the device goes; wait for that with a deadline.
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        gone = ::stat(path.c_str(), &st) != 0;
        if (!gone) usleep(10000);
    }
    EXPECT_TRUE(gone) << path;
}

// With udevd running (scripts/vm/run.sh --udev), a rule in /etc/udev/rules.d decides the node's
// group and mode before a program that waits for udev opens it.
TEST(UhidHidrawUdev, ARuleGivesTheNodeItsGroupAndMode) {
    if (access("/run/udev/control", F_OK) != 0) GTEST_FAIL() << "udevd is not running in this VM";
    {
        std::ofstream rule("/etc/udev/rules.d/70-tovtest.rules");
        rule << "SUBSYSTEM==\"hidraw\", KERNELS==\"0003:0911:1844.*\", GROUP=\"plugdev\", "
                "MODE=\"0660\"\n";
    }
    ASSERT_EQ(std::system("udevadm control --reload"), 0);
    UhidDevice device(*FindUhidModel("FootswitchLFH0210"), 0);
    const std::string path = device.WaitForNode(10s);
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(std::system("udevadm settle --timeout=30"), 0);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, 46u);  // plugdev
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    unlink("/etc/udev/rules.d/70-tovtest.rules");
}

}  // namespace
