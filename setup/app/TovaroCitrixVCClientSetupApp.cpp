#include "TovaroCitrixVCClientSetupApp.h"

#include <cstdio>
#include <cstdlib>
#include <shellapi.h>

#include <string>
#include <vector>

#include "AdministratorRights.h"
#include "ChannelInstaller.h"
#include "DateTime.h"
#include "HealLog.h"
#include "HealTask.h"
#include "LogFile.h"
#include "SetupCommandLine.h"
#include "TovaroCitrixVCClientSetupDlg.h"

// The program's one application object.
CTovaroCitrixVCClientSetupApp theApp;

namespace {

bool WriteTo(HANDLE handle, const std::string& text) {
    DWORD written = 0;
    return handle && handle != INVALID_HANDLE_VALUE &&
           ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}

// Shows a text for the person who started the program: on its standard output when it has one
// (redirected, or a console), else on the console of the program that started it, else in a
// message box unless the run is quiet. A quiet run never opens a window: under the system account
// there is no one to close it.
void Tell(const std::string& text, bool quiet, UINT icon) {
    if (WriteTo(::GetStdHandle(STD_OUTPUT_HANDLE), text)) return;
    if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
        HANDLE console = ::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        const bool told = WriteTo(console, text);
        if (console != INVALID_HANDLE_VALUE) ::CloseHandle(console);
        ::FreeConsole();
        if (told) return;
    }
    if (!quiet) ::MessageBoxA(nullptr, text.c_str(), "TovaroCitrixVCClientSetup", MB_OK | icon);
}

// A drive letter that names a network share (a mapped drive) is not a local path either.
bool IsOnNetworkDrive(const std::string& path) {
    if (path.size() < 3) return false;
    const std::string root = path.substr(0, 2) + "\\";
    return ::GetDriveTypeA(root.c_str()) == DRIVE_REMOTE;
}

// The full path of this program, as the scheduled task must name it.
std::string ProgramPath() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(path, length);
}

// The local date, as the heal's record of its last failure keeps it.
std::string Today() {
    const CDateTime now = CDateTime::Now();
    char text[16];
    snprintf(text, sizeof text, "%04d-%02d-%02d", now.year, now.month, now.day);
    return text;
}

// The actions made for the package and the scheduled task: they never open a window. Heal starts
// its log only when it changes something or fails, a repeated failure once a day.
int RunWindowlessAction(const SetupCommand& command, CInstallerLogFile& logFile) {
    if (command.action == SetupAction::kHeal) {
        CHealLog healLog(logFile, command.logFile, Today());
        const int exitCode = RunSetupAction(CChannelInstaller(), command.action, healLog);
        healLog.Finish(exitCode == kExitSucceeded);
        return exitCode;
    }
    const std::string program = ProgramPath();
    if (program.empty()) {
        logFile.AddLogLine("ERROR: Could not determine the setup program's path");
        return kExitStepFailed;
    }
    if (command.action == SetupAction::kUnregisterTask)
        return installer::UnregisterHealTask(program, logFile) ? kExitSucceeded : kExitStepFailed;
    switch (installer::RegisterHealTask(program, command.logFile, logFile)) {
        case installer::HealTaskResult::kRegistered: return kExitSucceeded;
        case installer::HealTaskResult::kRefused: return kExitTaskRefused;
        default: return kExitStepFailed;
    }
}

// Starts this program again with the same arguments, asking Windows for administrator rights,
// waits for it and returns its exit code; kExitNotAdministrator when it did not run (declined).
int RunElevated() {
    const std::string program = ProgramPath();
    const char* arguments = ::GetCommandLineA();
    // The arguments after the program's own name, which may be quoted.
    bool quoted = false;
    for (; *arguments && (quoted || (*arguments != ' ' && *arguments != '\t')); ++arguments)
        if (*arguments == '"') quoted = !quoted;
    while (*arguments == ' ' || *arguments == '\t') ++arguments;
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS;
    run.lpVerb = "runas";
    run.lpFile = program.c_str();
    run.lpParameters = arguments;
    run.nShow = SW_SHOWNORMAL;
    if (program.empty() || !::ShellExecuteExA(&run) || !run.hProcess) return kExitNotAdministrator;
    ::WaitForSingleObject(run.hProcess, INFINITE);
    DWORD exitCode = kExitNotAdministrator;
    ::GetExitCodeProcess(run.hProcess, &exitCode);
    ::CloseHandle(run.hProcess);
    return static_cast<int>(exitCode);
}

constexpr const char* kNeedsAdministrator =
    "ERROR: This needs administrator rights (run it as administrator); nothing was done. A Citrix client you "
    "installed for yourself is registered without them: TovaroCitrixVCClientSetup.exe /install /user";

}  // namespace

BOOL CTovaroCitrixVCClientSetupApp::InitInstance() {
    const std::vector<std::string> args(__argv + (__argc > 0 ? 1 : 0), __argv + __argc);
    const SetupCommand command = ParseSetupCommandLine(args);
    if (command.action == SetupAction::kUsage) {
        Tell(SetupUsageText(), command.quiet, MB_ICONINFORMATION);
        exitCode = kExitSucceeded;
        return FALSE;
    }
    if (command.action == SetupAction::kBadCommandLine || IsOnNetworkDrive(command.logFile)) {
        Tell(SetupUsageText(), command.quiet, MB_ICONERROR);
        exitCode = kExitBadCommandLine;
        return FALSE;
    }

    // Everything machine-wide needs administrator rights; the program asks for none at start, so
    // that a standard user can register their own client (/user). The dialog asks Windows for
    // them; a run that shows no window cannot ask, and refuses.
    const bool machineWide = !command.user;
    if (machineWide && !HasAdministratorRights()) {
        if (!command.quiet && !IsWindowlessAction(command.action)) {
            exitCode = RunElevated();
            return FALSE;
        }
        CInstallerLogFile refusal(command.logFile);
        refusal.AddLogLine(kNeedsAdministrator);
        Tell(std::string(kNeedsAdministrator) + "\r\n", true, MB_ICONERROR);
        exitCode = kExitNotAdministrator;
        return FALSE;
    }

    CInstallerLogFile logFile(command.logFile, command.action == SetupAction::kHeal);
    if (!logFile.IsOpen()) {
        Tell("Cannot write the log file " + command.logFile + "\r\n",
             command.quiet || IsWindowlessAction(command.action), MB_ICONERROR);
        exitCode = kExitBadCommandLine;
        return FALSE;
    }

    if (IsWindowlessAction(command.action)) {
        exitCode = RunWindowlessAction(command, logFile);
        return FALSE;
    }
    const CChannelInstaller::InstallScope scope =
        command.user ? CChannelInstaller::InstallScope::kUser : CChannelInstaller::InstallScope::kMachine;
    if (command.quiet) {
        // The same lines the dialog would show: its start-up report, a blank line, the procedure.
        CChannelInstaller installer(scope);
        installer.ReportState(logFile);
        logFile.AddLogLine("");
        exitCode = RunSetupAction(installer, command.action, logFile);
        return FALSE;
    }

    // The dialog hosts no ActiveX controls, so there is no control container to initialise.
    CTovaroCitrixVCClientSetupDlg dialog(command.action, command.logFile.empty() ? nullptr : &logFile, scope);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    if (command.action != SetupAction::kDialog) exitCode = dialog.ActionExitCode();
    // The dialog has closed: end the program.
    return FALSE;
}
