// Enumeration and the USB release number against a fake sysfs tree below a root of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "HIDSeam.h"
#include "HidrawSysfs.h"

namespace {

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tovusb-sysfs-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        root = pattern;
        hidraw::SetSystemRoot(root);
    }
    void TearDown() override {
        hidraw::SetSystemRoot("");
        std::system(("rm -rf '" + root + "'").c_str());
    }
    void MakeFolder(const std::string& path) { std::system(("mkdir -p '" + root + path + "'").c_str()); }
    void Write(const std::string& path, const std::string& text) { std::ofstream(root + path) << text; }
    void Link(const std::string& target, const std::string& link) {
        ASSERT_EQ(0, symlink((root + target).c_str(), (root + link).c_str()));
    }
    // A hidraw class device whose HID device is at hidDevice.
    void AddNode(const std::string& name, const std::string& hidDevice) {
        MakeFolder(hidDevice + "/hidraw/" + name);
        MakeFolder("/sys/class/hidraw");
        Link(hidDevice + "/hidraw/" + name, "/sys/class/hidraw/" + name);
        Link(hidDevice, hidDevice + "/hidraw/" + name + "/device");
    }
    std::string root;
};

const std::string kUsbDevice = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
const std::string kUsbHid = kUsbDevice + "/1-2:1.0/0003:0911:0C1C.0001";

}  // namespace

TEST_F(FakeSysfs, NodesAreListedInTheOrderOfTheirNumbers) {
    AddNode("hidraw10", "/sys/devices/virtual/misc/uhid/0003:0911:0C1C.000B");
    AddNode("hidraw2", "/sys/devices/virtual/misc/uhid/0003:0911:0C1C.0003");
    AddNode("hidraw0", "/sys/devices/virtual/misc/uhid/0003:0911:0C1C.0001");
    MakeFolder("/sys/class/hidraw/hidrawX");
    MakeFolder("/sys/class/hidraw/hidraw");
    MakeFolder("/sys/class/hidraw/hidraw1234567890");
    EXPECT_EQ((std::vector<std::string>{"/dev/hidraw0", "/dev/hidraw2", "/dev/hidraw10"}), hidraw::ListHidrawNodes());
}

TEST_F(FakeSysfs, NoHidrawClassListsNothing) {
    EXPECT_TRUE(hidraw::ListHidrawNodes().empty());
    // Through the seam, as the manager enumerates.
    hidseam::Guid guid;
    hidseam::GetHidGuid(guid);
    void* set = hidseam::GetClassDevs(guid, hidseam::kPresentInterfaces);
    ASSERT_NE(nullptr, set);
    std::string path;
    EXPECT_FALSE(hidseam::EnumDeviceInterface(set, guid, 0, path));
    hidseam::DestroyDeviceInfoList(set);
}

TEST_F(FakeSysfs, SeamEnumeratesTheNodes) {
    AddNode("hidraw3", kUsbHid);
    AddNode("hidraw1", "/sys/devices/virtual/misc/uhid/0003:0911:0C1C.0002");
    hidseam::Guid guid;
    hidseam::GetHidGuid(guid);
    void* set = hidseam::GetClassDevs(guid, hidseam::kPresentInterfaces);
    std::string first, second, third;
    EXPECT_TRUE(hidseam::EnumDeviceInterface(set, guid, 0, first));
    EXPECT_TRUE(hidseam::EnumDeviceInterface(set, guid, 1, second));
    EXPECT_FALSE(hidseam::EnumDeviceInterface(set, guid, 2, third));
    hidseam::DestroyDeviceInfoList(set);
    EXPECT_EQ("/dev/hidraw1", first);
    EXPECT_EQ("/dev/hidraw3", second);
}

TEST_F(FakeSysfs, ReleaseNumberOfAUsbDevice) {
    AddNode("hidraw0", kUsbHid);
    Write(kUsbDevice + "/1-2:1.0/bInterfaceNumber", "00\n");
    Write(kUsbDevice + "/bcdDevice", "0312\n");
    EXPECT_EQ(0x0312, hidraw::UsbReleaseNumber(root + "/sys/class/hidraw/hidraw0"));
}

