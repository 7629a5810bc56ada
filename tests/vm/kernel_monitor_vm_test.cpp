// The driver as the session user on a thin client where udevd runs but libudev.so.1 cannot be
// loaded: the hidraw backend then reads the kernel's own uevents, which come before udevd has given
// the node to the user, so the first probe of a device plugged in is refused. The arrival must
// still be announced once udevd applied the rule, and so must its removal. A program of its own, so
// that nothing has loaded libudev into its process before. Runs in the VM with udevd
// (scripts/test-steps/vm.sh).
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "DriverSession.h"
#include "MessageEncoder.h"
#include "SessionUser.h"
#include "UhidDevice.h"

using namespace uhidplayer;
using namespace vmtest;
using namespace std::chrono_literals;

namespace {

constexpr ObjectHandle kManager = 0x4B4D;

TEST(KernelMonitorVm, AFootSwitchTheUserMayOpenOnlyLaterIsAnnouncedAndSoIsItsRemoval) {
    ASSERT_TRUE(HideLibudev(true)) << "libudev.so.1 could not be hidden";
    // Whatever fails below, udevd's queue runs again and libudev is back for the next program.
    struct Restore {
        ~Restore() {
            HoldUdevQueue(false);
            HideLibudev(false);
        }
    } restore;
    DriverSession& s = DriverSession::Get();
    ASSERT_TRUE(s.Started());
    ASSERT_TRUE(s.Command(ServerProxy::EncodeCreateManager(kManager)));
    EXPECT_EQ(MappingsOf("/libudev.so.1"), 0) << "the driver loaded libudev";

    ASSERT_TRUE(HoldUdevQueue(true));
    const size_t from = s.SentCount();
    UhidDevice foot(*FindUhidModel("Footswitch"), 0);
    const std::string node = foot.WaitForNode(10s);
    ASSERT_FALSE(node.empty());
    EXPECT_NE(access(node.c_str(), R_OK | W_OK), 0) << node << " was the user's before udevd handled it";
    // A poll hands the kernel's "add" to the manager, whose probe thread tries the node at once and
    // is refused. udevd stays held a second longer, so that the try surely comes before the rule;
    // the outcome is what follows the release.
    s.Sim().PollOnce();
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(HoldUdevQueue(false));
    ASSERT_TRUE(WaitUntilUsable(node, 20s)) << node << " never became the session user's";
    ASSERT_TRUE(s.WaitForMessage(from, [](const ChannelMessage& m) { return m.code == 7; }, 20s))
        << "the foot switch was not announced";
    EXPECT_EQ(s.BlocksFrom(from).front(),
              ConnectEventBytes(7, kManager, DescriptorBytes(0, "Philips Footswitch", node, 3, 0x0911, 0x091A, 0, "", 2, 0)));

    const size_t removal = s.SentCount();
    foot.Destroy();
    EXPECT_TRUE(s.WaitForMessage(removal, [](const ChannelMessage& m) { return m.code == 8; }, 20s))
        << "the foot switch's removal was not announced";
    EXPECT_TRUE(s.Command(ServerProxy::EncodeDeleteManager(kManager)));
}

}  // namespace
