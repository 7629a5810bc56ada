// A HardwareButtonMap.ini created after the first button event of the process has no effect.
#include <gtest/gtest.h>

#include <cstdio>

#include "HardwareButtonMap.h"
#include "SimDeviceSupport.h"

using namespace simtest;

TEST_F(BusTest, AMapFileCreatedAfterTheFirstEventIsNotRead) {
    std::remove("HardwareButtonMap.ini");
    int id = Plug("FootswitchLFH0210");
    RecordingDevice device;
    ASSERT_TRUE(device.ConnectToDevice(0, 0, ""));
    Send(id, Report(2, {{1, 0x01}}));  // code 5: the first lookup of the process
    EXPECT_EQ(device.WaitForEvents(1), (Events{{5, 1}}));

    FILE* file = std::fopen("HardwareButtonMap.ini", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("[HardwareButtonMap]\r\n5=50\r\n7=70\r\n", file);
    std::fclose(file);
    Send(id, Report(2, {{1, 0x04}}));  // 5 released, 7 pressed
    EXPECT_EQ(device.WaitForEvents(2), (Events{{5, 1}, {5, 0}, {7, 1}}));
    EXPECT_EQ(MapHardwareButton(5), 5);
    std::remove("HardwareButtonMap.ini");
}
