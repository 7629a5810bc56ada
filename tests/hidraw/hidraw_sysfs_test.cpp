// Enumeration, the USB release number and the USB device's interfaces against a fake sysfs tree below a root of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "HIDSeam.h"
#include "HidrawSysfs.h"
#include "ScratchFolder.h"

namespace {

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.Made());
        root = scratch.Path();
        hidraw::SetSystemRoot(root);
    }
    void TearDown() override { hidraw::SetSystemRoot(""); }
    void MakeFolder(const std::string& path) { ASSERT_TRUE(scratch.MakeFolder(path)); }
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
    ScratchFolder scratch{"tovusb-sysfs"};
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

TEST_F(FakeSysfs, TheUsbDeviceOfANodeWithEveryInterfaceAndUnreadableValuesLeftUnknown) {
    AddNode("hidraw0", kUsbHid);
    Write(kUsbDevice + "/idVendor", "0911\n");
    Write(kUsbDevice + "/idProduct", "0c1c\n");
    Write(kUsbDevice + "/bcdDevice", "0300\n");
    Write(kUsbDevice + "/bNumInterfaces", " 3\n");
    const char* const classes[3][3] = {{"03", "00", "00"}, {"03", "01", "01"}, {"03", "zz", "02"}};
    for (int i = 0; i < 3; ++i) {
        const std::string at = kUsbDevice + "/1-2:1." + std::to_string(i);
        MakeFolder(at);
        Write(at + "/bInterfaceNumber", "0" + std::to_string(i) + "\n");
        Write(at + "/bInterfaceClass", std::string(classes[i][0]) + "\n");
        Write(at + "/bInterfaceSubClass", std::string(classes[i][1]) + "\n");
        Write(at + "/bInterfaceProtocol", std::string(classes[i][2]) + "\n");
    }
    MakeFolder(kUsbDevice + "/power");  // not an interface
    hidseam::UsbDeviceFacts facts;
    ASSERT_TRUE(hidseam::DescribeUsbDevice("/dev/hidraw0", facts));
    EXPECT_EQ(0x0911, facts.vendorID.value);
    EXPECT_EQ(0x0C1C, facts.productID.value);
    EXPECT_TRUE(facts.release.known);
    EXPECT_EQ(0x0300, facts.release.value);
    ASSERT_EQ(3u, facts.interfaces.size());
    EXPECT_TRUE(facts.allInterfacesShown);
    EXPECT_EQ(0x01, facts.interfaces[1].subClass.value);
    EXPECT_EQ(0x01, facts.interfaces[1].protocol.value);
    EXPECT_FALSE(facts.interfaces[2].subClass.known);  // "zz" is no value, and never 0
    EXPECT_TRUE(facts.interfaces[2].protocol.known);

    // A missing interface count, or one that does not match, leaves the set open.
    Write(kUsbDevice + "/bNumInterfaces", " 4\n");
    ASSERT_TRUE(hidseam::DescribeUsbDevice("/dev/hidraw0", facts));
    EXPECT_FALSE(facts.allInterfacesShown);
    // Off USB (uhid) there is no USB device; other paths are not looked at.
    AddNode("hidraw1", "/sys/devices/virtual/misc/uhid/0003:0911:0C1C.0002");
    EXPECT_FALSE(hidseam::DescribeUsbDevice("/dev/hidraw1", facts));
    EXPECT_FALSE(hidseam::DescribeUsbDevice("/dev/../etc/passwd", facts));
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

// A node the user may not open yet: its ids come from the HID device's name, and the trace line
// says what the installed rule gives.
TEST_F(FakeSysfs, ANodesIdsWithoutOpeningItAndWhatTheRuleGives) {
    AddNode("hidraw4", kUsbDevice + "/1-2:1.0/0003:0911:091A.0007");
    AddNode("hidraw5", "/sys/devices/virtual/misc/uhid/0003:09X1:091A.0008");
    uint16_t vendor = 0, product = 0;
    ASSERT_TRUE(hidraw::NodeIds("/dev/hidraw4", vendor, product));
    EXPECT_EQ(vendor, 0x0911);
    EXPECT_EQ(product, 0x091A);
    EXPECT_FALSE(hidraw::NodeIds("/dev/hidraw5", vendor, product));
    EXPECT_FALSE(hidraw::NodeIds("/dev/hidraw6", vendor, product));

    EXPECT_EQ(hidraw::RuleHint(), "\"/etc/udev/rules.d/70-tovusb.rules\" is missing: tovusb-setup install writes it");
    MakeFolder("/etc/udev/rules.d");
    Write("/etc/udev/rules.d/70-tovusb.rules", "SUBSYSTEM==\"hidraw\", KERNELS==\"*:0911:091A.*\", TAG+=\"uaccess\"\n");
    EXPECT_EQ(hidraw::RuleHint(), "\"/etc/udev/rules.d/70-tovusb.rules\" gives the devices to users with a seat only: "
                                  "where the user has none, install it with tovusb-setup install --group NAME");
    Write("/etc/udev/rules.d/70-tovusb.rules",
          "SUBSYSTEM==\"hidraw\", KERNELS==\"*:0911:091A.*\", TAG+=\"uaccess\", GROUP=\"plugdev\", MODE=\"0660\"\n");
    EXPECT_EQ(hidraw::RuleHint(), "\"/etc/udev/rules.d/70-tovusb.rules\" gives the devices to users with a seat and to "
                                  "the group \"plugdev\": check that this user has a seat or is in that group");
}
