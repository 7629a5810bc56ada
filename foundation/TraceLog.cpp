#include "TraceLog.h"

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
std::set<std::string>& AbsentLogs() {
    static std::set<std::string>* logs = new std::set<std::string>();
    return *logs;
}

std::set<std::string>& PresentLogs() {
    static std::set<std::string>* logs = new std::set<std::string>();
    return *logs;
}

CCriticalSectionClass& TraceLock() {
    static CCriticalSectionClass* lock = new CCriticalSectionClass(false);
    return *lock;
}

// Build the sets at load time so the first call from any thread does not race on them.
const bool kSetsBuilt = (AbsentLogs(), PresentLogs(), true);

}  // namespace

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
        if (AbsentLogs().count(logFilePath)) return;
        if (!PresentLogs().count(logFilePath)) {
            if (!tracefile::IsExistingFile(logFilePath)) {
                AbsentLogs().insert(logFilePath);
                return;
            }
            PresentLogs().insert(logFilePath);
        }
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
