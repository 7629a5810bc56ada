// Kernel uevent messages and udev's action/node pairs as the device monitors read them.
#include <gtest/gtest.h>

#include <string>

#include "NodeEvent.h"

using hidraw::NodeEvent;

namespace {

bool ParseText(const std::string& message, NodeEvent& event) {
    return hidraw::ParseKernelUevent(message.data(), message.size(), event);
}

std::string Uevent(const std::string& action, const std::string& subsystem, const std::string& devname) {
    const std::string devpath = "/devices/virtual/misc/uhid/0003:0911:0C1C.0001/hidraw/" + devname;
    std::string m = action + "@" + devpath + std::string(1, '\0');
    m += "ACTION=" + action + std::string(1, '\0');
    m += "DEVPATH=" + devpath + std::string(1, '\0');
    m += "SUBSYSTEM=" + subsystem + std::string(1, '\0');
    m += "MAJOR=243" + std::string(1, '\0') + "MINOR=0" + std::string(1, '\0');
    m += "DEVNAME=" + devname + std::string(1, '\0');
    m += "SEQNUM=2071" + std::string(1, '\0');
    return m;
}

}  // namespace

TEST(KernelUevent, HidrawArrivalAndRemoval) {
    NodeEvent event;
    ASSERT_TRUE(ParseText(Uevent("add", "hidraw", "hidraw3"), event));
    EXPECT_EQ(NodeEvent::kArrival, event.kind);
    EXPECT_EQ("/dev/hidraw3", event.node);
    ASSERT_TRUE(ParseText(Uevent("remove", "hidraw", "hidraw12"), event));
    EXPECT_EQ(NodeEvent::kRemoval, event.kind);
    EXPECT_EQ("/dev/hidraw12", event.node);
}

TEST(KernelUevent, TheLastPairNeedsNoNul) {
    std::string m = Uevent("add", "hidraw", "hidraw0");
    m.pop_back();
    NodeEvent event;
    ASSERT_TRUE(ParseText(m, event));
    EXPECT_EQ("/dev/hidraw0", event.node);
}

TEST(KernelUevent, OtherMessagesAreSkipped) {
    NodeEvent event;
    EXPECT_FALSE(ParseText(Uevent("change", "hidraw", "hidraw0"), event));
    EXPECT_FALSE(ParseText(Uevent("bind", "hidraw", "hidraw0"), event));
    EXPECT_FALSE(ParseText(Uevent("add", "hid", "hidraw0"), event));
    EXPECT_FALSE(ParseText(Uevent("add", "input", "input5"), event));
    // A device name that would lead out of /dev, or is no hidraw node.
    EXPECT_FALSE(ParseText(Uevent("add", "hidraw", "../etc/passwd"), event));
    EXPECT_FALSE(ParseText(Uevent("add", "hidraw", "hidraw0/x"), event));
    EXPECT_FALSE(ParseText(Uevent("add", "hidraw", "sda"), event));
    // udev's daemon's messages carry a "libudev" header, not "ACTION@DEVPATH".
    std::string udev = std::string("libudev\0", 8) + std::string("\xfe\xed\xca\xfe", 4) +
                       "ACTION=add" + std::string(1, '\0') + "SUBSYSTEM=hidraw" + std::string(1, '\0') +
                       "DEVNAME=/dev/hidraw0" + std::string(1, '\0');
    EXPECT_FALSE(ParseText(udev, event));
    // No header at all, an empty message, one too long.
    EXPECT_FALSE(ParseText("ACTION=add", event));
    EXPECT_FALSE(hidraw::ParseKernelUevent("", 0, event));
    EXPECT_FALSE(hidraw::ParseKernelUevent(nullptr, 10, event));
    std::string huge = Uevent("add", "hidraw", "hidraw0");
    huge.resize(hidraw::kMaxUeventSize + 1, 'x');
    EXPECT_FALSE(ParseText(huge, event));
}

TEST(KernelUevent, DuplicateKeysTakeTheLastValue) {
    // A repeated key does not confuse the parse: the last value counts, as in an environment.
    std::string m = Uevent("add", "hidraw", "hidraw0") + "SUBSYSTEM=input" + std::string(1, '\0');
    NodeEvent event;
    EXPECT_FALSE(ParseText(m, event));
}

TEST(UdevEvent, ActionAndNode) {
    NodeEvent event;
    ASSERT_TRUE(hidraw::MakeNodeEvent("add", "/dev/hidraw4", event));
    EXPECT_EQ(NodeEvent::kArrival, event.kind);
    EXPECT_EQ("/dev/hidraw4", event.node);
    ASSERT_TRUE(hidraw::MakeNodeEvent("remove", "/dev/hidraw4", event));
    EXPECT_EQ(NodeEvent::kRemoval, event.kind);
    EXPECT_FALSE(hidraw::MakeNodeEvent("change", "/dev/hidraw4", event));
    EXPECT_FALSE(hidraw::MakeNodeEvent("add", "/dev/input/event3", event));
    EXPECT_FALSE(hidraw::MakeNodeEvent(nullptr, "/dev/hidraw4", event));
    EXPECT_FALSE(hidraw::MakeNodeEvent("add", nullptr, event));  // a device without a node
}
