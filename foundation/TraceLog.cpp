#include "TraceLog.h"

#include <atomic>
#include <set>

#include "CriticalSection.h"
#include "DateTime.h"
#include "TraceFile.h"

const char* const kClientLogPath = "c:\\CitrixClient.log";
const char* const kServerLogPath = "C:\\CitrixServer.log";

namespace {

// Process-wide state, deliberately never destroyed: reader threads and static destructors may still
// write lines while the process exits, after ordinary statics are gone. The sets are made at
// library load, the lock at the first line. Both sets are touched only while the lock is held.
// The sets compare transparently, so a path given as a C string is looked up without a copy.
using LogSet = std::set<std::string, std::less<>>;

LogSet& AbsentLogs() {
    static LogSet* logs = new LogSet();
    return *logs;
}

LogSet& PresentLogs() {
    static LogSet* logs = new LogSet();
    return *logs;
}

CCriticalSectionClass& TraceLock() {
    static CCriticalSectionClass* lock = new CCriticalSectionClass(false);
    return *lock;
}

// Build the sets at load time so the first call from any thread does not race on them.
const bool kSetsBuilt = (AbsentLogs(), PresentLogs(), true);

// The decision for kClientLogPath, the log of the lines on the reader threads' path, kept once made
// so that asking costs no lock: 0 not asked yet, 1 off, 2 on. A decision never changes.
std::atomic<int> clientLogDecision{0};

// Whether the log file is on, deciding it at the path's first use. Called with the lock held.
template <typename Path>
bool IsLogPresentLocked(const Path& logFilePath) {
    if (AbsentLogs().count(logFilePath)) return false;
    if (PresentLogs().count(logFilePath)) return true;
    const std::string path(logFilePath);
    if (!tracefile::IsExistingFile(path)) {
        AbsentLogs().insert(path);
        return false;
    }
    PresentLogs().insert(path);
    return true;
}

}  // namespace

bool IsTraceLogOn(const char* logFilePath) {
    (void)kSetsBuilt;
    const bool clientLog = logFilePath == kClientLogPath;
    if (clientLog) {
        const int decision = clientLogDecision.load(std::memory_order_acquire);
        if (decision != 0) return decision == 2;
    }
    try {
        CCriticalSectionLocker locker(TraceLock());
        const bool on = IsLogPresentLocked(logFilePath);
        if (clientLog) clientLogDecision.store(on ? 2 : 1, std::memory_order_release);
        return on;
    } catch (...) {
        return false;  // out of memory while recording the decision: nothing is written either
    }
}

std::string SourceBaseName(const std::string& sourceFilePath) {
    const size_t slash = sourceFilePath.rfind('\\');
    std::string base = slash == std::string::npos ? sourceFilePath : sourceFilePath.substr(slash + 1);
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos) base.erase(dot);
    return base;
}

void WriteLogLine(const std::string& message, const std::string& logFilePath,
                  const std::string& sourceFilePath, bool isError) {
    (void)kSetsBuilt;
    try {
        CCriticalSectionLocker locker(TraceLock());
        if (!IsLogPresentLocked(logFilePath)) return;
        std::string line;
        line.reserve(64 + message.size());
        if (isError) line += "ERROR\t";
        line += CDateTime::Now().ToString();
        line += '\t';
        line += std::to_string(tracefile::CurrentProcessId());
        line += '\t';
        line += SourceBaseName(sourceFilePath);
        line += '\t';
        line += message;
        tracefile::AppendLine(logFilePath, line);  // a line that cannot be written is lost silently
    } catch (...) {
        // Out of memory while building the line: the line is lost, the caller is not disturbed.
    }
}
