// The names of listed devices and the order of known interfaces.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "DeviceNames.h"

namespace {

USBButtonDeviceDescriptor Device(const std::string& path, const std::string& name) {
    USBButtonDeviceDescriptor descriptor;
    descriptor.name = name;
    descriptor.hidInfo.devicePath = path;
    return descriptor;
}

std::vector<std::string> Names(const std::list<USBButtonDeviceDescriptor>& devices) {
    std::vector<std::string> names;
    for (const auto& device : devices) names.push_back(device.name);
    return names;
}

}  // namespace

TEST(MakeNamesUniqueTest, SortsByPathAndNumbersRepeatedNames) {
    std::list<USBButtonDeviceDescriptor> devices = {
        Device("\\\\?\\hid#c", "Philips SpeechMike III"),
        Device("\\\\?\\hid#a", "Philips SpeechMike III"),
        Device("\\\\?\\hid#b", "Philips SpeechMike II Pro"),
    };
    MakeNamesUnique(devices);
    EXPECT_EQ(Names(devices), (std::vector<std::string>{"Philips SpeechMike III",
                                                        "Philips SpeechMike II Pro",
                                                        "Philips SpeechMike III (2)"}));
    EXPECT_EQ(devices.back().hidInfo.devicePath, "\\\\?\\hid#c");
}

TEST(MakeNamesUniqueTest, OneCounterServesAllNames) {
    std::list<USBButtonDeviceDescriptor> devices = {
        Device("4", "B"), Device("1", "A"), Device("3", "A"), Device("2", "B"), Device("5", "A"),
    };
    MakeNamesUnique(devices);
    EXPECT_EQ(Names(devices), (std::vector<std::string>{"A", "B", "A (2)", "B (3)", "A (4)"}));
}

TEST(MakeNamesUniqueTest, EqualPathsKeepTheirOrderAndSuffixedNamesAreNotSeen) {
    // A name that happens to equal a suffixed one is not renamed by it: suffixes are not entered.
    std::list<USBButtonDeviceDescriptor> devices = {
        Device("p", "A"), Device("p", "A"), Device("q", "A (2)"),
    };
    devices.front().id = 1;
    MakeNamesUnique(devices);
    EXPECT_EQ(Names(devices), (std::vector<std::string>{"A", "A (2)", "A (2)"}));
    EXPECT_EQ(devices.front().id, 1);
    std::list<USBButtonDeviceDescriptor> none;
    MakeNamesUnique(none);
    EXPECT_TRUE(none.empty());
}

TEST(KnownDeviceOrderTest, PathDecidesUnlessBothAreEmpty) {
    USBHIDDeviceInfoLess less;
    USBHIDDeviceInfo a, b;
    a.devicePath = "path-a";
    a.vendorID = 9;
    b.devicePath = "path-a";
    b.vendorID = 1;
    b.versionNumber = 7;
    EXPECT_FALSE(less(a, b));  // same path: one key, whatever the other fields
    EXPECT_FALSE(less(b, a));
    b.devicePath = "path-b";
    EXPECT_TRUE(less(a, b));
    a.devicePath.clear();
    b.devicePath.clear();
    EXPECT_TRUE(less(b, a));  // vendor 1 before 9
    a.vendorID = b.vendorID = 0x0911;
    a.productID = -1;  // compared unsigned: 0xFFFFFFFF is the largest
    b.productID = 0x0C1C;
    EXPECT_TRUE(less(b, a));
    EXPECT_FALSE(less(a, b));
}
