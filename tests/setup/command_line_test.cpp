// The setup program's command line: parsing, the exit codes of silent runs, and the log file
// holding exactly what the dialog shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProcessWindow.h"
#include "SetupCommandLine.h"
#include "setup_program.h"
#include "setup_sandbox.h"

namespace setuptest {
namespace {

TEST(SetupCommandLineTest, OptionsInAnyCaseWithSlashOrDash) {
    struct Case {
        std::vector<std::string> args;
        SetupAction action;
        bool quiet;
        std::string log;
    };
    const Case cases[] = {
        {{}, SetupAction::kDialog, false, ""},
        {{"/install"}, SetupAction::kInstall, false, ""},
        {{"-UNINSTALL"}, SetupAction::kUninstall, false, ""},
        {{"/Install", "-Quiet", "/LOG", "C:\\a b.log"}, SetupAction::kInstall, true, "C:\\a b.log"},
        {{"/log", "d:/logs/x.log", "/uninstall"}, SetupAction::kUninstall, false, "d:/logs/x.log"},
        {{"/?"}, SetupAction::kUsage, false, ""},
        {{"/install", "-?"}, SetupAction::kUsage, false, ""},
        // The usage of a quiet run is never shown in a window, wherever /quiet stands.
        {{"/quiet", "/?"}, SetupAction::kUsage, true, ""},
        {{"/?", "-QUIET"}, SetupAction::kUsage, true, ""},
        {{"/HEAL", "/log", "C:\\h.log"}, SetupAction::kHeal, false, "C:\\h.log"},
        {{"-RegisterTask", "/quiet"}, SetupAction::kRegisterTask, true, ""},
        {{"/unregistertask"}, SetupAction::kUnregisterTask, false, ""},
    };
    for (const Case& c : cases) {
        const SetupCommand command = ParseSetupCommandLine(c.args);
        EXPECT_EQ(c.action, command.action) << testing::PrintToString(c.args);
        EXPECT_EQ(c.quiet, command.quiet) << testing::PrintToString(c.args);
        EXPECT_EQ(c.log, command.logFile) << testing::PrintToString(c.args);
    }
}

TEST(SetupCommandLineTest, BadCommandLinesDoNothingAndRememberQuiet) {
    const std::vector<std::vector<std::string>> bad = {
        {"/install", "/uninstall"}, {"/install", "/install"}, {"install"},       {"/setup"},
        {"/install", "/log"},       {"/quiet"},               {"/log", "x.log"}, {"/install", "/quiet", "/quiet"},
        {"/"},                      {"/install", "/log", ""},  {"/heal", "/install"},   {"/registertask", "/heal"},
        {"/heal", "/heal"},         {"/unregistertask", "/uninstall"}};
    for (const auto& args : bad) {
        const SetupCommand command = ParseSetupCommandLine(args);
        EXPECT_EQ(SetupAction::kBadCommandLine, command.action) << testing::PrintToString(args);
    }
    // /log takes a plain absolute local path only: the program runs as the local system account
    // under a package, so a network path or a text that could carry more options is refused.
    const char* const badLogs[] = {
        "x.log",                  // relative
        "logs\\x.log",             // relative
        "\\x.log",                 // rooted, but on no drive
        "\\\\server\\share\\x.log",  // UNC
        "//server/share/x.log",   // UNC with forward slashes
        "\\\\?\\C:\\x.log",          // device path
        "C:x.log",                // drive-relative
        "C:\\logs\\",              // a folder
        "C:\\a\" /?",            // a quote that would end the argument
        "\"C:\\x.log\"",           // quoted
        "C:\\x.log:stream",       // alternate data stream
        "C:\\x*.log",
        "1:\\x.log",
    };
    for (const char* log : badLogs) {
        const SetupCommand command = ParseSetupCommandLine({"/install", "/quiet", "/log", log});
        EXPECT_EQ(SetupAction::kBadCommandLine, command.action) << log;
        EXPECT_TRUE(command.quiet) << log;
        EXPECT_FALSE(IsPlainLocalPath(log)) << log;
    }
    for (const char* log : {"C:\\Windows\\Temp\\TovUSB-Setup.log", "z:/a b/c.log", "D:\\x"})
        EXPECT_TRUE(IsPlainLocalPath(log)) << log;

    // A quiet run shows no usage box even when its command line is wrong.
    EXPECT_TRUE(ParseSetupCommandLine({"/bogus", "/quiet"}).quiet);
    EXPECT_TRUE(ParseSetupCommandLine({"/quiet", "/bogus"}).quiet);
    EXPECT_FALSE(ParseSetupCommandLine({"/bogus"}).quiet);
}

class CommandLineTest : public SetupSandbox {
protected:
    std::string LogPath(const char* name) const { return root + name; }
    std::string LogContent(const char* name) const {
        std::string content;
        EXPECT_TRUE(ReadFile(LogPath(name), content)) << name;
        return content;
    }
    // Exit code of a quiet run with its log going to `logName`.
    DWORD Quiet(const char* action, const char* logName) {
        return RunSetupProgram(programFolder, std::string(action) + " /quiet /log \"" + LogPath(logName) + "\"");
    }
};

TEST_F(CommandLineTest, ExitCodes) {
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    // 3: no ICA Client; the log says so after the start-up lines.
    EXPECT_EQ(3u, Quiet("/install", "none.log"));
    EXPECT_EQ("1.\tCitrix client is not installed\r\n2.\tCitrix virtual channel is not installed\r\n\r\n"
              "4.\tERROR: Citrix client is not installed\r\n",
              LogContent("none.log"));
    EXPECT_EQ(3u, Quiet("-UNINSTALL", "none.log"));

    // 1: a step failed (no list of virtual drivers); the log names it, and the module key written
    // before it is gone again.
    InstallICAClient(nullptr);
    EXPECT_EQ(1u, Quiet("/install", "failed.log"));
    const std::vector<std::string> failed = SplitLines(LogContent("failed.log"));
    ASSERT_EQ(7u, failed.size());
    EXPECT_EQ("5.\tERROR: Could not read value VirtualDriverEx in registry key " + std::string(kListKey), failed[4]);
    EXPECT_EQ("6.\tPut back: deleted registry key " + std::string(kModuleKey), failed[5]);
    EXPECT_EQ("7.\tERROR: Citrix client installation failed; what it had changed was put back", failed[6]);
    EXPECT_FALSE(ModuleKeyExists());

    // 0: every step succeeded, for both clients.
    WriteList("Alpha");
    InstallICAClient64("");
    EXPECT_EQ(0u, Quiet("/install", "done.log"));
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue());
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue64());

