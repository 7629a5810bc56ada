#include "LogFile.h"

#include <vector>

#include "ChannelInstaller.h"
#include "LogText.h"

namespace {

// Past kMaxLogBytes the oldest half of the log is dropped: the newest half is kept from its first
// whole line on.
void TrimLog(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return;
    const std::streamoff size = in.tellg();
    if (size <= static_cast<std::streamoff>(kMaxLogBytes)) return;
    std::vector<char> newest(kMaxLogBytes / 2);
    in.seekg(size - static_cast<std::streamoff>(newest.size()));
    in.read(newest.data(), static_cast<std::streamsize>(newest.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    in.close();
    size_t start = 0;
    while (start + 1 < got && !(newest[start] == '\r' && newest[start + 1] == '\n')) ++start;
    start = start + 1 < got ? start + 2 : 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(newest.data() + start, static_cast<std::streamsize>(got - start));
}

}  // namespace

CInstallerLogFile::CInstallerLogFile(const std::string& path, bool openAtFirstLine)
    : path(path), openAtFirstLine(openAtFirstLine) {
    // Binary: the lines carry their own "\r\n".
    if (!path.empty() && !openAtFirstLine) Open();
}

void CInstallerLogFile::Open() {
    TrimLog(path);
    file.open(path, std::ios::binary | std::ios::app);
}

void CInstallerLogFile::AddLogLine(const std::string& text) {
    ++lineCounter;
    Append(FormatNumberedLogLine(lineCounter, text));
}

void CInstallerLogFile::Append(const std::string& formattedLine) {
    if (openAtFirstLine && !path.empty() && !file.is_open()) Open();
    if (!file.is_open()) return;
    file << formattedLine;
    file.flush();
}

int RunSetupAction(const CChannelInstaller& installer, SetupAction action, CInstallerLogInterface& log) {
    if (action == SetupAction::kHeal) return installer.OnHeal(log) ? kExitSucceeded : kExitStepFailed;
    const bool anyClient = !installer.ClientsFound().empty();
    const bool done = action == SetupAction::kUninstall ? installer.OnUninstall(log) : installer.OnInstall(log);
    if (!anyClient) return kExitNoICAClient;
    return done ? kExitSucceeded : kExitStepFailed;
}
