// The command line's log file: the numbered log lines, appended to a file (or dropped when no
// file was asked for). Each line is written and flushed at once, so a stopped run leaves every
// line it got to.
#pragma once

#include <fstream>
#include <string>

#include "InstallerLog.h"
#include "SetupCommandLine.h"

class CInstallerLogFile : public CInstallerLogInterface {
public:
    // An empty path: lines are numbered and dropped.
    explicit CInstallerLogFile(const std::string& path);
    // False when a file was asked for and cannot be opened for appending.
    bool IsOpen() const { return path.empty() || file.is_open(); }

    // Numbers the line the way the dialog does and appends it.
    void AddLogLine(const std::string& text) override;
    void Refresh() override {}
    // Appends a line numbered elsewhere (the dialog's own numbering).
    void Append(const std::string& formattedLine);

private:
    std::string path;
    std::ofstream file;
    int lineCounter = 0;
};

class CChannelInstaller;

// Runs the install or uninstall of `action` and returns the program's exit code: kExitNoICAClient
// when no client is installed (the procedure still logs why), else kExitSucceeded when every step
// succeeded and kExitStepFailed otherwise.
int RunSetupAction(const CChannelInstaller& installer, SetupAction action, CInstallerLogInterface& log);
