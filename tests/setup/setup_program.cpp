#include "setup_program.h"

#include <gtest/gtest.h>

#include "ProcessWindow.h"
#include "setup_sandbox.h"

namespace setuptest {

std::string CopyProgramTo(const std::string& programFolder) {
    const std::string exe = programFolder + "TovaroCitrixVCClientSetup.exe";
    std::string built = TOV_SETUP_PROGRAM_PATH;
    if (!built.empty() && built[0] == '/') built = "Z:" + built;
    EXPECT_TRUE(CopyFileA(built.c_str(), exe.c_str(), FALSE)) << built;
    return exe;
}

SetupProgram::SetupProgram(const std::string& programFolder, const std::string& arguments, DWORD expectedExitCode)
    : expectedExitCode(expectedExitCode) {
    const std::string exe = CopyProgramTo(programFolder);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, programFolder.c_str(),
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start " << exe << ", error " << GetLastError();
        return;
    }
    WaitForInputIdle(process.hProcess, kWaitMs);
    dialog = WaitForWindow("TovaroCitrixVCClientSetup");
    EXPECT_TRUE(dialog != nullptr) << "the setup dialog did not appear";
    // The window exists while its initialisation still runs; the start-up log always ends with a
    // blank line.
    WaitForLogEnd("\r\n\r\n");
}

SetupProgram::~SetupProgram() {
    if (!process.hProcess) return;
    if (dialog) PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(process.hProcess, kWaitMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the setup program did not end on the Close command";
        TerminateProcess(process.hProcess, 1);
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(expectedExitCode, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

HWND SetupProgram::WaitForWindow(const char* caption) const {
    for (DWORD waited = 0; waited < kWaitMs; waited += 20) {
        if (HWND found = testsupport::FindProcessWindow(process.dwProcessId, caption)) return found;
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

std::string SetupProgram::Log() const {
    HWND field = GetDlgItem(dialog, kLog);
    const LRESULT length = SendMessageA(field, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT got = SendMessageA(field, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(got));
    return text;
}

std::vector<std::string> SetupProgram::LogLines() const { return SplitLines(Log()); }

bool SetupProgram::WaitForLogEnd(const std::string& end) const {
    for (DWORD waited = 0; dialog && waited < kWaitMs; waited += 10) {
        const std::string text = Log();
        if (text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0) return true;
        Sleep(10);
    }
    return false;
}

DWORD RunSetupProgram(const std::string& programFolder, const std::string& arguments, std::string* output) {
    return RunProgram(CopyProgramTo(programFolder), arguments, programFolder, output);
}

DWORD RunProgram(const std::string& exe, const std::string& arguments, const std::string& folder, std::string* output) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) return ~0u;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + exe + "\" " + arguments;
    const BOOL started = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.c_str(), &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        ADD_FAILURE() << "cannot start " << exe;
        return ~0u;
    }
    DWORD exitCode = ~0u;
    if (WaitForSingleObject(process.hProcess, kWaitMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    if (output) *output = text;
    CloseHandle(readEnd);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

}  // namespace setuptest
