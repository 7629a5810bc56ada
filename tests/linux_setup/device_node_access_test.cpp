// Which hidraw nodes uninstall gives back, against a fake sysfs and /dev below a root of their own.
// The change of a real node's owner and mode needs a real character device; the VM's udev test does
// that (tests/vm/udev_rules_vm_test.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "DeviceNodeAccess.h"
#include "HidrawSysfs.h"
#include "ScratchFolder.h"

using namespace linuxsetup;

TEST(HidDeviceName, GivesTheIdsOfWellFormedNamesOnly) {
    uint16_t vendor = 0, product = 0;
    EXPECT_TRUE(ParseHidDeviceName("0003:0911:149A.0001", vendor, product));
    EXPECT_EQ(vendor, 0x0911);
    EXPECT_EQ(product, 0x149A);
    EXPECT_TRUE(ParseHidDeviceName("0005:15d8:0025.1A2B3", vendor, product));
    EXPECT_EQ(vendor, 0x15D8);
    EXPECT_EQ(product, 0x0025);
    for (const char* bad : {"", "0003:0911:149A", "0003:0911:149A.", "0003-0911:149A.0001", "0003:911:149AB.0001",
                            "0003:0911:149A.00G1", "0003:0911:149A.000000001", "hidraw0", "0003:0911:149A.0001/x"}) {
        EXPECT_FALSE(ParseHidDeviceName(bad, vendor, product)) << bad;
    }
}

namespace {

class NodeTree : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.Made());
        root = scratch.Path();
        hidraw::SetSystemRoot(root);
        ASSERT_TRUE(scratch.MakeFolder("dev"));
        ASSERT_TRUE(scratch.MakeFolder("sys/class/hidraw"));
    }
    void TearDown() override { hidraw::SetSystemRoot(""); }
    // hidrawN of the HID device `hidName`, with sysfs's dev file when `dev` is not empty and a
    // plain file (not a character device) at /dev/hidrawN.
    void AddNode(const std::string& node, const std::string& hidName, const std::string& dev) {
        const std::string hid = "sys/devices/virtual/misc/uhid/" + hidName;
        ASSERT_TRUE(scratch.MakeFolder(hid + "/hidraw/" + node));
        ASSERT_EQ(0, symlink((root + "/" + hid + "/hidraw/" + node).c_str(), (root + "/sys/class/hidraw/" + node).c_str()));
        ASSERT_EQ(0, symlink((root + "/" + hid).c_str(), (root + "/" + hid + "/hidraw/" + node + "/device").c_str()));
        if (!dev.empty()) std::ofstream(root + "/" + hid + "/hidraw/" + node + "/dev") << dev << "\n";
        std::ofstream(root + "/dev/" + node) << "not a device";
        ASSERT_EQ(0, chmod((root + "/dev/" + node).c_str(), 0660));
    }
    mode_t ModeOf(const std::string& node) {
        struct stat info {};
        EXPECT_EQ(0, lstat((root + "/dev/" + node).c_str(), &info));
        return info.st_mode & 07777;
    }
    ScratchFolder scratch{"tovusb-nodes"};
    std::string root;
};

const std::vector<DeviceModel> kModels = {{0x0911, 0x149A, "Philips SpeechMike II Pro"},
                                          {0x15D8, 0x0025, "Grundig Digta"}};

}  // namespace

TEST_F(NodeTree, OnlySupportedModelsAreTakenAndSomethingElseAtTheNodePathIsLeftAlone) {
    AddNode("hidraw0", "0003:046D:C077.0001", "247:0");  // a mouse: not ours
    AddNode("hidraw1", "0003:0911:149A.0002", "247:1");  // supported, but /dev/hidraw1 is a plain file
    AddNode("hidraw2", "0003:15D8:0025.0003", "");       // supported, no device number in sysfs
    AddNode("hidraw3", "0003:0911:0C1C.0004", "247:3");  // a model that is not in the list given

    const std::vector<NodeReset> resets = ResetSupportedNodes(kModels);
    ASSERT_EQ(resets.size(), 2u);
    EXPECT_EQ(resets[0].node, "/dev/hidraw1");
    EXPECT_EQ(resets[0].model, "Philips SpeechMike II Pro");
    EXPECT_FALSE(resets[0].done);
    EXPECT_EQ(resets[0].why, "it is not the character device 247:1 that sysfs names");
    EXPECT_EQ(resets[1].node, "/dev/hidraw2");
    EXPECT_EQ(resets[1].model, "Grundig Digta");
    EXPECT_FALSE(resets[1].done);
    EXPECT_EQ(resets[1].why, "sysfs gives no device number for it");
    for (const char* node : {"hidraw0", "hidraw1", "hidraw2", "hidraw3"}) EXPECT_EQ(ModeOf(node), 0660u) << node;
}

TEST_F(NodeTree, NoNodesNothingToGiveBack) { EXPECT_TRUE(ResetSupportedNodes(kModels).empty()); }
