// The install, uninstall and status procedures of tovusb-setup. Each writes one numbered line per
// step. All reading and checking comes first, so a file that cannot be edited (or a driver of the
// wrong machine type) stops the run before anything was changed; each file is then replaced
// whole (temporary file and rename), never half written.
#pragma once

#include <string>

#include "SetupLog.h"
#include "SetupPaths.h"

namespace linuxsetup {

constexpr int kExitSucceeded = 0;
constexpr int kExitStepFailed = 1;
constexpr int kExitBadCommandLine = 2;
constexpr int kExitNoICAClient = 3;

struct InstallOptions {
    SetupPaths paths;
    std::string group;  // for the udev rules; "" for the seat's user only
};

int RunInstall(const InstallOptions& options, SetupLog& log);
int RunUninstall(const InstallOptions& options, SetupLog& log);
// Exit code 0 when everything is registered, 1 when something is missing, 3 without ICA Client.
int RunStatus(const InstallOptions& options, SetupLog& log);

}  // namespace linuxsetup
