// The setup program's command line: parsing, the exit codes of silent runs, and the log file
// holding exactly what the dialog shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
        {{"/log", "x.log", "/uninstall"}, SetupAction::kUninstall, false, "x.log"},
        {{"/?"}, SetupAction::kUsage, false, ""},
        {{"/install", "-?"}, SetupAction::kUsage, false, ""},
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
        {"/"},                      {"/install", "/log", ""}};
    for (const auto& args : bad) {
        const SetupCommand command = ParseSetupCommandLine(args);
        EXPECT_EQ(SetupAction::kBadCommandLine, command.action) << testing::PrintToString(args);
    }
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

    // 1: a step failed (no list of virtual drivers); the log's last line names it.
    InstallICAClient(nullptr);
    EXPECT_EQ(1u, Quiet("/install", "failed.log"));
    const std::vector<std::string> failed = SplitLines(LogContent("failed.log"));
    ASSERT_FALSE(failed.empty());
    EXPECT_EQ("5.\tERROR: Could not read value VirtualDriverEx in registry key " + std::string(kListKey), failed.back());

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
}

TEST_F(CommandLineTest, SecondInstallIsHarmlessAndUninstallLeavesNothing) {
    InstallICAClient("Alpha");
    InstallICAClient64("Beta");
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_EQ(0u, Quiet("/install", "install.log"));
        std::string list;
        ASSERT_TRUE(ReadList(list));
        EXPECT_EQ("Alpha, TovUSB", list);
        ASSERT_TRUE(ReadList64(list));
        EXPECT_EQ("Beta, TovUSB", list);
        std::string content;
        ASSERT_TRUE(ReadFile(driverTarget(), content));
        EXPECT_EQ(kDriverContent, content);
        ASSERT_TRUE(ReadFile(driverTarget64(), content));
        EXPECT_EQ(kDriver64Content, content);
    }
    // The log file is appended to: both runs are in it, each starting at line 1.
    const std::string log = LogContent("install.log");
    EXPECT_EQ(log.find("1.\t32-bit Citrix client is installed in"), 0u) << log;
    EXPECT_NE(std::string::npos, log.find("1.\t32-bit Citrix client is installed in", 1)) << log;

    EXPECT_EQ(0u, Quiet("/uninstall", "uninstall.log"));
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_FALSE(ModuleKeyExists64());
    EXPECT_FALSE(FileExists(driverTarget()));
    EXPECT_FALSE(FileExists(driverTarget64()));
    std::string list;
    ASSERT_TRUE(ReadList(list));
    EXPECT_EQ("Alpha", list);
    ASSERT_TRUE(ReadList64(list));
    EXPECT_EQ("Beta", list);
}

TEST_F(CommandLineTest, LogFileHoldsWhatTheDialogShows) {
    InstallICAClient("Alpha");
    InstallICAClient64("");
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    std::string shown;
    {
        // Without /quiet the dialog opens and runs the install by itself.
        SetupProgram program(programFolder, "/install /log \"" + LogPath("dialog.log") + "\"", 0);
        ASSERT_TRUE(program.dialog);
        ASSERT_TRUE(program.WaitForLogEnd("64-bit client: Citrix client installation finished successfully\r\n\r\n"))
            << program.Log();
        shown = program.Log();
        EXPECT_TRUE(program.Enabled(kUninstall));
    }
    EXPECT_EQ(shown, LogContent("dialog.log"));

    // The same install run quietly from the same state writes the same lines.
    EXPECT_EQ(0u, Quiet("/uninstall", "uninstall.log"));
    EXPECT_EQ(0u, Quiet("/install", "quiet.log"));
    EXPECT_EQ(shown, LogContent("quiet.log"));
}

}  // namespace
}  // namespace setuptest
