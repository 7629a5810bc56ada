#include "SetupCommandLine.h"

#include "LowerCase.h"

namespace {

// The option's name without its "/" or "-", lower-cased; "" when `arg` is not an option.
std::string OptionName(const std::string& arg) {
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return std::string();
    return LowerCaseACP(arg.substr(1));
}

}  // namespace

SetupCommand ParseSetupCommandLine(const std::vector<std::string>& args) {
    SetupCommand command;
    SetupCommand bad;
    bad.action = SetupAction::kBadCommandLine;
    bool sawAction = false, sawQuiet = false, sawLog = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string name = OptionName(args[i]);
        if (name == "?") {
            command.action = SetupAction::kUsage;
            return command;
        }
        if ((name == "install" || name == "uninstall") && !sawAction) {
            sawAction = true;
            command.action = name == "install" ? SetupAction::kInstall : SetupAction::kUninstall;
        } else if (name == "quiet" && !sawQuiet) {
            sawQuiet = true;
            command.quiet = true;
        } else if (name == "log" && !sawLog && i + 1 < args.size() && !args[i + 1].empty()) {
            sawLog = true;
            command.logFile = args[++i];
        } else {
            // An unknown word, a repeated option, both actions, or /log without its file.
            bad.quiet = bad.quiet || sawQuiet;
            for (size_t j = i; j < args.size(); ++j) bad.quiet = bad.quiet || OptionName(args[j]) == "quiet";
            return bad;
        }
    }
    if (!sawAction && (sawQuiet || sawLog)) {
        bad.quiet = sawQuiet;
        return bad;
    }
    return command;
}

const char* SetupUsageText() {
    return "Usage: TovaroCitrixVCClientSetup [/install | /uninstall] [/quiet] [/log FILE]\r\n"
           "  /install    registers the TovUSB channel with every Citrix client found\r\n"
           "  /uninstall  removes it from every Citrix client found\r\n"
           "  /quiet      shows no window (with /install or /uninstall)\r\n"
           "  /log FILE   appends the numbered log lines to FILE\r\n"
           "  /?          shows this text\r\n"
           "Options may start with / or - and are not case-sensitive. Without options the setup\r\n"
           "dialog opens.\r\n"
           "Exit codes: 0 every step succeeded, 1 a step failed (the log says which),\r\n"
           "2 bad command line (nothing done), 3 no Citrix client found.\r\n";
}
