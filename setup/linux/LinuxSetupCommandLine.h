// The command line of tovusb-setup:
//   tovusb-setup install|uninstall|status [--icaroot DIR] [--root DIR] [--group NAME] [--quiet] [--log FILE]
// Options may also be written --name=value. Every argument is bounded before it is used.
#pragma once

#include <string>
#include <vector>

namespace linuxsetup {

enum class SetupCommand { kNone, kInstall, kUninstall, kStatus, kHelp };

struct SetupCommandLine {
    SetupCommand command = SetupCommand::kNone;
    std::string icaRoot;  // "" when not given
    std::string root = "/";
    std::string group;
    bool quiet = false;
    std::string logFile;
};

// False with a message on a bad command line.
bool ParseSetupCommandLine(const std::vector<std::string>& arguments, SetupCommandLine& line, std::string& error);

// The usage text.
std::string SetupUsage();

}  // namespace linuxsetup
