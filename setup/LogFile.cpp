#include "LogFile.h"

#include "ChannelInstaller.h"
#include "LogText.h"

CInstallerLogFile::CInstallerLogFile(const std::string& path, bool openAtFirstLine)
    : path(path), openAtFirstLine(openAtFirstLine) {
    // Binary: the lines carry their own "\r\n".
    if (!path.empty() && !openAtFirstLine) file.open(path, std::ios::binary | std::ios::app);
}

void CInstallerLogFile::AddLogLine(const std::string& text) {
    ++lineCounter;
    Append(FormatNumberedLogLine(lineCounter, text));
}

void CInstallerLogFile::Append(const std::string& formattedLine) {
    if (openAtFirstLine && !path.empty() && !file.is_open()) file.open(path, std::ios::binary | std::ios::app);
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
