// Drives the real setup program through its window as a person would: the test starts the
// program from a folder of its own, reads the log with WM_GETTEXT, clicks with BM_CLICK and looks
// at which buttons are enabled.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "setup_program.h"
#include "setup_sandbox.h"

namespace setuptest {
namespace {

class SetupDialogTest : public SetupSandbox {};

TEST_F(SetupDialogTest, WithoutTheICAClientBothButtonsAreDisabled) {
    PutDriverBesideProgram();
    SetupProgram program(programFolder);
    ASSERT_TRUE(program.dialog);
    EXPECT_EQ("1.\tCitrix client is not installed\r\n"
              "2.\tCitrix virtual channel is not installed\r\n"
              "\r\n",
              program.Log());
    EXPECT_FALSE(program.Enabled(kInstall));
    EXPECT_FALSE(program.Enabled(kUninstall));
    EXPECT_TRUE(program.Enabled(kClear));

    // The log field is read-only, multi-line, without scroll bars; the dialog is an app window
    // with a minimize box.
    const LONG fieldStyle = GetWindowLongA(GetDlgItem(program.dialog, kLog), GWL_STYLE);
    EXPECT_TRUE(fieldStyle & ES_MULTILINE);
    EXPECT_TRUE(fieldStyle & ES_READONLY);
    EXPECT_FALSE(fieldStyle & (WS_VSCROLL | WS_HSCROLL));
    EXPECT_TRUE(GetWindowLongA(program.dialog, GWL_STYLE) & WS_MINIMIZEBOX);
    EXPECT_TRUE(GetWindowLongA(program.dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    for (auto [id, caption] : {std::pair<int, const char*>{kInstall, "&Install"}, {kUninstall, "&Uninstall"},
                               {kClear, "&Clear"}}) {
        char text[64] = {};
        SendMessageA(GetDlgItem(program.dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(caption, text);
    }
}

TEST_F(SetupDialogTest, WithoutTheDriverFileInstallIsDisabledAndTheLogSaysWhere) {
    InstallICAClient("Alpha");
    SetupProgram program(programFolder);
    ASSERT_TRUE(program.dialog);
    EXPECT_EQ("1.\tCitrix client is installed in " + clientFolder + "\r\n" +
                  "2.\tCitrix virtual channel is not installed\r\n" +
                  "3.\tERROR: Could not find Citrix client DLL (" + driverSource() + ")\r\n" + "\r\n",
              program.Log());
    EXPECT_FALSE(program.Enabled(kInstall));
    EXPECT_FALSE(program.Enabled(kUninstall));
}

TEST_F(SetupDialogTest, InstallAndUninstallThroughTheDialog) {
    InstallICAClient("Alpha");
    PutDriverBesideProgram();
    SetupProgram program(programFolder);
    ASSERT_TRUE(program.dialog);
    ASSERT_EQ(3u, program.LogLines().size());
    EXPECT_TRUE(program.Enabled(kInstall));
    EXPECT_FALSE(program.Enabled(kUninstall));

    program.Click(kInstall);
    std::vector<std::string> lines = program.LogLines();
    const std::string list = "VirtualDriverEx in registry key " + std::string(kListKey);
    std::vector<std::string> expected = {
        "1.\tCitrix client is installed in " + clientFolder,
        "2.\tCitrix virtual channel is not installed",
        "",
        "4.\tSuccessfully added TovaroCitrixVC.dll to registry value " + std::string(kModuleKey),
        "5.\tSucessfully read Alpha from value " + list,
        "6.\tSuccessfully wrote Alpha, TovUSB to value " + list,
        "7.\tSuccessfully copied " + driverSource() + " to " + driverTarget(),
        "8.\tCitrix client installation finished successfully",
        "",
    };
    EXPECT_EQ(expected, lines);
    EXPECT_TRUE(program.Enabled(kInstall));
    EXPECT_TRUE(program.Enabled(kUninstall));
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue());
    std::string listValue;
    ASSERT_TRUE(ReadList(listValue));
    EXPECT_EQ("Alpha, TovUSB", listValue);
    std::string copied;
    ASSERT_TRUE(ReadFile(driverTarget(), copied));
    EXPECT_EQ(kDriverContent, copied);

    program.Click(kUninstall);
    lines = program.LogLines();
    ASSERT_EQ(15u, lines.size());
    expected = {
        "9.\tSuccessfully deleted registry key " + std::string(kModuleKey),
        "10.\tSucessfully read Alpha, TovUSB from value " + list,
        "11.\tSuccessfully wrote Alpha to value " + list,
        "12.\tSuccessfully deleted " + driverTarget(),
        "13.\tCitrix client uninstall finished successfully",
        "",
    };
    EXPECT_EQ(expected, std::vector<std::string>(lines.begin() + 9, lines.end()));
    EXPECT_TRUE(program.Enabled(kInstall));
    EXPECT_FALSE(program.Enabled(kUninstall));
    EXPECT_FALSE(ModuleKeyExists());
    ASSERT_TRUE(ReadList(listValue));
    EXPECT_EQ("Alpha", listValue);
    EXPECT_FALSE(FileExists(driverTarget()));
}

TEST_F(SetupDialogTest, AlreadyInstalledChannelAndClearRestartingTheNumbering) {
    InstallICAClient("TovUSB");
    WriteModuleValue("TovaroCitrixVC.dll");
    PutDriverBesideProgram();
    SetupProgram program(programFolder);
    ASSERT_TRUE(program.dialog);
    ASSERT_EQ(3u, program.LogLines().size());
    EXPECT_EQ("2.\tCitrix virutal channel is already installed", program.LogLines()[1]);
    EXPECT_TRUE(program.Enabled(kInstall));
    EXPECT_TRUE(program.Enabled(kUninstall));

    program.Click(kClear);
    EXPECT_EQ("", program.Log());
    EXPECT_TRUE(program.Enabled(kInstall));
    EXPECT_TRUE(program.Enabled(kUninstall));

    program.Click(kInstall);
    const std::vector<std::string> lines = program.LogLines();
    ASSERT_EQ(5u, lines.size());  // a second install: nothing to add to the list
    EXPECT_EQ("1.\tSuccessfully added TovaroCitrixVC.dll to registry value " + std::string(kModuleKey),
              lines[0]);
    EXPECT_EQ("4.\tCitrix client installation finished successfully", lines[3]);
    EXPECT_EQ("", lines[4]);
}

TEST_F(SetupDialogTest, AboutBoxOpensModallyFromTheSystemMenu) {
    SetupProgram program(programFolder);
    ASSERT_TRUE(program.dialog);
    const std::string log = program.Log();
    // The About entry of the system menu sends this command when chosen.
    PostMessageA(program.dialog, WM_SYSCOMMAND, 0x0010, 0);
    HWND about = program.WaitForWindow("About TovaroCitrixVCClientSetup");
    ASSERT_TRUE(about != nullptr);
    // The window exists before its controls are created.
    HWND ok = nullptr;
    for (int i = 0; i < 1000 && !(ok = GetDlgItem(about, IDOK)); ++i) Sleep(10);
    ASSERT_TRUE(ok != nullptr);
    WaitForInputIdle(program.process.hProcess, kWaitMs);
    EXPECT_EQ(program.dialog, GetWindow(about, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(program.dialog));  // modal: the main dialog waits
    char text[128] = {};
    SendMessageA(ok, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("OK", text);

    SendMessageA(ok, BM_CLICK, 0, 0);
    for (int i = 0; i < 500 && IsWindow(about); ++i) Sleep(10);
    EXPECT_FALSE(IsWindow(about));
    EXPECT_TRUE(IsWindowEnabled(program.dialog));
    EXPECT_EQ(log, program.Log());
}

TEST_F(SetupDialogTest, WithA64BitClientTheButtonsActOnEveryClient) {
    InstallICAClient("Alpha");
    InstallICAClient64("");
    PutDriver64BesideProgram();  // the 32-bit driver is missing
    {
        SetupProgram program(programFolder);
        ASSERT_TRUE(program.dialog);
        const std::vector<std::string> expected = {
            "1.\t32-bit Citrix client is installed in " + clientFolder,
            "2.\tCitrix virtual channel is not installed for the 32-bit Citrix client",
            "3.\tERROR: Could not find 32-bit Citrix client DLL (" + driverSource() + ")",
            "4.\t64-bit Citrix client is installed in " + clientFolder64,
            "5.\tCitrix virtual channel is not installed for the 64-bit Citrix client",
            "",
        };
        EXPECT_EQ(expected, program.LogLines());
        // Install registers every client or none: without one client's driver it cannot run.
        EXPECT_FALSE(program.Enabled(kInstall));
        EXPECT_FALSE(program.Enabled(kUninstall));
    }

    PutDriverBesideProgram();
    SetupProgram program(programFolder);
    ASSERT_TRUE(program.dialog);
    EXPECT_TRUE(program.Enabled(kInstall));
    program.Click(kInstall);
    const std::string list = "VirtualDriverEx in registry key " + std::string(kListKey);
    const std::string added = "Successfully added TovaroCitrixVC.dll to registry value " + std::string(kModuleKey);
    // Each client's steps, then, once all of them succeeded, each client's closing line.
    const std::vector<std::string> expected = {
        "6.\t32-bit client: " + added,
        "7.\t32-bit client: Sucessfully read Alpha from value " + list,
        "8.\t32-bit client: Successfully wrote Alpha, TovUSB to value " + list,
        "9.\t32-bit client: Successfully copied " + driverSource() + " to " + driverTarget(),
        "10.\t64-bit client: " + added,
        "11.\t64-bit client: Sucessfully read  from value " + list,
        "12.\t64-bit client: Successfully wrote TovUSB to value " + list,
        "13.\t64-bit client: Successfully copied " + driverSource64() + " to " + driverTarget64(),
        "14.\t32-bit client: Citrix client installation finished successfully",
        "",
        "15.\t64-bit client: Citrix client installation finished successfully",
        "",
    };
    std::vector<std::string> lines = program.LogLines();
    ASSERT_EQ(17u, lines.size());
    EXPECT_EQ(expected, std::vector<std::string>(lines.begin() + 5, lines.end()));
    EXPECT_TRUE(program.Enabled(kUninstall));
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue64());
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue());

    program.Click(kUninstall);
    lines = program.LogLines();
    ASSERT_EQ(29u, lines.size());
    EXPECT_EQ("16.\t32-bit client: Successfully deleted registry key " + std::string(kModuleKey), lines[17]);
    EXPECT_EQ("24.\t64-bit client: Successfully deleted " + driverTarget64(), lines[26]);
    EXPECT_FALSE(program.Enabled(kUninstall));
    EXPECT_TRUE(program.Enabled(kInstall));
    EXPECT_FALSE(ModuleKeyExists64());
    EXPECT_FALSE(FileExists(driverTarget64()));
}

}  // namespace
}  // namespace setuptest
