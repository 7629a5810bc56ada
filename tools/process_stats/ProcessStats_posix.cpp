#include <dirent.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "ProcessStats.h"

namespace {

int CountEntries(const char* folder) {
    DIR* dir = opendir(folder);
    if (!dir) return -1;
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count;
}

}  // namespace

double ProcessCpuSeconds() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int ProcessThreads() { return CountEntries("/proc/self/task"); }

// The listing's own descriptor is counted every time alike.
int ProcessHandles() { return CountEntries("/proc/self/fd"); }

bool RunOneThreadToItsEnd() {
    std::atomic<long> tid(0);
    std::thread([&tid] { tid = static_cast<long>(syscall(SYS_gettid)); }).join();
    const std::string entry = "/proc/self/task/" + std::to_string(tid.load());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (access(entry.c_str(), F_OK) == 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}
