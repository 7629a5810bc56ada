#include "HealLog.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// The record is ours, but it lies in a folder others may write: read no more than this.
constexpr size_t kMaxRecordBytes = 256 * 1024;

std::string ReadRecord(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text;
    char buffer[4096];
    while (file && text.size() < kMaxRecordBytes) {
        file.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<size_t>(file.gcount()));
    }
    return text;
}

}  // namespace

CHealLog::CHealLog(CInstallerLogInterface& log, std::string logFile, std::string today)
    : log(log), recordFile(logFile.empty() ? std::string() : logFile + ".heal-failure"), today(std::move(today)) {}

void CHealLog::Finish(bool healed) {
    if (healed) {
        for (const std::string& line : lines) log.AddLogLine(line);
        if (!recordFile.empty()) std::remove(recordFile.c_str());
        return;
    }
    // The record: the day it was written, then the failure's lines.
    std::string failure;
    for (const std::string& line : lines) failure += line + "\n";
    const std::string record = today + "\n" + failure;
    if (!recordFile.empty() && ReadRecord(recordFile) == record) return;  // written today already
    for (const std::string& line : lines) log.AddLogLine(line);
    if (recordFile.empty()) return;
    std::ofstream file(recordFile, std::ios::binary | std::ios::trunc);
    file << record;
}
