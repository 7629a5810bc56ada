#include "TraceLogReader.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "TraceFile.h"

namespace testsupport {

const char* const kClientLog = "c:\\CitrixClient.log";
const char* const kServerLog = "C:\\CitrixServer.log";

namespace {

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = line.find(separator, from);
        if (at == std::string::npos) {
            parts.push_back(line.substr(from));
            return parts;
        }
        parts.push_back(line.substr(from, at - from));
        from = at + 1;
    }
}

}  // namespace

uint64_t FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return 0;
    return static_cast<uint64_t>(in.tellg());
}

bool ParseTraceLine(const std::string& line, TraceLine& out) {
    std::vector<std::string> parts = Split(line, '\t');
    TraceLine parsed;
    parsed.raw = line;
    size_t i = 0;
    if (!parts.empty() && parts[0] == "ERROR") {
        parsed.error = true;
        i = 1;
    }
    if (parts.size() < i + 4) return false;
    parsed.stamp = parts[i];
    parsed.pid = parts[i + 1];
    parsed.source = parts[i + 2];
    // The message itself may hold tabs.
    for (size_t k = i + 3; k < parts.size(); ++k) {
        if (k > i + 3) parsed.message += '\t';
        parsed.message += parts[k];
    }
    out = parsed;
    return true;
}

void CreateFileIfMissing(const std::string& path) { std::ofstream(path, std::ios::binary | std::ios::app); }

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

std::string OwnProcessId() { return std::to_string(tracefile::CurrentProcessId()); }

LogReader::LogReader(std::string p) : path(std::move(p)), start(FileSize(path)) {}

std::vector<TraceLine> LogReader::Lines() const { return OwnLinesSince(path, start); }

std::vector<TraceLine> OwnLinesSince(const std::string& path, uint64_t from) {
    std::ifstream in(path, std::ios::binary);
    std::vector<TraceLine> lines;
    if (!in) return lines;
    in.seekg(static_cast<std::streamoff>(from));
    const std::string pid = OwnProcessId();
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        TraceLine parsed;
        if (ParseTraceLine(line, parsed) && parsed.pid == pid) lines.push_back(parsed);
    }
    return lines;
}

std::vector<std::string> LogReader::Messages() const {
    std::vector<std::string> messages;
    for (const auto& line : Lines()) messages.push_back(line.message);
    return messages;
}

size_t LogReader::Count(const std::string& message) const {
    size_t n = 0;
    for (const auto& line : Lines()) {
        if (line.message == message) ++n;
    }
    return n;
}

}  // namespace testsupport
