// The ICA Client may unload the driver (VdClose, VdUnload, dlclose) while its process lives on, and
// load it again. On the kernel's HID stack, with udevd running: after the unload no thread,
// descriptor or mapping the driver made may remain (its readers, the hidraw node, the device
// monitor's socket, libudev, the module itself), and the next load starts clean. A program of its
// own, so that nothing else loaded the driver or libudev into the process. Runs in the VM
// (scripts/test-steps/vm.sh).
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "DriverSession.h"
#include "SessionUser.h"
#include "MessageDecoder.h"
#include "MessageEncoder.h"
#include "UhidDevice.h"

using namespace uhidplayer;
using namespace vmtest;
using namespace std::chrono_literals;

namespace {

constexpr ObjectHandle kManager = 0x00C0FFE3;
constexpr ObjectHandle kDevice = 0x2700;
constexpr auto kWait = 20s;

std::string ModuleFile() {
    char resolved[PATH_MAX] = {0};
    return realpath(DriverPath().c_str(), resolved) ? resolved : DriverPath();
}

TEST(UnloadVm, NothingOfTheDriverRemainsAfterTheUnloadAndTheNextLoadStartsClean) {
    using namespace ServerProxy;
    UhidDevice handset(*FindUhidModel("SpeechMikeIIPro"), 0);
    const std::string node = handset.WaitForNode(10s);
    ASSERT_FALSE(node.empty());
    ASSERT_TRUE(WaitUntilUsable(node, 20s)) << node << " never became the session user's";
    const int threadsBefore = Threads(), descriptorsBefore = Descriptors();
    ASSERT_EQ(MappingsOf(ModuleFile()), 0);
    ASSERT_EQ(MappingsOf("/libudev.so.1"), 0) << "this program maps libudev itself";

    // A working session: a manager (its device monitor: udevd runs, so libudev's), the hand-set
    // connected and its reader delivering a button.
    std::unique_ptr<DriverSession> first = DriverSession::OpenOwn();
    ASSERT_TRUE(first->Started());
    ASSERT_TRUE(first->Command(EncodeCreateManager(kManager)));
    USBButtonDeviceDescriptor descriptor;
    bool listed = false;
    for (const USBButtonDeviceDescriptor& d : first->List(kManager)) {
        if (d.hidInfo.devicePath == node) {
            descriptor = d;
            listed = true;
        }
    }
    ASSERT_TRUE(listed) << node << " is not listed";
    ASSERT_TRUE(first->Command(EncodeCreateDevice(kDevice)));
    ASSERT_TRUE(first->Command(EncodeInitDevice(kDevice, descriptor)));
    ASSERT_TRUE(first->Command(EncodeConnectDevice(kDevice, true)));
    ASSERT_TRUE(WaitUntil([&] { return OpenOn(node) > 0; }, kWait));
    const size_t from = first->SentCount();
    handset.SendReport({0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0x20});  // button 2 pressed
    ASSERT_TRUE(first->WaitForMessage(from, [](const ChannelMessage& m) { return m.code == 21; }, kWait));
    EXPECT_GT(Threads(), threadsBefore);
    EXPECT_GT(MappingsOf(ModuleFile()), 0);
    EXPECT_GT(MappingsOf("/libudev.so.1"), 0) << "the manager's monitor is not libudev's";

    // Unloaded with the device still connected, as a client that ends the session does.
    EXPECT_TRUE(first->Unload());
    first.reset();
    EXPECT_TRUE(WaitUntil([&] { return Threads() == threadsBefore; }, kWait))
        << Threads() << " threads, " << threadsBefore << " before the session";
    EXPECT_EQ(Descriptors(), descriptorsBefore);
    EXPECT_EQ(OpenOn(node), 0);
    EXPECT_EQ(MappingsOf(ModuleFile()), 0) << "the module stays mapped after dlclose";
    EXPECT_EQ(MappingsOf("/libudev.so.1"), 0) << "libudev stays mapped after the driver's unload";

    // The next load knows nothing of the first session: its first block is the reply to its first
    // command, and the device handle of the first session is unknown (nothing opens the node).
    std::unique_ptr<DriverSession> second = DriverSession::OpenOwn();
    ASSERT_TRUE(second->Started());
    ASSERT_TRUE(second->Command(EncodeConnectDevice(kDevice, true)));
    ASSERT_TRUE(second->Command(EncodeCreateManager(kManager)));
    const std::vector<ChannelMessage> sent = second->SentFrom(0);
    ASSERT_EQ(sent.size(), 2u) << "a block of the first session was sent";
    EXPECT_EQ(sent[0].code, static_cast<uint32_t>(MessageType::ConnectDeviceReply));
    EXPECT_EQ(sent[0].handle, kDevice);
    EXPECT_EQ(OpenOn(node), 0) << "the first session's device was connected again";
    EXPECT_TRUE(second->Unload());
    second.reset();
    EXPECT_TRUE(WaitUntil([&] { return Threads() == threadsBefore; }, kWait));
    EXPECT_EQ(Descriptors(), descriptorsBefore);
    EXPECT_EQ(MappingsOf(ModuleFile()), 0);
}

}  // namespace
