// tovusb-devicecheck: checks the channel on a Linux thin client or PC, in a terminal or from a
// script: the registration with the ICA Client, the devices the driver serves, their buttons and
// LEDs, and a report for the support ticket.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "DeviceCheckCommandLine.h"
#include "DeviceCheckTerminal.h"
#include "HidrawNotifications.h"
#include "LinuxNames.h"
#include "IcaClientFolders.h"
#include "ProfileFile.h"
#include "UserClientFiles.h"

using namespace devicecheck;

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    DeviceCheckCommandLine line;
    std::string error;
    if (!ParseDeviceCheckCommandLine(arguments, line, error)) {
        std::fprintf(stderr, "tovusb-devicecheck: %s\n%s", error.c_str(), DeviceCheckUsage().c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(DeviceCheckUsage().c_str(), stdout);
        return 0;
    }
    // A reader of the output that goes away ends the output, not the program.
    signal(SIGPIPE, SIG_IGN);

    TerminalSettings settings;
    settings.input = STDIN_FILENO;
    settings.output = STDOUT_FILENO;
    settings.interactive = isatty(STDIN_FILENO) == 1;
    settings.paths.icaRoot =
        line.icaRoot.empty() ? linuxsetup::DefaultICARoot(std::getenv(linuxsetup::kICARootVariable)) : line.icaRoot;
    settings.paths.root = line.root;
    settings.files = FindUserClientFiles(UserHomeFolder(), settings.paths.icaRoot);
    // The button map where the driver in the ICA Client looks for it ($ICAROOT is its folder).
    SetProfileSearchFolders(settings.files.buttonMapFolders);
    settings.notifications.deliver = [] { hidraw::DeliverNotifications(); };
    settings.notifications.descriptor = [] { return hidraw::MonitorDescriptor(); };
    return RunDeviceCheckTerminal(settings);
}
