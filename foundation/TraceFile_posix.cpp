#include "TraceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace tracefile {

namespace {

std::mutex folderMutex;
std::string& LogFolder() {
    static std::string* folder = new std::string();
    return *folder;
}

// "c:\NAME" with a plain file name NAME (no further separator).
bool IsDriveRootFile(const std::string& path) {
    if (path.size() < 4 || path[1] != ':' || path[2] != '\\') return false;
    const char drive = path[0];
    if (!((drive >= 'a' && drive <= 'z') || (drive >= 'A' && drive <= 'Z'))) return false;
    return path.find_first_of("\\/", 3) == std::string::npos;
}

}  // namespace

void SetLogFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(folderMutex);
    LogFolder() = folder;
}

std::string SystemLogFilePath(const std::string& path) {
    std::lock_guard<std::mutex> lock(folderMutex);
    if (LogFolder().empty() || !IsDriveRootFile(path)) return path;
    return LogFolder() + "/" + path.substr(3);
}

bool IsExistingFile(const std::string& path) {
    struct stat st;
    return stat(SystemLogFilePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Other processes may trace into the same file at the same moment: the file is opened with
// O_APPEND and the whole line goes out in one write, which the system places at the end as one
// step, so no line is split or overwritten by another process's.
bool AppendLine(const std::string& path, const std::string& text) {
    const int file = open(SystemLogFilePath(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (file < 0) return false;
    const std::string line = text + "\n";
    bool ok = true;
    for (size_t done = 0; ok && done < line.size();) {
        const ssize_t n = write(file, line.data() + done, line.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ok = false;
        }
    }
    return close(file) == 0 && ok;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

}  // namespace tracefile
