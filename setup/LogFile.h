// The command line's log file: the numbered log lines, appended to a file (or dropped when no
// file was asked for). Each line is written and flushed at once, so a stopped run leaves every
// line it got to. The scheduled heal appends to the same file for years: a file grown past
// kMaxLogBytes loses its oldest half when it is opened.
#pragma once

#include <cstddef>
#include <fstream>
#include <string>

#include "InstallerLog.h"
#include "SetupCommandLine.h"

constexpr size_t kMaxLogBytes = 1024 * 1024;

class CInstallerLogFile : public CInstallerLogInterface {
public:
    // An empty path: lines are numbered and dropped. With `openAtFirstLine` the file is opened (and
    // created) only when the first line is written, so that a run with nothing to say leaves no
    // trace; a file that cannot be opened then loses its lines.
    explicit CInstallerLogFile(const std::string& path, bool openAtFirstLine = false);
    // False when a file was asked for and cannot be opened for appending.
    bool IsOpen() const { return path.empty() || openAtFirstLine || file.is_open(); }

    // Numbers the line the way the dialog does and appends it.
    void AddLogLine(const std::string& text) override;
    void Refresh() override {}
    // Appends a line numbered elsewhere (the dialog's own numbering).
    void Append(const std::string& formattedLine);

private:
    void Open();

    std::string path;
    bool openAtFirstLine = false;
    std::ofstream file;
    int lineCounter = 0;
};

class CChannelInstaller;

// Runs the install, uninstall or heal of `action` and returns the program's exit code. Install and
// uninstall: kExitNoICAClient when no client is installed (the procedure still logs why), else
// kExitSucceeded when every step succeeded and kExitStepFailed otherwise. Heal: kExitSucceeded when
// every client found is wholly registered afterwards (also when there is none), else
// kExitStepFailed.
int RunSetupAction(const CChannelInstaller& installer, SetupAction action, CInstallerLogInterface& log);
