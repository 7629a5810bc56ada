// tovusb-setup: registers the driver with the Citrix ICA Client for Linux, removes it again, or
// says what is installed.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "LinuxInstaller.h"
#include "LinuxNames.h"
#include "LinuxSetupCommandLine.h"
#include "SystemFiles.h"

using namespace linuxsetup;

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    SetupCommandLine line;
    std::string error;
    if (!ParseSetupCommandLine(arguments, line, error)) {
        std::fprintf(stderr, "tovusb-setup: %s\n%s", error.c_str(), SetupUsage().c_str());
        return kExitBadCommandLine;
    }
    if (line.command == SetupCommand::kHelp) {
        std::fputs(SetupUsage().c_str(), stdout);
        return kExitSucceeded;
    }
    std::FILE* logFile = nullptr;
    if (!line.logFile.empty()) {
        logFile = std::fopen(line.logFile.c_str(), "a");
        if (!logFile) {
            std::fprintf(stderr, "tovusb-setup: cannot write the log file %s\n", line.logFile.c_str());
            return kExitBadCommandLine;
        }
    }

    InstallOptions options;
    options.paths.icaRoot = line.icaRoot.empty() ? DefaultICARoot(std::getenv(kICARootVariable)) : line.icaRoot;
    options.paths.root = line.root;
    options.paths.driverSource = ProgramFolderPath(argv[0]) + "/" + kDriverFileName;
    options.group = line.group;

    SetupLog log(line.quiet, logFile);
    int code = kExitSucceeded;
    switch (line.command) {
        case SetupCommand::kInstall: code = RunInstall(options, log); break;
        case SetupCommand::kUninstall: code = RunUninstall(options, log); break;
        default: code = RunStatus(options, log); break;
    }
    if (logFile) std::fclose(logFile);
    return code;
}