    // 2: a bad command line does nothing and prints the usage where it can.
    std::string usage;
    EXPECT_EQ(2u, RunSetupProgram(programFolder, "/uninstall /quiet /bogus", &usage));
    EXPECT_NE(std::string::npos, usage.find("Usage: TovaroCitrixVCClientSetup")) << usage;
    EXPECT_TRUE(ModuleKeyExists());
    EXPECT_EQ(0u, RunSetupProgram(programFolder, "/?", &usage));
    EXPECT_NE(std::string::npos, usage.find("Exit codes:")) << usage;

    // 2 also for a /log that is not a plain local path: nothing is done, nothing is written.
    for (const std::string& log : {std::string("relative.log"), "\\\\localhost\\C$\\" + root.substr(3) + "unc.log",
                                   "\\\"" + LogPath("quoted.log") + "\\\""}) {
        EXPECT_EQ(2u, RunSetupProgram(programFolder, "/uninstall /quiet /log " + log)) << log;
        EXPECT_TRUE(ModuleKeyExists()) << log;
    }
    EXPECT_FALSE(FileExists(programFolder + "relative.log"));
    EXPECT_FALSE(FileExists(LogPath("unc.log")));
    EXPECT_FALSE(FileExists(LogPath("quoted.log")));
}

// Starts the program without a console and without redirected output, so the usage has nowhere
// to go but a message box.
PROCESS_INFORMATION StartDetached(const std::string& exe, const std::string& arguments, const std::string& folder) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + exe + "\" " + arguments;
    EXPECT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                               folder.c_str(), &startup, &process))
        << commandLine;
    return process;
}

TEST_F(CommandLineTest, QuietUsageOpensNoWindowWithoutAConsole) {
    const std::string exe = CopyProgramTo(programFolder);
    // Without /quiet the usage box opens (the check below can see it), and closes on WM_CLOSE.
    {
        PROCESS_INFORMATION process = StartDetached(exe, "/?", programFolder);
        ASSERT_TRUE(process.hProcess);
        HWND box = nullptr;
        for (DWORD waited = 0; !box && waited < kWaitMs; waited += 20) {
            box = testsupport::FindProcessWindow(process.dwProcessId, "TovaroCitrixVCClientSetup");
            if (!box && WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) break;
        }
        EXPECT_TRUE(box != nullptr) << "no usage box without /quiet";
        if (box) PostMessageA(box, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process.hProcess, kWaitMs) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    // With /quiet the program ends by itself with its exit code: a box would keep it open.
    for (const char* arguments : {"/quiet /?", "/? /quiet", "/install /quiet /bogus"}) {
        PROCESS_INFORMATION process = StartDetached(exe, arguments, programFolder);
        ASSERT_TRUE(process.hProcess);
        const DWORD waited = WaitForSingleObject(process.hProcess, kWaitMs);
        DWORD exitCode = ~0u;
        if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), waited) << arguments << ": a window keeps the program open";
        EXPECT_EQ(std::string(arguments).find("bogus") == std::string::npos ? 0u : 2u, exitCode) << arguments;
    }
}

}  // namespace
}  // namespace setuptest
