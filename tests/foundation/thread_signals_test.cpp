// The threads we start leave the host's asynchronous signals to the host's own threads.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "Thread.h"

namespace {

// The SigBlk line of a thread of this process, as the kernel shows it (hexadecimal, bit n-1 for
// signal n).
std::string BlockedSignals(long tid) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 7, "SigBlk:") == 0) return line.substr(line.find_first_not_of(" \t", 7));
    }
    return "missing";
}

long ThisThreadId() { return static_cast<long>(syscall(SYS_gettid)); }

class MaskReader : public CThread {
public:
    MaskReader() : CThread(0, false) {}
    void Run(int) override { mask = BlockedSignals(ThisThreadId()); }
    std::string mask;  // written by the thread, read after WaitForEnd
};

TEST(ThreadSignals, OurThreadsBlockEveryAsynchronousSignalFromTheirStart) {
    // The starting thread blocks nothing, as a host's main thread usually does.
    sigset_t none;
    sigemptyset(&none);
    sigset_t saved;
    ASSERT_EQ(pthread_sigmask(SIG_SETMASK, &none, &saved), 0);
    ASSERT_EQ(BlockedSignals(ThisThreadId()), "0000000000000000");

    MaskReader reader;
    ASSERT_TRUE(reader.Start(0));
    ASSERT_TRUE(reader.WaitForEnd(20000));
    // Every signal 1 to 64 is blocked except the synchronous SIGILL (4), SIGTRAP (5), SIGBUS (7),
    // SIGFPE (8), SIGSEGV (11) and SIGSYS (31), the unblockable SIGKILL (9) and SIGSTOP (19), and
    // the C library's own real-time signals 32 and 33.
    EXPECT_EQ(reader.mask, "fffffffe3ffbfa27");
    EXPECT_EQ(BlockedSignals(ThisThreadId()), "0000000000000000") << "the starting thread's mask is restored";

    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

}  // namespace
#endif
