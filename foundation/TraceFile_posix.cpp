#include "TraceFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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

bool AppendLine(const std::string& path, const std::string& text) {
    FILE* file = fopen(SystemLogFilePath(path).c_str(), "ae");
    if (!file) return false;
    const bool ok = fputs(text.c_str(), file) >= 0 && fputc('\n', file) != EOF;
    return fclose(file) == 0 && ok;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

}  // namespace tracefile
