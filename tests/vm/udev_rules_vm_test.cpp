// The udev rules of the shipping tovusb-setup under the VM's running systemd-udevd: installed with
// --group plugdev, they give a supported uhid device's hidraw node to group plugdev with mode 0660,
// so that the plain user "tovuser" (uid 1000, member of plugdev) can read and write it, and they
// leave an unsupported device's node as udev made it; uninstall removes them and gives the node of
// the device still plugged in back as udev made it, and the model plugged in again gets that too. Runs as root in the VM (scripts/test-steps/vm.sh); tovusb-setup and the driver it
// installs are /tov/tovusb-setup and /tov/VDTOVUSB.DLL ($TOV_VM_SETUP names another setup).
//
// Threads: the test's thread; a forked child plays tovuser; the uhid player's reader threads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "UhidDevice.h"

namespace {

using namespace std::chrono_literals;
using uhidplayer::FindUhidModel;
using uhidplayer::OutputReport;
using uhidplayer::UhidDevice;

constexpr gid_t kPlugdev = 46;
constexpr uid_t kUser = 1000;
constexpr const char* kRules = "/etc/udev/rules.d/70-tovusb.rules";

std::string SetupPath() {
    const char* path = std::getenv("TOV_VM_SETUP");
    return path && *path ? path : "/tov/tovusb-setup";
}

struct NodeState {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
    bool operator==(const NodeState& o) const { return uid == o.uid && gid == o.gid && mode == o.mode; }
};

std::ostream& operator<<(std::ostream& out, const NodeState& s) {
    return out << s.uid << ":" << s.gid << " " << std::oct << s.mode << std::dec;
}

NodeState StateOf(const std::string& node) {
    struct stat st {};
    NodeState s;
    if (stat(node.c_str(), &st) == 0) s = {st.st_uid, st.st_gid, static_cast<mode_t>(st.st_mode & 07777)};
    return s;
}

// Lets udev finish its queue, then looks at the node until `match` holds or 20 s have passed.
bool WaitForState(const std::string& node, const std::function<bool(const NodeState&)>& match) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    for (;;) {
        EXPECT_EQ(std::system("udevadm settle --timeout=20"), 0);
        if (match(StateOf(node))) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
}

// Runs tovusb-setup with the arguments; its exit code (its output goes to the test's log).
int RunSetup(const std::string& arguments) {
    const std::string command = SetupPath() + " " + arguments + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// What the child running as tovuser found, one bit each (0 = all as expected).
enum ChildFailure {
    kDropFailed = 1,          // setgroups/setgid/setuid failed
    kUnsupportedOpened = 2,   // the unsupported node opened (or failed with another error than EACCES)
    kSupportedNotOpened = 4,  // the supported node did not open O_RDWR
    kNoReport = 8,            // no report, or other bytes than the parent sent
    kWriteFailed = 16,        // the output report was refused
};

// In a child with tovuser's ids (uid 1000, groups tovuser and plugdev): tries the unsupported
// node, opens the supported one, says "ready" on `ready`, reads one report (up to 10 s) and writes
// one output report. Returns the child's ChildFailure bits, or -1 when it did not end.
int AsUser(const std::string& supported, const std::string& unsupported, const std::vector<uint8_t>& expectedRead,
           const std::vector<uint8_t>& toWrite, const std::function<void()>& whenReady) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        int bits = 0;
        const gid_t groups[] = {kUser, kPlugdev};
        if (setgroups(2, groups) != 0 || setgid(kUser) != 0 || setuid(kUser) != 0 || getuid() != kUser) _exit(kDropFailed);
        const int other = open(unsupported.c_str(), O_RDWR | O_CLOEXEC);
        if (other >= 0 || errno != EACCES) bits |= kUnsupportedOpened;
        const int fd = open(supported.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) _exit(bits | kSupportedNotOpened | kNoReport | kWriteFailed);
        if (write(pipeFds[1], "r", 1) != 1) _exit(bits | kNoReport);
        pollfd p{fd, POLLIN, 0};
        uint8_t buf[64];
        ssize_t n = -1;
        if (poll(&p, 1, 10000) == 1) n = read(fd, buf, sizeof buf);
        if (n != static_cast<ssize_t>(expectedRead.size()) || std::vector<uint8_t>(buf, buf + n) != expectedRead)
            bits |= kNoReport;
        if (write(fd, toWrite.data(), toWrite.size()) != static_cast<ssize_t>(toWrite.size())) bits |= kWriteFailed;
        _exit(bits);
    }
    close(pipeFds[1]);
    pollfd p{pipeFds[0], POLLIN, 0};
    char c = 0;
    if (poll(&p, 1, 10000) == 1 && read(pipeFds[0], &c, 1) == 1) whenReady();
    close(pipeFds[0]);
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(5ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(UdevRulesVm, TheVmHasUdevadmAndTheGroup) {
    EXPECT_EQ(access("/bin/udevadm", X_OK), 0);
    EXPECT_EQ(std::system("udevadm control --ping"), 0) << "systemd-udevd is not running";
    const group* plugdev = getgrnam("plugdev");
    ASSERT_NE(plugdev, nullptr);
    EXPECT_EQ(plugdev->gr_gid, kPlugdev);
    EXPECT_EQ(access(SetupPath().c_str(), X_OK), 0) << SetupPath();
}

TEST(UdevRulesVm, InstalledRulesGiveTheGroupTheSupportedNodeOnlyAndUninstallTakesItBack) {
    UhidDevice supportedDevice(*FindUhidModel("SpeechMikeIIPro"), 0);  // 0911:149A
    UhidDevice mouse(*FindUhidModel("PlainMouse"), 0);                  // 046D:C077, not supported
    const std::string supported = supportedDevice.WaitForNode(10s), unsupported = mouse.WaitForNode(10s);
    ASSERT_FALSE(supported.empty());
    ASSERT_FALSE(unsupported.empty());
    ASSERT_EQ(std::system("udevadm settle --timeout=20"), 0);
    const NodeState baseline = StateOf(supported), mouseBaseline = StateOf(unsupported);
    // Without our rules both are udev's plain hidraw nodes, which the group may not use.
    EXPECT_EQ(baseline, mouseBaseline);
    EXPECT_NE(baseline.gid, kPlugdev);
    EXPECT_EQ(baseline.mode & 0007, 0u);

    // A fixture ICA Client: its module.ini only.
    char dirTemplate[] = "/tmp/icaclient.XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string icaroot = dirTemplate;
    ASSERT_EQ(mkdir((icaroot + "/config").c_str(), 0755), 0);
    std::ofstream(icaroot + "/config/module.ini") << "[ICA 3.0]\nVirtualDriver = Thinwire3.0\nThinwire3.0 = On\n";

    ASSERT_EQ(RunSetup("install --root / --icaroot " + icaroot + " --group plugdev"), 0);
    const std::string rules = ReadText(kRules);
    EXPECT_NE(rules.find("KERNELS==\"*:0911:149A.*\""), std::string::npos) << rules;
    EXPECT_NE(rules.find("GROUP=\"plugdev\", MODE=\"0660\""), std::string::npos) << rules;

    EXPECT_TRUE(WaitForState(supported, [](const NodeState& s) { return s.gid == kPlugdev && s.mode == 0660; }))
        << supported << " is " << StateOf(supported);
    EXPECT_EQ(StateOf(supported).uid, 0u);
    // The supported node changed above, so udev has run the rules: the mouse's node stayed.
    EXPECT_EQ(StateOf(unsupported), mouseBaseline);

    // tovuser reads a report and writes one; the mouse's node stays closed to it.
    const std::vector<uint8_t> output = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
    const int bits = AsUser(supported, unsupported, {0x80, 0, 0, 0, 0, 0, 0, 0, 0x01}, output, [&] {
        supportedDevice.SendReport({0x00, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x01});
    });
    EXPECT_EQ(bits, 0) << "tovuser's failures (ChildFailure bits)";
    OutputReport written;
    ASSERT_TRUE(supportedDevice.TakeOutput(written, 5s));
    EXPECT_EQ(written.bytes, output);

    // Uninstall: the rules go, and the node of the device still plugged in is given back at once
    // (udevd 252 alone would leave it with the group's access until the device is unplugged).
    ASSERT_EQ(RunSetup("uninstall --root / --icaroot " + icaroot + " --log /tmp/uninstall.log"), 0);
    EXPECT_NE(access(kRules, F_OK), 0);
    const std::string log = ReadText("/tmp/uninstall.log");
    EXPECT_NE(log.find("Gave " + supported + " (Philips SpeechMike II Pro) back to root:root, mode 0600"),
              std::string::npos) << log;
    EXPECT_EQ(log.find(unsupported), std::string::npos) << log;
    ASSERT_EQ(std::system("udevadm settle --timeout=20"), 0);
    EXPECT_EQ(StateOf(supported), baseline) << supported << " after uninstall";
    const int after = AsUser(supported, unsupported, {}, {}, [] {});
    EXPECT_TRUE(after & kSupportedNotOpened) << "tovuser still opens " << supported;

    // The model plugged in again gets udev's plain node too.
    supportedDevice.Destroy();
    UhidDevice replugged(*FindUhidModel("SpeechMikeIIPro"), 0);
    const std::string again = replugged.WaitForNode(10s);
    ASSERT_FALSE(again.empty());
    EXPECT_TRUE(WaitForState(again, [&](const NodeState& s) { return s == baseline; }))
        << again << " is " << StateOf(again) << ", was " << baseline;
    EXPECT_EQ(StateOf(unsupported), mouseBaseline);
}

}  // namespace
