// The driver's program as the session user (SessionUser.h): the udev rule of tovusb-setup reaches
// the supported devices' nodes and no other, and the udev monitor's loss path through udevd
// announces a foot switch plugged while a flood of uevents overflowed the monitor's socket (the
// session user cannot raise its buffer above net.core.rmem_max), though the listing after the
// loss finds its node before udevd has given it to the user. Runs in the VM with udevd
// (scripts/test-steps/vm.sh).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>

#include "DriverSession.h"
#include "MessageEncoder.h"
#include "SessionUser.h"
#include "UhidDevice.h"

using namespace uhidplayer;
using namespace vmtest;
using namespace std::chrono_literals;

namespace {

constexpr auto kWait = 20s;
constexpr ObjectHandle kManager = 0x5E55;

// Messages the kernel dropped for this process's udev monitor socket (NETLINK_KOBJECT_UEVENT bound
// to udev's group 2): its Drops in /proc/net/netlink, found by the socket's inode among this
// process's descriptors; -1 without such a socket.
long MonitorDrops() {
    std::ifstream table("/proc/net/netlink");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string sk, groups;
        long protocol = 0, pid = 0, rmem = 0, wmem = 0, dump = 0, locks = 0, drops = 0, inode = 0;
        fields >> sk >> protocol >> pid >> groups >> rmem >> wmem >> dump >> locks >> drops >> inode;
        if (protocol != 15 || groups != "00000002") continue;
        const std::string wanted = "socket:[" + std::to_string(inode) + "]";
        for (int fd = 0; fd < 1024; ++fd) {
            char target[64] = {};
            if (readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1) > 0 &&
                wanted == target)
                return drops;
        }
    }
    return -1;
}

TEST(SessionUserVm, TheRuleGivesTheSessionUserTheSupportedNodeOnly) {
    EXPECT_EQ(getuid(), kSessionUserId);
    EXPECT_EQ(geteuid(), kSessionUserId);
    gid_t groups[64];
    const int n = getgroups(64, groups);
    EXPECT_NE(std::find(groups, groups + std::max(n, 0), kSessionGroupId), groups + std::max(n, 0));

    UhidDevice mouse(*FindUhidModel("PlainMouse"), 0);
    UhidDevice handset(*FindUhidModel("SpeechMikeIII"), 0);
    const std::string mouseNode = mouse.WaitForNode(10s), handsetNode = handset.WaitForNode(10s);
    ASSERT_FALSE(mouseNode.empty());
    ASSERT_FALSE(handsetNode.empty());
    ASSERT_TRUE(WaitUntilUsable(handsetNode, kWait)) << handsetNode << " never became the session user's";
    struct stat st {};
    ASSERT_EQ(stat(handsetNode.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, kSessionGroupId);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    const int fd = open(handsetNode.c_str(), O_RDWR | O_CLOEXEC);
    EXPECT_GE(fd, 0) << handsetNode;
    if (fd >= 0) close(fd);
    const int refused = open(mouseNode.c_str(), O_RDWR | O_CLOEXEC);
    const int error = errno;
    EXPECT_LT(refused, 0) << "the session user opened the unsupported mouse's " << mouseNode;
    if (refused >= 0) close(refused);
    else EXPECT_EQ(error, EACCES);
}

TEST(SessionUserVm, AFootSwitchListedAfterAFloodBeforeUdevdGaveItToTheUserIsAnnounced) {
    DriverSession& s = DriverSession::Get();
    ASSERT_TRUE(s.Started());
    ASSERT_TRUE(s.Command(ServerProxy::EncodeCreateManager(kManager)));
    const long dropsBefore = MonitorDrops();
    ASSERT_GE(dropsBefore, 0) << "the driver has no udev monitor socket";
    // The flood: "change" uevents of an unsupported mouse's node, which the monitor's filter
    // (subsystem hidraw) lets through.
    UhidDevice mouse(*FindUhidModel("PlainMouse"), 0);
    const std::string mouseNode = mouse.WaitForNode(10s);
    ASSERT_FALSE(mouseNode.empty());
    const size_t from = s.SentCount();
    std::unique_ptr<UhidDevice> foot;
    std::string node;
    bool flooded = false, overflowed = false;
    // Nobody polls while the flood fills the monitor's socket until the kernel drops messages for
    // it; the flood goes in batches of 50, each followed by up to 5 s for the drops to show. Then
    // udevd works the flood off and is held, and the foot switch is plugged: its node is still
    // root's when the next poll finds the loss and lists the nodes again, so the listing's probe is
    // refused, and udevd's own "add" comes only after that listing.
    struct Release {
        ~Release() { HoldUdevQueue(false); }
    } release;
    s.Sim().RunOnEngine([&] {
        for (int batch = 0; batch < 20 && !overflowed; ++batch) {
            flooded = FloodUevents(mouseNode, 50);
            if (!flooded) return;
            overflowed = WaitUntil([&] { return MonitorDrops() > dropsBefore; }, 5s);
        }
        if (!overflowed || !SettleUdev() || !HoldUdevQueue(true)) return;
        foot = std::make_unique<UhidDevice>(*FindUhidModel("Footswitch"), 0);
        node = foot->WaitForNode(10s);
    });
    ASSERT_TRUE(flooded) << "the flood could not be written";
    ASSERT_TRUE(overflowed) << "the flood did not overflow the monitor's socket";
    ASSERT_FALSE(node.empty());
    EXPECT_NE(access(node.c_str(), R_OK | W_OK), 0) << node << " was the user's before udevd handled it";
    // The listing's probe runs at once on the manager's probe thread; udevd stays held a second
    // longer, so that it surely comes before the rule. The outcome is what follows the release.
    s.Sim().PollOnce();
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(HoldUdevQueue(false));
    ASSERT_TRUE(WaitUntilUsable(node, kWait)) << node << " never became the session user's";
    ASSERT_TRUE(s.WaitForMessage(from, [](const ChannelMessage& m) { return m.code == 7; }, 60s))
        << "the foot switch was not announced";
    EXPECT_EQ(s.BlocksFrom(from).front(),
              ConnectEventBytes(7, kManager, DescriptorBytes(0, "Philips Footswitch", node, 3, 0x0911, 0x091A, 0, "", 2, 0)));
    foot->Destroy();
    EXPECT_TRUE(s.Command(ServerProxy::EncodeDeleteManager(kManager)));
    EXPECT_TRUE(SettleUdev()) << "udevd did not work off the flood";
}

}  // namespace
