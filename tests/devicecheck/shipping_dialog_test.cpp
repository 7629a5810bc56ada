// The shipping device check on Wine's own HID stack: Wine's mouse and keyboard interfaces are the
// only HID devices there, so they must be counted as other HID devices and nothing listed. A prefix
// without any HID interface fails the test: the shipping SetupAPI code would not have run.
#include <windows.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "DeviceCheckProgram.h"
#include "TestFolder.h"

namespace devicechecktest {
namespace {

constexpr int kDeviceList = 1031, kOtherHID = 1032, kLEDOn = 1035;

// The HID interfaces SetupAPI enumerates, counted directly.
int PresentHIDInterfaces() {
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO set = SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    while (SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, static_cast<DWORD>(count), &data)) ++count;
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

TEST(ShippingDialogTest, WinesHIDInterfacesAreCountedAsOtherDevicesAndNothingIsListed) {
    const int present = PresentHIDInterfaces();
    ASSERT_GT(present, 0) << "this Wine prefix shows no HID interface; the shipping HID code cannot be checked";

    TestFolder folder;
    DeviceCheckProgram program(TOV_DEVICECHECK_PATH, folder.path, "TovaroCitrixVCDeviceCheck");
    ASSERT_TRUE(program.dialog);
    EXPECT_TRUE(program.ListLines(kDeviceList).empty());
    const std::string expected =
        present == 1 ? std::string("1 other HID device") : std::to_string(present) + " other HID devices";
    EXPECT_EQ(expected, program.Text(kOtherHID));
    EXPECT_FALSE(program.Enabled(kLEDOn));
    // No listing error and no device event.
    EXPECT_TRUE(program.Events().empty()) << program.Events()[0];
}

}  // namespace
}  // namespace devicechecktest
