// The trace log: lines appended to a log file that exists at its first use in the process.
#pragma once

#include <string>

// The two log files of the system.
extern const char* const kClientLogPath;  // "c:\CitrixClient.log"
extern const char* const kServerLogPath;  // "C:\CitrixServer.log"

// Appends "[ERROR\t]date time\tpid\tsource base name\tmessage" and a line end to logFilePath.
// Whether the file exists is decided once per path and process at its first line; a missing file
// turns tracing off for that path. Never throws for a missing or unwritable file. Safe on any
// thread: one process-wide lock serialises whole lines.
void WriteLogLine(const std::string& message, const std::string& logFilePath,
                  const std::string& sourceFilePath, bool isError);

// The text after the last backslash, without the extension that starts at its last '.'.
std::string SourceBaseName(const std::string& sourceFilePath);
