// The setup program's command line, for unattended installs:
//   /install | /uninstall   run that procedure for every ICA Client found
//   /quiet                  no window at all (needs /install or /uninstall)
//   /log FILE               append the numbered log lines to FILE (needs /install or /uninstall)
//   /?                      show the usage
// Options are matched in any letter case and may start with "-" instead of "/". Without arguments
// the program shows its dialog as always.
#pragma once

#include <string>
#include <vector>

enum class SetupAction { kDialog, kInstall, kUninstall, kUsage, kBadCommandLine };

struct SetupCommand {
    SetupAction action = SetupAction::kDialog;
    bool quiet = false;
    std::string logFile;  // empty: no log file
};

// The program's exit codes.
enum SetupExitCode : int {
    kExitSucceeded = 0,       // every step succeeded (also: usage shown on request, dialog closed)
    kExitStepFailed = 1,      // a step failed; the log says which
    kExitBadCommandLine = 2,  // nothing was done; the usage was shown
    kExitNoICAClient = 3,     // no ICA Client is installed
};

// `args` are the arguments after the program's name.
SetupCommand ParseSetupCommandLine(const std::vector<std::string>& args);

// The usage text, lines separated by "\r\n".
const char* SetupUsageText();
