// The setup program's command line, for unattended installs:
//   /install | /uninstall   run that procedure for every ICA Client found
//   /user                   with /install or /uninstall: for the ICA Client that the user running
//                           the program installed for themselves, and nothing machine-wide; needs
//                           no administrator rights (every other action does)
//   /heal                   register the channel with every ICA Client found whose registration is
//                           not whole; never opens a window (the scheduled task runs it)
//   /registertask           write the heal task's definition beside the program and register it
//                           with the Task Scheduler (the package's registration step)
//   /unregistertask         remove that task and its definition (the package's removal)
//   /quiet                  no window at all (needs one of the actions above)
//   /log FILE               append the numbered log lines to FILE (needs one of the actions);
//                           FILE must be a plain absolute local path (see IsPlainLocalPath)
//   /?                      show the usage
// Options are matched in any letter case and may start with "-" instead of "/". Without arguments
// the program shows its dialog as always.
#pragma once

#include <string>
#include <vector>

enum class SetupAction {
    kDialog,
    kInstall,
    kUninstall,
    kHeal,
    kRegisterTask,
    kUnregisterTask,
    kUsage,
    kBadCommandLine
};

// True for the actions that never open a window, with or without /quiet.
bool IsWindowlessAction(SetupAction action);

struct SetupCommand {
    SetupAction action = SetupAction::kDialog;
    bool quiet = false;
    bool user = false;    // the per-user ICA Client (with kInstall or kUninstall only)
    std::string logFile;  // empty: no log file
};

// The program's exit codes.
enum SetupExitCode : int {
    kExitSucceeded = 0,       // every step succeeded (also: usage shown on request, dialog closed)
    kExitStepFailed = 1,      // a step failed; the log says which
    kExitBadCommandLine = 2,  // nothing was done; the usage was shown
    kExitNoICAClient = 3,     // no ICA Client is installed
    kExitTaskRefused = 4,     // /registertask: someone other than an administrator can replace the
                              // program, so no task was registered; the log says who and how
    kExitNotAdministrator = 5,  // a machine-wide action without administrator rights: nothing done
};

// True for a drive letter, ":" and a separator followed by a file path without quotes, further
// drive separators, wildcards or control characters, not ending in a separator: the only form
// /log accepts. The program runs as the local system account under a package, so a network path
// (which the machine account would authenticate to) or a quoted text that could carry further
// options is a bad command line.
bool IsPlainLocalPath(const std::string& path);

// `args` are the arguments after the program's name.
SetupCommand ParseSetupCommandLine(const std::vector<std::string>& args);

// The usage text, lines separated by "\r\n".
const char* SetupUsageText();
