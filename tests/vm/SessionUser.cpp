#include "SessionUser.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

#include "UhidDevice.h"

namespace vmtest {

namespace {

constexpr const char* kUser = "tovuser";
constexpr const char* kIcaRoot = "/tmp/tovusb-session-icaroot";
// What the helper does, by the first byte of the request: open /dev/uhid, or the uevent file of
// /sys/class/hidraw/hidrawN (N the request's second byte), or wait until udevd's queue is empty
// (udevadm settle needs root to ping udevd). No path or command comes from the program.
constexpr char kOpenUhid = 'u';
constexpr char kOpenHidrawUevent = 'h';
constexpr char kSettle = 's';
constexpr char kStopQueue = 'q';
constexpr char kStartQueue = 'Q';
constexpr char kHideLibudev = 'L';
constexpr char kRestoreLibudev = 'l';
// Where the VM's loader finds libudev; hidden, it is renamed beside itself.
constexpr const char* kLibudevPaths[] = {"/usr/lib/x86_64-linux-gnu/libudev.so.1", "/lib/x86_64-linux-gnu/libudev.so.1"};

std::string g_failure = "the session user was not set up";
int g_helper = -1;  // the program's end of the socket to the root helper
pid_t g_helperPid = -1;
std::mutex g_helperMutex;

std::string SetupPath() {
    const char* path = std::getenv("TOV_VM_SETUP");
    return path && *path ? path : "/tov/tovusb-setup";
}

// A command of root's; what it prints goes into the program's log.
bool Run(const std::string& command) { return std::system((command + " 2>&1").c_str()) == 0; }

// The group of the test's own, with tovuser its only member, added to /etc/group once.
bool AddSessionGroup() {
    if (getgrnam(kSessionGroup)) return true;
    std::ofstream("/etc/group", std::ios::app) << kSessionGroup << ":x:" << kSessionGroupId << ":" << kUser << "\n";
    return getgrnam(kSessionGroup) != nullptr;
}

// tovusb-setup install --group, as an administrator runs it, with a fixture ICA Client (its
// module.ini only); udevd reloads the rules and applies them to the nodes present.
bool InstallRules() {
    mkdir(kIcaRoot, 0755);
    mkdir((std::string(kIcaRoot) + "/config").c_str(), 0755);
    std::ofstream(std::string(kIcaRoot) + "/config/module.ini") << "[ICA 3.0]\nVirtualDriver = Thinwire3.0\n";
    return Run(SetupPath() + " install --quiet --root / --icaroot " + kIcaRoot + " --group " + kSessionGroup) &&
           Run("udevadm settle --timeout=60");
}

void SendDescriptor(int socket, int fd, int error) {
    char status = static_cast<char>(error);
    iovec io{&status, 1};
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    }
    (void)sendmsg(socket, &msg, MSG_NOSIGNAL);
}

// Renames libudev.so.1 away (hide) or back; true when some copy was moved or none was left to move.
bool MoveLibudev(bool hide) {
    bool moved = false;
    for (const char* path : kLibudevPaths) {
        const std::string hidden = std::string(path) + ".hidden";
        const std::string from = hide ? path : hidden, to = hide ? hidden : path;
        struct stat st {};
        if (lstat(from.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && rename(from.c_str(), to.c_str()) == 0) moved = true;
    }
    return moved || !hide;
}

// The root helper: answers each request byte with a status byte and, on success, the descriptor;
// when the program's end closes (the program ended), it uninstalls the rules and exits.
[[noreturn]] void ServeAsRoot(int socket) {
    unsigned char request[2];
    ssize_t n;
    while ((n = read(socket, request, sizeof request)) > 0) {
        int fd = -1;
        if (n == 1 && request[0] == kOpenUhid) {
            fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
        } else if (n == 2 && request[0] == kOpenHidrawUevent) {
            const std::string file = "/sys/class/hidraw/hidraw" + std::to_string(request[1]) + "/uevent";
            fd = open(file.c_str(), O_WRONLY | O_CLOEXEC);
        } else if (n == 1 && request[0] == kSettle) {
            SendDescriptor(socket, -1, Run("udevadm settle --timeout=180") ? 0 : ETIMEDOUT);
            continue;
        } else if (n == 1 && (request[0] == kStopQueue || request[0] == kStartQueue)) {
            const bool done = Run(std::string("udevadm control --") + (request[0] == kStopQueue ? "stop" : "start") +
                                  "-exec-queue");
            SendDescriptor(socket, -1, done ? 0 : EIO);
            continue;
        } else if (n == 1 && (request[0] == kHideLibudev || request[0] == kRestoreLibudev)) {
            SendDescriptor(socket, -1, MoveLibudev(request[0] == kHideLibudev) ? 0 : ENOENT);
            continue;
        } else {
            errno = EINVAL;
        }
        SendDescriptor(socket, fd, fd >= 0 ? 0 : errno);
        if (fd >= 0) close(fd);
    }
    // Whatever a failed case left: udevd's queue running, libudev where it was.
    Run("udevadm control --start-exec-queue");
    MoveLibudev(false);
    Run(SetupPath() + " uninstall --quiet --root / --icaroot " + kIcaRoot);
    _exit(0);
}

int AskHelper(const std::string& request) {
    std::lock_guard<std::mutex> lock(g_helperMutex);
    if (g_helper < 0 || write(g_helper, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
        return -1;
    char status = 0;
    iovec io{&status, 1};
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    if (recvmsg(g_helper, &msg, MSG_CMSG_CLOEXEC) != 1) return -1;
    if (status != 0) {
        errno = status;
        return -1;
    }
    if (request[0] != kOpenUhid && request[0] != kOpenHidrawUevent) return 0;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    if (!c || c->cmsg_type != SCM_RIGHTS) return -1;
    int fd;
    std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
    return fd;
}

int OpenUhidThroughHelper() { return AskHelper(std::string(1, kOpenUhid)); }

std::string BecomeSessionUser() {
    if (getuid() != 0) return "the program must be started as root (it drops to " + std::string(kUser) + " itself)";
    const passwd* user = getpwnam(kUser);
    if (!user || user->pw_uid != kSessionUserId) return std::string("no user ") + kUser + " with uid 1000";
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    const std::string home = user->pw_dir;
    if (!AddSessionGroup()) return std::string("the group ") + kSessionGroup + " could not be added";
    if (!InstallRules()) return "tovusb-setup install --group " + std::string(kSessionGroup) + " failed";
    // The user's home (for the trace log in ~/.ICAClient) is the user's.
    mkdir(home.c_str(), 0755);
    if (chown(home.c_str(), uid, gid) != 0) return "chown " + home + ": " + std::strerror(errno);

    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sockets) != 0) return "socketpair failed";
    const pid_t helper = fork();
    if (helper < 0) return "fork failed";
    if (helper == 0) {
        close(sockets[0]);
        ServeAsRoot(sockets[1]);
    }
    close(sockets[1]);
    g_helper = sockets[0];
    g_helperPid = helper;
    // At the program's end the helper uninstalls the rules before the next program starts.
    std::atexit([] {
        close(g_helper);
        waitpid(g_helperPid, nullptr, 0);
    });

    gid_t groups[64];
    int count = 64;
    if (getgrouplist(kUser, gid, groups, &count) < 0) return "getgrouplist failed";
    if (setgroups(static_cast<size_t>(count), groups) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
        return std::string("dropping to ") + kUser + " failed: " + std::strerror(errno);
    if (setuid(0) == 0) return "root could be taken back after the drop";
    setenv("HOME", home.c_str(), 1);
    setenv("USER", kUser, 1);
    uhidplayer::UhidDevice::SetOpener(&OpenUhidThroughHelper);
    return "";
}

// Every case of the program fails when the drop did not happen (a failed global environment would
// skip them instead).
class SessionUserCheck : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override {
        if (!g_failure.empty()) ADD_FAILURE() << "not run as the session user: " << g_failure;
    }
};

const bool g_dropped = [] {
    g_failure = BecomeSessionUser();
    ::testing::UnitTest::GetInstance()->listeners().Append(new SessionUserCheck);
    return g_failure.empty();
}();

}  // namespace

const std::string& SessionUserFailure() { return g_failure; }

bool WaitUntilUsable(const std::string& node, std::chrono::milliseconds timeout) {
    // udevd gives the node to the group after the kernel made it; no event tells this process when.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (access(node.c_str(), R_OK | W_OK) != 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool SettleUdev() { return AskHelper(std::string(1, kSettle)) == 0; }
bool HoldUdevQueue(bool hold) { return AskHelper(std::string(1, hold ? kStopQueue : kStartQueue)) == 0; }
bool HideLibudev(bool hide) { return AskHelper(std::string(1, hide ? kHideLibudev : kRestoreLibudev)) == 0; }

bool FloodUevents(const std::string& node, int count) {
    unsigned number = 0;
    if (std::sscanf(node.c_str(), "/dev/hidraw%u", &number) != 1 || number > 255) return false;
    const int fd = AskHelper(std::string{kOpenHidrawUevent, static_cast<char>(number)});
    if (fd < 0) return false;
    // A synthetic "change" with arguments of its own (SYNTH_ARG_*), so that each message udevd
    // passes on is a large one and few of them fill a socket.
    std::string event = "change 7f1c1a4e-51a8-4d21-9a0e-3d5c2b6e8f10";
    for (int i = 0; i < 12; ++i) event += " A" + std::to_string(i) + "=" + std::string(90, 'x');
    bool written = true;
    for (int i = 0; i < count && written; ++i)
        written = pwrite(fd, event.data(), event.size(), 0) == static_cast<ssize_t>(event.size());
    close(fd);
    return written;
}

}  // namespace vmtest
