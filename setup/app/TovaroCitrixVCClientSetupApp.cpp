#include "TovaroCitrixVCClientSetupApp.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "ChannelInstaller.h"
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

// The actions made for the package and the scheduled task: they never open a window. Heal starts
// its log only when it changes something.
int RunWindowlessAction(const SetupCommand& command, CInstallerLogFile& logFile) {
    if (command.action == SetupAction::kHeal) return RunSetupAction(CChannelInstaller(), command.action, logFile);
    const std::string program = ProgramPath();
    if (program.empty()) {
        logFile.AddLogLine("ERROR: Could not determine the setup program's path");
        return kExitStepFailed;
    }
    const bool done = command.action == SetupAction::kRegisterTask
                          ? installer::RegisterHealTask(program, command.logFile, logFile)
                          : installer::UnregisterHealTask(program, logFile);
    return done ? kExitSucceeded : kExitStepFailed;
}

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
    if (command.quiet) {
        // The same lines the dialog would show: its start-up report, a blank line, the procedure.
        CChannelInstaller installer;
        installer.ReportState(logFile);
        logFile.AddLogLine("");
        exitCode = RunSetupAction(installer, command.action, logFile);
        return FALSE;
    }

    // The dialog hosts no ActiveX controls, so there is no control container to initialise.
    CTovaroCitrixVCClientSetupDlg dialog(command.action, command.logFile.empty() ? nullptr : &logFile);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    if (command.action != SetupAction::kDialog) exitCode = dialog.ActionExitCode();
    // The dialog has closed: end the program.
    return FALSE;
}
