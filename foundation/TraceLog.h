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

// Whether a line written to logFilePath now would reach the file: decides the file's existence
// exactly as the first line would (so a call before the first line counts as that line's
// decision). Callers ask it before they format a trace line, so no text is formatted while
// tracing is off. Takes the trace-log lock for the look-up only; allocates nothing once the path is
// decided; never throws.
bool IsTraceLogOn(const char* logFilePath);

// The text after the last backslash, without the extension that starts at its last '.'.
std::string SourceBaseName(const std::string& sourceFilePath);
