// The server can hand the driver any path in InitDevice; the driver in the simulated ICA Client
// opens only the ones the bus lists now. The bus's open log shows every path the driver handed
// to the seam's open call.
#include <string>
#include <vector>

#include "SimModuleSession.h"

namespace {

using namespace ServerProxy;

constexpr ObjectHandle kDevice = 0x2000;
constexpr ObjectHandle kOther = 0x3000;

class ServerPaths : public SimModuleSession {};

TEST_F(ServerPaths, InitAndConnectWithAPathTheBusDoesNotListOpenNothing) {
    const int listed = bus.Plug("SpeechMikeIII");
    const int unplugged = bus.Plug("Footswitch");
    const USBButtonDeviceDescriptor good = DescriptorOf("SpeechMikeIII", listed);
    const std::string unpluggedPath = PathOf(unplugged);
    ASSERT_EQ(bus.Unplug(unplugged), 1);
    std::string oneOff = good.hidInfo.devicePath;
    oneOff[oneOff.find("pid_") + 4] = '1';  // pid_0c1c -> pid_1c1c

    ASSERT_TRUE(Exchange(EncodeCreateDevice(kDevice)));
    for (const std::string& path : std::vector<std::string>{"\\\\127.0.0.1\\c$\\x", "\\\\?\\UNC\\host\\s\\x",
                                                            "\\\\.\\pipe\\x", "C:\\Windows\\win.ini",
                                                            unpluggedPath, oneOff}) {
        USBButtonDeviceDescriptor descriptor = good;
        descriptor.hidInfo.devicePath = path;
        ASSERT_TRUE(Exchange(EncodeInitDevice(kDevice, descriptor))) << path;
        SendRefused(EncodeConnectDevice(kDevice, true));
    }
    // Refused as an interface that cannot be opened: no reply, nothing connected.
    ASSERT_TRUE(Exchange(EncodeConnectDevice(kDevice, false)));
    EXPECT_EQ(bus.OpenCallCount(), 0) << OpenedPaths()[0];
    EXPECT_EQ(bus.MessageBoxCount(), 0);

    // The listed path: the check's probe, then the read and the write open.
    ASSERT_TRUE(Exchange(EncodeInitDevice(kDevice, good)));
    ASSERT_TRUE(Exchange(EncodeConnectDevice(kDevice, true)));
    EXPECT_EQ(OpenedPaths(), std::vector<std::string>(3, good.hidInfo.devicePath));
    EXPECT_EQ(bus.ReaderCount(listed), 1);

    // Assignment copies an open device's interface: once it is unplugged it is not opened again.
    ASSERT_TRUE(Exchange(EncodeCreateDevice(kOther)));
    ASSERT_EQ(bus.Unplug(listed), 1);
    const int opensBefore = bus.OpenCallCount();
    SendRefused(EncodeAssignDevice(kOther, kDevice));
    ASSERT_TRUE(Exchange(EncodeConnectDevice(kOther, false)));
    EXPECT_EQ(bus.OpenCallCount(), opensBefore);
    ASSERT_TRUE(Exchange(EncodeDeleteDevice(kOther)));
    ASSERT_TRUE(Exchange(EncodeDeleteDevice(kDevice)));
}

}  // namespace
