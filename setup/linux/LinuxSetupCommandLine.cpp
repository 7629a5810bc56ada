#include "LinuxSetupCommandLine.h"

#include "UdevRules.h"

namespace linuxsetup {

namespace {

constexpr size_t kMaxArguments = 16;
constexpr size_t kMaxPathLength = 4095;

bool TakeValue(const std::vector<std::string>& arguments, size_t& i, const std::string& name,
               const std::string& inlineValue, bool hasInline, std::string& value, std::string& error) {
    if (hasInline) {
        value = inlineValue;
    } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
    } else {
        error = name + " needs a value";
        return false;
    }
    if (value.empty() || value.size() > kMaxPathLength) {
        error = name + " needs a value of 1 to " + std::to_string(kMaxPathLength) + " characters";
        return false;
    }
    return true;
}

}  // namespace

bool ParseSetupCommandLine(const std::vector<std::string>& arguments, SetupCommandLine& line, std::string& error) {
    if (arguments.size() > kMaxArguments) {
        error = "too many arguments";
        return false;
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.command = SetupCommand::kHelp;
            return true;
        }
        if (argument.compare(0, 2, "--") != 0) {
            SetupCommand command = SetupCommand::kNone;
            if (argument == "install") command = SetupCommand::kInstall;
            else if (argument == "uninstall") command = SetupCommand::kUninstall;
            else if (argument == "status") command = SetupCommand::kStatus;
            if (command == SetupCommand::kNone) {
                error = "unknown command \"" + argument.substr(0, 64) + "\"";
                return false;
            }
            if (line.command != SetupCommand::kNone) {
                error = "give one command";
                return false;
            }
            line.command = command;
            continue;
        }
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const bool hasInline = equals != std::string::npos;
        const std::string inlineValue = hasInline ? argument.substr(equals + 1) : "";
        if (name == "--quiet" && !hasInline) {
            line.quiet = true;
        } else if (name == "--icaroot") {
            if (!TakeValue(arguments, i, name, inlineValue, hasInline, line.icaRoot, error)) return false;
        } else if (name == "--root") {
            if (!TakeValue(arguments, i, name, inlineValue, hasInline, line.root, error)) return false;
        } else if (name == "--log") {
            if (!TakeValue(arguments, i, name, inlineValue, hasInline, line.logFile, error)) return false;
        } else if (name == "--group") {
            if (!TakeValue(arguments, i, name, inlineValue, hasInline, line.group, error)) return false;
            if (!IsValidGroupName(line.group)) {
                error = "--group needs a group name (letters, digits, _ . -, at most 32)";
                return false;
            }
        } else {
            error = "unknown option \"" + argument.substr(0, 64) + "\"";
            return false;
        }
    }
    if (line.command == SetupCommand::kNone) {
        error = "give a command: install, uninstall or status";
        return false;
    }
    return true;
}

std::string SetupUsage() {
    return "Usage: tovusb-setup install|uninstall|status [options]\n"
           "Registers the TovUSB driver (VDTOVUSB.DLL beside this program) with the Citrix ICA Client.\n"
           "  --icaroot DIR   the ICA Client's folder (default $ICAROOT, then /opt/Citrix/ICAClient)\n"
           "  --root DIR      the system whose /etc gets the udev rules (default /)\n"
           "  --group NAME    also give members of this group the devices (thin clients without a seat)\n"
           "  --quiet         print nothing but errors\n"
           "  --log FILE      append the numbered log to FILE\n"
           "Exit codes: 0 done, 1 a step failed, 2 bad command line, 3 no ICA Client found.\n";
}

}  // namespace linuxsetup
