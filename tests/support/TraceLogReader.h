// Reading the trace log files the way a person checking them would: only the lines this test
// process wrote since a given moment, split into their fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// The driver's log files. Under Wine "c:\" is the prefix's drive C; natively these are files of
// that literal name in the test program's working folder.
extern const char* const kClientLog;
extern const char* const kServerLog;

struct TraceLine {
    bool error = false;
    std::string stamp;  // date and time
    std::string pid;
    std::string source;
    std::string message;
    std::string raw;
};

// Splits "[ERROR\t]stamp\tpid\tsource\tmessage". False when the line has another shape.
bool ParseTraceLine(const std::string& line, TraceLine& out);

void CreateFileIfMissing(const std::string& path);  // never truncates: other programs may share it
void RemoveFile(const std::string& path);

// The file's length in bytes (0 when it cannot be opened): a position to read new lines from.
uint64_t FileSize(const std::string& path);
// The lines of the log that this process wrote, from the byte offset `from` on.
std::vector<TraceLine> OwnLinesSince(const std::string& path, uint64_t from);

// Remembers the log's length at construction; Lines() returns the lines appended since, written by
// this process (other processes may write the same file at the same time).
class LogReader {
public:
    explicit LogReader(std::string path);
    std::vector<TraceLine> Lines() const;
    std::vector<std::string> Messages() const;
    // How many of those lines carry exactly `message`.
    size_t Count(const std::string& message) const;

private:
    std::string path;
    uint64_t start;
};

std::string OwnProcessId();

}  // namespace testsupport
