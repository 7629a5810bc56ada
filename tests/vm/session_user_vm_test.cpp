// The driver's program as the session user (SessionUser.h): the udev rule of tovusb-setup reaches
// the supported devices' nodes and no other. Runs in the VM with udevd (scripts/test-steps/vm.sh).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "SessionUser.h"
#include "UhidDevice.h"

using namespace uhidplayer;
using namespace vmtest;
using namespace std::chrono_literals;

namespace {

constexpr auto kWait = 20s;

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

}  // namespace
