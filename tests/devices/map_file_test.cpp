// The hardware button map read from HardwareButtonMap.ini in the working directory. The map is
// loaded once per process, so this program prepares its file before the first button event. Each
// case holds in a process of its own and in any order after the others.
#include <gtest/gtest.h>

#include <cstdio>

#include "HardwareButtonMap.h"
#include "SimDeviceSupport.h"

using namespace simtest;

namespace {

class MapFileEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        FILE* file = std::fopen("HardwareButtonMap.ini", "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("[Other]\r\n3=99\r\n1=98\r\n"
                   "[HardwareButtonMap]\r\n3=20\r\n3=21\r\n 5 = 7x\r\nabc=9\r\n16=-4\r\n",
                   file);
        std::fclose(file);
    }
    void TearDown() override { std::remove("HardwareButtonMap.ini"); }
};

const ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new MapFileEnvironment);

}  // namespace

// The first lookups of the process come from two reader threads at once.
TEST_F(BusTest, TwoDevicesReportTheirFirstButtonsThroughTheMap) {
    int left = Plug("SpeechMikeIII");
    int right = Plug("SpeechMikeIII");
    RecordingDevice a, b;
    ASSERT_TRUE(a.ConnectToDevice(0, 0, DevicePath(left)));
    ASSERT_TRUE(b.ConnectToDevice(0, 0, DevicePath(right)));
    Send(left, Report(10, {{1, 0x80}, {9, 0x11}}));   // codes 3 and 5
    Send(right, Report(10, {{1, 0x80}, {9, 0x21}}));  // codes 3 and 2
    EXPECT_EQ(a.WaitForEvents(2), (Events{{20, 1}, {7, 1}}));
    EXPECT_EQ(b.WaitForEvents(2), (Events{{20, 1}, {2, 1}}));
}

TEST(HardwareButtonMapTest, FirstLineWinsAndUnmappedCodesPassUnchanged) {
    EXPECT_EQ(MapHardwareButton(3), 20);
    EXPECT_EQ(MapHardwareButton(5), 7);
    EXPECT_EQ(MapHardwareButton(16), -4);
    EXPECT_EQ(MapHardwareButton(0), 9);  // "abc" converts to 0
    EXPECT_EQ(MapHardwareButton(1), 1);  // the other section's 1=98 is not read
    EXPECT_EQ(MapHardwareButton(2), 2);
    EXPECT_EQ(MapHardwareButton(-7), -7);
}

TEST(HardwareButtonMapTest, ChangesToTheFileNeedANewProcess) {
    EXPECT_EQ(MapHardwareButton(3), 20);  // loaded now, if no earlier case did
    FILE* file = std::fopen("HardwareButtonMap.ini", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("[HardwareButtonMap]\r\n3=33\r\n2=22\r\n", file);
    std::fclose(file);
    EXPECT_EQ(MapHardwareButton(3), 20);
    EXPECT_EQ(MapHardwareButton(2), 2);
}
