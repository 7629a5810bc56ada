#include "TraceFile.h"

#include <windows.h>

namespace tracefile {

bool IsExistingFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Other processes may trace into the same file at the same moment (two sessions' clients, the
// device check). Each line is written by one WriteFile on a handle opened for appending only, while
// holding an exclusive lock on one byte far beyond any log's end, which every writer of ours takes:
// the C library's "a" mode seeks to the end and then writes, and another process's line written in
// between is overwritten or cut (seen under Wine: about 3 lines in 100 lost with two processes).
// The locked byte lies beyond the data, so readers of the log are never refused. The lock needs read
// access besides the append access; the handle still never writes anywhere but at the end.
bool AppendLine(const std::string& path, const std::string& text) {
    std::string line;
    line.reserve(text.size() + 2);
    for (const char c : text) {
        if (c == '\n') line += '\r';  // text mode's line end, as before
        line += c;
    }
    line += "\r\n";
    if (line.size() > MAXDWORD) return false;
    const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED lockPlace = {};
    lockPlace.OffsetHigh = 0x3FFFFFFF;  // 2^62: beyond any log, within what every file system locks
    const bool locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockPlace) != FALSE;
    DWORD written = 0;
    // Without the lock (a file system that has none) the line is still written, as before.
    const bool ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                    written == line.size();
    if (locked) UnlockFileEx(file, 0, 1, 0, &lockPlace);
    return CloseHandle(file) && ok;
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

}  // namespace tracefile
