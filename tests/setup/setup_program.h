// Starts the real setup program from a test's program folder: with its dialog, driven through
// window messages as a person would (SetupProgram), or from the command line without a window,
// waiting for its exit code (RunSetupProgram).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace setuptest {

constexpr int kLog = 1012, kInstall = 1013, kUninstall = 1014, kClear = 1015;
constexpr DWORD kWaitMs = 20000;

// Copies the built program into `programFolder` and returns its path there.
std::string CopyProgramTo(const std::string& programFolder);

// The running setup program and its dialog; the destructor closes it and checks its exit code.
class SetupProgram {
public:
    explicit SetupProgram(const std::string& programFolder, const std::string& arguments = "",
                          DWORD expectedExitCode = 0);
    ~SetupProgram();

    HWND WaitForWindow(const char* caption) const;
    std::string Log() const;
    std::vector<std::string> LogLines() const;
    // Returns once the log ends with `text` (or the wait ran out): for actions the program runs by
    // itself.
    bool WaitForLogEnd(const std::string& text) const;
    // Returns once the click's handler has run in the program.
    void Click(int id) const { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

    PROCESS_INFORMATION process = {};
    HWND dialog = nullptr;

private:
    DWORD expectedExitCode;
};

// Runs the program with `arguments`, its standard output into `output`, and returns its exit code
// (or ~0u when it did not end by itself within the wait: a window it must not show keeps it open).
DWORD RunSetupProgram(const std::string& programFolder, const std::string& arguments, std::string* output = nullptr);

}  // namespace setuptest