TEST_F(FakeSysfs, ReleaseNumberIsZeroOffUsbOrWhenUnreadable) {
    // uhid: no USB interface above the HID device.
    AddNode("hidraw0", "/sys/devices/virtual/misc/uhid/0003:0911:0C1C.0001");
    EXPECT_EQ(0, hidraw::UsbReleaseNumber(root + "/sys/class/hidraw/hidraw0"));
    // Bluetooth through a USB dongle: the HID device's parent is no USB interface, although a USB
    // device with a bcdDevice sits further up.
    const std::string dongle = "/sys/devices/pci0000:00/usb1/1-3";
    AddNode("hidraw1", dongle + "/1-3:1.0/bluetooth/hci0/hci0:256/0005:0911:0C1C.0002");
    Write(dongle + "/1-3:1.0/bInterfaceNumber", "00\n");
    Write(dongle + "/bcdDevice", "0100\n");
    EXPECT_EQ(0, hidraw::UsbReleaseNumber(root + "/sys/class/hidraw/hidraw1"));
    // A USB device whose bcdDevice is not four hexadecimal digits.
    AddNode("hidraw2", kUsbHid);
    Write(kUsbDevice + "/1-2:1.0/bInterfaceNumber", "00\n");
    Write(kUsbDevice + "/bcdDevice", "12345\n");
    EXPECT_EQ(0, hidraw::UsbReleaseNumber(root + "/sys/class/hidraw/hidraw2"));
    Write(kUsbDevice + "/bcdDevice", "0x12\n");
    EXPECT_EQ(0, hidraw::UsbReleaseNumber(root + "/sys/class/hidraw/hidraw2"));
    // A class device without its device link.
    MakeFolder("/sys/class/hidraw/hidraw9");
    EXPECT_EQ(0, hidraw::UsbReleaseNumber(root + "/sys/class/hidraw/hidraw9"));
}

TEST(HidrawPaths, OnlyHidrawNodesHaveThePathForm) {
    for (const char* path : {"/dev/hidraw0", "/dev/hidraw7", "/dev/hidraw123456789"}) {
        EXPECT_TRUE(hidseam::IsDeviceInterfacePathForm(path)) << path;
    }
    for (const char* path : {"/dev/hidraw", "/dev/hidraw1234567890", "/dev/hidraw-1", "/dev/hidraw1/",
                             "/dev/hidraw1 ", "dev/hidraw1", "/dev/../dev/hidraw1", "/dev/HIDRAW1", "/etc/passwd",
                             "\\\\?\\hid#vid_0911&pid_0c1c#1", ""}) {
        EXPECT_FALSE(hidseam::IsDeviceInterfacePathForm(path)) << path;
    }
    EXPECT_FALSE(hidseam::IsDeviceInterfacePathForm(std::string("/dev/hidraw1\0", 13)));
}

TEST(HidrawPaths, OtherPathsAreNeverOpened) {
    // A path the server names is opened only when it is a hidraw node: /dev/null exists.
    errno = 0;
    EXPECT_EQ(hidseam::kInvalidHandle, hidseam::OpenPath("/dev/null", hidseam::kGenericRead, hidseam::kShareReadWrite, 0));
    EXPECT_EQ(ENOENT, errno);
}

TEST_F(FakeSysfs, ANodeThatIsNoHidrawDeviceIsNotServed) {
    // A regular file where the node should be: it opens, but the hidraw queries fail.
    MakeFolder("/dev");
    Write("/dev/hidraw0", "not a device");
    EXPECT_EQ(hidseam::kInvalidHandle, hidseam::OpenPath("/dev/hidraw0", hidseam::kAccessQuery, hidseam::kShareReadWrite, 0));
    EXPECT_EQ(EIO, errno);
}
