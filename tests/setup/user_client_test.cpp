// The ICA Client a user installed for themselves, through the real program: its folder and keys
// prepared as such an installation leaves them (the engine in "%LOCALAPPDATA%\Citrix\ICA Client",
// the module keys under HKEY_CURRENT_USER), %LOCALAPPDATA% pointed into the test's own folder for
// the program it starts, and a machine-wide client beside it that /user must leave alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "setup_program.h"
#include "setup_sandbox.h"

namespace setuptest {
namespace {

const std::string kUserModuleKey = kModuleKey;

class UserClientTest : public SetupSandbox {
protected:
    void SetUp() override {
        SetupSandbox::SetUp();
        ForgetUserKeys();
        const std::string local = root + "AppData\\Local";
        userFolder = local + "\\Citrix\\ICA Client\\";
        for (const std::string& folder : {root + "AppData", local, local + "\\Citrix", userFolder})
            ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
        ASSERT_TRUE(SetEnvironmentVariableA("LOCALAPPDATA", local.c_str()));
    }
    void TearDown() override {
        ForgetUserKeys();
        SetupSandbox::TearDown();
    }
    static void ForgetUserKeys() { RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\Citrix"); }

    Snapshot User() const {
        Snapshot snapshot;
        AddKey(snapshot, HKEY_CURRENT_USER, 0, "SOFTWARE\\Citrix");
        AddFiles(snapshot, userFolder);
        return snapshot;
    }
    static Snapshot Machine() {
        Snapshot snapshot;
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            for (const char* key : {"SOFTWARE\\Citrix", "SOFTWARE\\Tovaro"}) AddKey(snapshot, HKEY_LOCAL_MACHINE, view, key);
        return snapshot;
    }
    DWORD Quiet(const char* action, const char* logName) {
        return RunSetupProgram(programFolder, std::string(action) + " /quiet /log \"" + root + logName + "\"");
    }
    std::string Log(const char* name) const {
        std::string content;
        ReadFile(root + name, content);
        return content;
    }

    std::string userFolder;
};

TEST_F(UserClientTest, InstallUserRegistersTheUsersOwnClientAndUninstallUserGivesItBackLeavingTheMachineAlone) {
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    InstallICAClient("Beta");
    // A 64-bit engine under a name other than wfica32.exe: its PE header tells the bitness.
    WriteFile(userFolder + "wfica.exe", DllImage(kMachineX64, "per-user engine"));
    HKEY list;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kListKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &list, nullptr));
    RegSetValueExA(list, "VirtualDriverEx", 0, REG_SZ, reinterpret_cast<const BYTE*>("Alpha"), 6);
    RegCloseKey(list);
    const Snapshot machine = Machine(), before = User();

    ASSERT_EQ(0u, Quiet("/install /user", "install.log")) << Log("install.log");
    Snapshot installed = User();
    EXPECT_EQ("1:TovaroCitrixVC.dll" + std::string(1, '\0'), installed["HKCU|" + kUserModuleKey + "\\DriverNameWin32"]);
    EXPECT_EQ("1:Alpha, TovUSB" + std::string(1, '\0'), installed["HKCU|" + std::string(kListKey) + "\\VirtualDriverEx"]);
    EXPECT_EQ(kDriver64Content, installed[userFolder + "TovaroCitrixVC.dll"]);
    EXPECT_NE(std::string::npos, Log("install.log").find("Per-user client: Citrix client installation finished"))
        << Log("install.log");

    EXPECT_EQ(0u, Quiet("/install /user", "again.log")) << Log("again.log");
    EXPECT_TRUE(installed == User()) << "a second install changed something";

    EXPECT_EQ(0u, Quiet("/uninstall /user", "uninstall.log")) << Log("uninstall.log");
    EXPECT_TRUE(before == User()) << Log("uninstall.log");
    EXPECT_TRUE(machine == Machine()) << "the machine-wide keys changed";

    // The program asks for no administrator rights at start: a standard user can run /user.
    std::string program;
    ASSERT_TRUE(ReadFile(CopyProgramTo(programFolder), program));
    EXPECT_NE(std::string::npos, program.find("<requestedExecutionLevel level=\"asInvoker\""));
}

}  // namespace
}  // namespace setuptest
