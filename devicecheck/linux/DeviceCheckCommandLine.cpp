#include "DeviceCheckCommandLine.h"

#include "TerminalCommand.h"

namespace devicecheck {

namespace {

constexpr size_t kMaxArguments = 8;
constexpr size_t kMaxPathLength = 4095;

}  // namespace

bool ParseDeviceCheckCommandLine(const std::vector<std::string>& arguments, DeviceCheckCommandLine& line,
                                 std::string& error) {
    line = DeviceCheckCommandLine();
    if (arguments.size() > kMaxArguments) {
        error = "too many arguments";
        return false;
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
            return true;
        }
        std::string name = argument, value;
        bool hasInline = false;
        const size_t equals = argument.find('=');
        if (argument.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            hasInline = true;
        }
        std::string* target = nullptr;
        if (name == "--icaroot") target = &line.icaRoot;
        if (name == "--root") target = &line.root;
        if (!target) {
            error = "unknown argument " + (argument.size() > 64 ? argument.substr(0, 64) + "..." : argument);
            return false;
        }
        if (!hasInline) {
            if (i + 1 >= arguments.size()) {
                error = name + " needs a folder";
                return false;
            }
            value = arguments[++i];
        }
        if (value.empty() || value.size() > kMaxPathLength) {
            error = name + " needs a folder of 1 to " + std::to_string(kMaxPathLength) + " characters";
            return false;
        }
        *target = value;
    }
    return true;
}

std::string DeviceCheckUsage() {
    return "Usage: tovusb-devicecheck [--icaroot DIR] [--root DIR] [--help]\n"
           "Checks the TovUSB channel on this system: its registration with the Citrix ICA Client,\n"
           "the USB dictation devices the driver serves, their buttons and LEDs.\n"
           "  --icaroot DIR  the ICA Client's folder (default $ICAROOT, else /opt/Citrix/ICAClient)\n"
           "  --root DIR     the system whose /etc holds the udev rules (default /)\n"
           "Reads one command a line from standard input: at a terminal with a prompt, showing the\n"
           "button lines as they come; from a pipe or file without a prompt, for scripts and tests.\n" +
           TerminalCommandHelp() +
           "Exit codes: 0 every command succeeded, 1 a command failed, 2 bad command line.\n";
}

}  // namespace devicecheck
