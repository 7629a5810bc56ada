// A device path from outside the driver is handed to the seam's open only when the bus lists it
// now; every other path is refused with the text of a path that cannot be opened, and the bus's
// open log proves that no open call saw it.
#include <string>
#include <vector>

#include "HIDSeam.h"
#include "ListedHIDInterface.h"
#include "SimBusTestSupport.h"

namespace {

class ListedPath : public SimBusTest {
protected:
    static std::vector<std::string> OpenedPaths() {
        std::vector<std::string> paths;
        for (int i = 0; i < TovSim_OpenCallCount(); ++i) {
            char path[1024] = {0};
            TovSim_OpenCallPath(i, path, sizeof(path));
            paths.push_back(path);
        }
        return paths;
    }

    static std::string OpenFailure(RecordingDevice& device) {
        try {
            device.Open();
        } catch (const std::string& text) {
            return text;
        }
        return "(nothing thrown)";
    }
};

// The listed path of a plugged interface with one character changed at position index.
std::string WithOneCharacterChanged(std::string path, size_t index) {
    path[index] = path[index] == '0' ? '1' : '0';
    return path;
}

TEST_F(ListedPath, PathsTheBusDoesNotListNeverReachTheOpenCall) {
    const int listed = TovSim_Plug("SpeechMikeIII");
    const int unplugged = TovSim_Plug("Footswitch");
    const std::string listedPath = PathOf(listed);
    const std::string unpluggedPath = PathOf(unplugged);
    ASSERT_EQ(TovSim_Unplug(unplugged), 1);
    DeliverNotifications();
    // "vid_0911": the digit after "vid_" changed.
    const size_t digit = listedPath.find("vid_") + 4;
    ASSERT_NE(listedPath.find("vid_"), std::string::npos);

    const std::vector<std::string> refused = {
        "\\\\127.0.0.1\\c$\\x",
        "\\\\?\\UNC\\host\\s\\x",
        "\\\\.\\pipe\\x",
        "C:\\Windows\\win.ini",
        "/etc/hostname",
        unpluggedPath,
        WithOneCharacterChanged(listedPath, digit),
        listedPath + "\\..\\..\\UNC\\host\\s",
        listedPath.substr(0, listedPath.size() - 1),
        "",
    };
    ASSERT_EQ(TovSim_OpenCallCount(), 0);
    for (const std::string& path : refused) {
        RecordingDevice device;
        device.Info().devicePath = path;
        device.Info().inputReportByteLength = 10;
        EXPECT_EQ(OpenFailure(device), "CreateFile of " + path + " for reading failed") << path;
        EXPECT_FALSE(device.IsOpen()) << path;
        EXPECT_FALSE(IsListedHIDInterface(path)) << path;
    }
    EXPECT_EQ(TovSim_OpenCallCount(), 0) << OpenedPaths()[0];

    // The listed one opens, in whatever case it is given: one read and one write open of it.
    // The record of a SpeechMike III as listed: ids, usage type and report lengths from the table.
    RecordingDevice device;
    device.Info().devicePath = listedPath;
    device.Info().usageType = 9;
    device.Info().vendorID = 0x0911;
    device.Info().productID = 0x0C1C;
    device.Info().inputReportByteLength = 10;
    device.Info().outputReportByteLength = 10;
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(OpenedPaths(), std::vector<std::string>(2, listedPath));
    device.Close();
    std::string upper = listedPath;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    EXPECT_TRUE(IsListedHIDInterface(upper));
    device.Info().devicePath = upper;
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(TovSim_OpenCallCount(), 4);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(ListedPath, AnInterfaceUnpluggedSinceItWasListedIsRefusedWithoutAnOpen) {
    const int id = TovSim_Plug("SpeechMikeAir");
    RecordingDevice device;
    ASSERT_TRUE(device.UseInterface(id));  // the probe: one query open
    ASSERT_EQ(TovSim_OpenCallCount(), 1);
    ASSERT_EQ(TovSim_Unplug(id), 1);
    const std::string path = device.Info().devicePath;
    EXPECT_EQ(OpenFailure(device), "CreateFile of " + path + " for reading failed");
    EXPECT_EQ(TovSim_OpenCallCount(), 1);

    // Plugged again (a new interface of the same model has a path of its own) and listed: the
    // old path stays refused, the new one opens.
    const int again = TovSim_Plug("SpeechMikeAir");
    EXPECT_EQ(OpenFailure(device), "CreateFile of " + path + " for reading failed");
    EXPECT_EQ(TovSim_OpenCallCount(), 1);
    ASSERT_TRUE(device.UseInterface(again));
    EXPECT_TRUE(device.Open());
}

TEST_F(ListedPath, AListThatCannotBeReadRefusesEveryPath) {
    const int id = TovSim_Plug("FootswitchLFH0210");
    const std::string path = PathOf(id);
    ASSERT_EQ(TovSim_FailNextOpen(0, TOVSIM_FAIL_ENUMERATION), 1);
    RecordingDevice device;
    device.Info().devicePath = path;
    device.Info().usageType = 3;
    device.Info().vendorID = 0x0911;
    device.Info().productID = 0x1844;
    device.Info().inputReportByteLength = 2;
    EXPECT_EQ(OpenFailure(device), "CreateFile of " + path + " for reading failed");
    EXPECT_EQ(TovSim_OpenCallCount(), 0);
    EXPECT_TRUE(device.Open()) << "the failure was for one enumeration only";
}

// Assignment opens the target on the source's path: an interface gone since the source opened
// it is not opened again.
TEST_F(ListedPath, AssignmentDoesNotReopenAPathThatIsNoLongerListed) {
    const int id = TovSim_Plug("FirestormGamepad");
    RecordingDevice source, target;
    ASSERT_TRUE(source.UseInterface(id));
    ASSERT_TRUE(source.Open());
    ASSERT_EQ(TovSim_Unplug(id), 1);
    const int opensBefore = TovSim_OpenCallCount();
    CUSBHIDDevice& base = target;
    try {
        base = source;
        ADD_FAILURE() << "the assignment opened a path that is no longer listed";
    } catch (const std::string& text) {
        EXPECT_EQ(text, "CreateFile of " + source.Info().devicePath + " for reading failed");
    }
    EXPECT_EQ(TovSim_OpenCallCount(), opensBefore);
    EXPECT_FALSE(target.IsOpen());
}

// The device-interface form of the simulated bus is that of SetupAPI's HID interface paths.
TEST(DeviceInterfacePathForm, OnlyHidInterfacePathsOfTheDeviceNamespaceHaveIt) {
    const char* const accepted[] = {
        "\\\\?\\hid#vid_0911&pid_0c1c&mi_00#sim&1#{4d1e55b2-f16f-11cf-88cb-001111000030}",
        "\\\\?\\HID#VID_845E&PID_0001#1&2d595ca7&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
    };
    for (const char* path : accepted) EXPECT_TRUE(hidseam::IsDeviceInterfacePathForm(path)) << path;
    const std::string tooLong = "\\\\?\\hid#" + std::string(600, 'a');
    const char* const refused[] = {
        "\\\\127.0.0.1\\c$\\x", "\\\\?\\UNC\\host\\s\\x", "\\\\.\\pipe\\x", "C:\\Windows\\win.ini",
        "\\\\?\\hid#", "\\\\?\\hid#a\\b", "\\\\?\\hid#a/b", "\\\\?\\hid#c:x", "\\\\?\\hid#a b",
        "\\\\?\\hid#a*", "\\\\.\\hid#vid_0911", "/dev/hidraw0", "\\\\?\\hid#\xe9", tooLong.c_str(),
    };
    for (const char* path : refused) EXPECT_FALSE(hidseam::IsDeviceInterfacePathForm(path)) << path;
}

#if !defined(_WIN32)
// hidraw node numbers are handed out again: a path listed for one device may reach another one
// later. What the opened handles answer must be the device of the record (ids, usage type, report
// lengths); anything else is refused as a path that cannot be opened, and nothing stays open.
// (A Windows interface path holds the ids and an instance id, so Windows does not ask.)
TEST_F(ListedPath, APathThatReachesAnotherDeviceThanItsRecordIsRefused) {
    const int foot = TovSim_Plug("FootswitchLFH0210");
    RecordingDevice probed;
    ASSERT_TRUE(probed.UseInterface(foot));
    // The foot switch as the table gives it, then each field changed by one.
    USBHIDDeviceInfo footSwitch;
    footSwitch.devicePath = probed.Info().devicePath;
    footSwitch.usageType = 3;
    footSwitch.vendorID = 0x0911;
    footSwitch.productID = 0x1844;
    footSwitch.inputReportByteLength = 2;
    footSwitch.outputReportByteLength = 0;
    std::vector<USBHIDDeviceInfo> others(5, footSwitch);
    others[0].vendorID = 0x0912;
    others[1].productID = 0x0C1C;  // a SpeechMike III's record on the foot switch's path
    others[2].usageType = 9;
    others[3].inputReportByteLength = 10;
    others[4].outputReportByteLength = 10;
    for (const USBHIDDeviceInfo& other : others) {
        RecordingDevice device;
        device.Info() = other;
        const int opensBefore = TovSim_OpenCallCount();
        EXPECT_EQ(OpenFailure(device), "CreateFile of " + other.devicePath + " for reading failed");
        EXPECT_GT(TovSim_OpenCallCount(), opensBefore) << "the handles were opened and asked";
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(TovSim_ReaderCount(foot), 0) << "a read handle stays open on a refused device";
    }
    EXPECT_EQ(TovSim_OpenCount(foot), 0) << "a refused opening left a handle open";
    RecordingDevice device;
    device.Info() = footSwitch;
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(TovSim_ReaderCount(foot), 1);
}
#endif

}  // namespace
