#include "LogFile.h"

#include "ChannelInstaller.h"
#include "LogText.h"

CInstallerLogFile::CInstallerLogFile(const std::string& path) : path(path) {
    // Binary: the lines carry their own "\r\n".
    if (!path.empty()) file.open(path, std::ios::binary | std::ios::app);
}

void CInstallerLogFile::AddLogLine(const std::string& text) {
    ++lineCounter;
    Append(FormatNumberedLogLine(lineCounter, text));
}

void CInstallerLogFile::Append(const std::string& formattedLine) {
    if (!file.is_open()) return;
    file << formattedLine;
    file.flush();
}

int RunSetupAction(const CChannelInstaller& installer, SetupAction action, CInstallerLogInterface& log) {
    const bool anyClient = !installer.ClientsFound().empty();
    const bool done = action == SetupAction::kUninstall ? installer.OnUninstall(log) : installer.OnInstall(log);
    if (!anyClient) return kExitNoICAClient;
    return done ? kExitSucceeded : kExitStepFailed;
}
