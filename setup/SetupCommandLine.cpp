#include "SetupCommandLine.h"

#include "LowerCase.h"

namespace {

// The option's name without its "/" or "-", lower-cased; "" when `arg` is not an option.
std::string OptionName(const std::string& arg) {
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return std::string();
    return LowerCaseACP(arg.substr(1));
}

// The action an option names; kBadCommandLine when it names none.
SetupAction ActionOption(const std::string& name) {
    if (name == "install") return SetupAction::kInstall;
    if (name == "uninstall") return SetupAction::kUninstall;
    if (name == "heal") return SetupAction::kHeal;
    if (name == "registertask") return SetupAction::kRegisterTask;
    if (name == "unregistertask") return SetupAction::kUnregisterTask;
    return SetupAction::kBadCommandLine;
}

}  // namespace

bool IsWindowlessAction(SetupAction action) {
    return action == SetupAction::kHeal || action == SetupAction::kRegisterTask ||
           action == SetupAction::kUnregisterTask;
}

bool IsPlainLocalPath(const std::string& path) {
    // "X:\" or "X:/" and at least one character after it.
    if (path.size() < 4 || path.size() > 259) return false;
    const char drive = path[0];
    if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z'))) return false;
    if (path[1] != ':' || (path[2] != '\\' && path[2] != '/')) return false;
    for (size_t i = 2; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        // No quotes (they would end the argument in a command line built around the path), no
        // second drive separator (an alternate data stream), no wildcards or device syntax.
        if (c < 0x20 || c == '"' || c == ':' || c == '*' || c == '?' || c == '<' || c == '>' || c == '|') return false;
    }
    const char last = path.back();
    return last != '\\' && last != '/' && last != ' ' && last != '.';
}

SetupCommand ParseSetupCommandLine(const std::vector<std::string>& args) {
    SetupCommand command;
    SetupCommand bad;
    bad.action = SetupAction::kBadCommandLine;
    bool sawAction = false, sawQuiet = false, sawLog = false, sawUser = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string name = OptionName(args[i]);
        if (name == "?") {
            // Quiet wherever it stands: a quiet run never opens a window.
            command.action = SetupAction::kUsage;
            for (const std::string& arg : args) command.quiet = command.quiet || OptionName(arg) == "quiet";
            return command;
        }
        const SetupAction action = ActionOption(name);
        if (action != SetupAction::kBadCommandLine && !sawAction) {
            sawAction = true;
            command.action = action;
        } else if (name == "user" && !sawUser) {
            sawUser = true;
            command.user = true;
        } else if (name == "quiet" && !sawQuiet) {
            sawQuiet = true;
            command.quiet = true;
        } else if (name == "log" && !sawLog && i + 1 < args.size() && IsPlainLocalPath(args[i + 1])) {
            sawLog = true;
            command.logFile = args[++i];
        } else {
            // An unknown word, a repeated option, both actions, or /log without a plain absolute
            // local path.
            bad.quiet = bad.quiet || sawQuiet;
            for (size_t j = i; j < args.size(); ++j) bad.quiet = bad.quiet || OptionName(args[j]) == "quiet";
            return bad;
        }
    }
    if ((!sawAction && (sawQuiet || sawLog)) ||
        (sawUser && command.action != SetupAction::kInstall && command.action != SetupAction::kUninstall)) {
        bad.quiet = sawQuiet;
        return bad;
    }
    return command;
}

const char* SetupUsageText() {
    return "Usage: TovaroCitrixVCClientSetup [/install | /uninstall | /heal | /registertask |\r\n"
           "                                  /unregistertask] [/user] [/quiet] [/log FILE]\r\n"
           "  /install    registers the TovUSB channel with every Citrix client found\r\n"
           "  /uninstall  removes it from every Citrix client found\r\n"
           "  /user       with /install or /uninstall: only for the Citrix client you installed\r\n"
           "              for yourself (in %LOCALAPPDATA%\\Citrix\\ICA Client), without\r\n"
           "              administrator rights; everything else needs them\r\n"
           "  /heal       registers it with every Citrix client found whose registration is\r\n"
           "              missing or incomplete, leaves the others untouched, removes nothing;\r\n"
           "              logs only what it changed; never opens a window\r\n"
           "  /registertask    writes TovUSB-HealTask.xml beside this program and registers it\r\n"
           "              as the scheduled task \"TovUSB Heal\" (runs /heal as the local system\r\n"
           "              account at start-up, at logon and after every Windows Installer\r\n"
           "              installation); the package does this at install. Refused when\r\n"
           "              anyone but administrators can replace this program\r\n"
           "  /unregistertask  removes that task and the file\r\n"
           "  /quiet      shows no window (with an action)\r\n"
           "  /log FILE   appends the numbered log lines to FILE, a full local path\r\n"
           "              such as C:\\Windows\\Temp\\TovUSB-Setup.log (no quotes, no \\\\server)\r\n"
           "  /?          shows this text\r\n"
           "Options may start with / or - and are not case-sensitive. Without options the setup\r\n"
           "dialog opens.\r\n"
           "Exit codes: 0 every step succeeded, 1 a step failed (the log says which),\r\n"
           "2 bad command line (nothing done), 3 no Citrix client found (/install, /uninstall;\r\n"
           "for /heal no client means nothing to do: 0), 4 /registertask refused: someone other\r\n"
           "than an administrator can replace this program (nothing registered), 5 not run as\r\n"
           "administrator (nothing done; /user needs no administrator rights).\r\n";
}
