// Install and uninstall while a running ICA Client holds the driver in its folder: a helper
// process loads it (Windows, and Wine, then refuse to delete or overwrite it but allow a rename)
// or holds it open without delete sharing (then not even a rename works). Run through the real
// program's command line, and in-process for a failure after the first client was registered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChannelInstaller.h"
#include "file_holder.h"
#include "setup_program.h"
#include "setup_sandbox.h"

namespace setuptest {
namespace {

class RecordingLog : public CInstallerLogInterface {
public:
    void AddLogLine(const std::string& text) override { lines.push_back(text); }
    void Refresh() override {}
    std::vector<std::string> lines;
};

class DriverInUseTest : public SetupSandbox {
protected:
    void TearDown() override {
        ForgetDeletionsAtRestartUnder(root);
        SetupSandbox::TearDown();
    }
    std::string LogPath(const char* name) const { return root + name; }
    std::string LogText(const char* name) const {
        std::string text;
        EXPECT_TRUE(ReadFile(LogPath(name), text)) << name;
        return text;
    }
    DWORD Quiet(const char* action, const char* logName) {
        return RunSetupProgram(programFolder, std::string(action) + " /quiet /log \"" + LogPath(logName) + "\"");
    }
    // A registration from before whose driver file is a real, loadable DLL.
    void RegisterLoadableDriver(const std::string& target) {
        WriteModuleValue("TovaroCitrixVC.dll");
        ASSERT_TRUE(CopyFileA(LoadableDll().c_str(), target.c_str(), FALSE)) << LoadableDll();
    }
    static std::string Content(const std::string& path) {
        std::string content;
        EXPECT_TRUE(ReadFile(path, content)) << path;
        return content;
    }
    CChannelInstaller Installer() const {
        const std::string folder = programFolder;
        return CChannelInstaller([folder](CFileName& name) { return name.SetFullName(folder); });
    }
};

TEST_F(DriverInUseTest, InstallReplacesALoadedDriverAndTheNextRunDeletesWhatWasRenamed) {
    InstallICAClient("Alpha, TovUSB");
    PutDriverBesideProgram();
    RegisterLoadableDriver(driverTarget());
    const std::string aside = driverTarget() + ".old-1";
    {
        FileHolder client(FileHolder::Mode::kLoad, driverTarget());
        ASSERT_TRUE(client.Held());
        // The loaded file really is locked against deletion.
        ASSERT_FALSE(DeleteFileA(driverTarget().c_str()));

        EXPECT_EQ(0u, Quiet("/install", "install.log"));
        EXPECT_EQ(kDriverContent, Content(driverTarget()));
        EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue());
        std::string list;
        ASSERT_TRUE(ReadList(list));
        EXPECT_EQ("Alpha, TovUSB", list);
        // The old file is beside it under our name, and Windows deletes it at the next restart.
        EXPECT_TRUE(FileExists(aside));
        EXPECT_TRUE(IsMarkedForDeletionAtRestart(aside));
        const std::string log = LogText("install.log");
        EXPECT_NE(std::string::npos,
                  log.find(driverTarget() + " is in use; it was renamed to " + aside +
                           " and is deleted at the next restart. A restart (or the end of the running Citrix "
                           "sessions) completes the replacement\r\n"))
            << log;
        EXPECT_NE(std::string::npos, log.find("Citrix client installation finished successfully")) << log;

        // A second install while the old file is still loaded: a new name, both kept.
        EXPECT_EQ(0u, Quiet("/install", "again.log"));
        EXPECT_TRUE(FileExists(aside));
        EXPECT_FALSE(FileExists(driverTarget() + ".old-2")) << "the new copy was not in use: deleted at once";
        ASSERT_TRUE(client.Release());
    }
    // The session ended: the next run deletes what earlier runs renamed aside.
    EXPECT_EQ(0u, Quiet("/install", "after.log"));
    EXPECT_FALSE(FileExists(aside));
    EXPECT_EQ(std::string::npos, LogText("after.log").find("is in use"));
}

TEST_F(DriverInUseTest, UninstallRemovesTheKeysAndRenamesALoadedDriverAside) {
    InstallICAClient("Alpha, TovUSB");
    RegisterLoadableDriver(driverTarget());
    FileHolder client(FileHolder::Mode::kLoad, driverTarget());
    ASSERT_TRUE(client.Held());

    EXPECT_EQ(0u, Quiet("/uninstall", "uninstall.log"));
    EXPECT_FALSE(ModuleKeyExists());
    std::string list;
    ASSERT_TRUE(ReadList(list));
    EXPECT_EQ("Alpha", list);
    EXPECT_FALSE(FileExists(driverTarget()));
    const std::string aside = driverTarget() + ".old-1";
    EXPECT_TRUE(FileExists(aside));
    EXPECT_TRUE(IsMarkedForDeletionAtRestart(aside));
    const std::string log = LogText("uninstall.log");
    EXPECT_NE(std::string::npos, log.find(" is in use; it was renamed to " + aside +
                                          " and is deleted at the next restart. A restart (or the end of the "
                                          "running Citrix sessions) completes the removal\r\n"))
        << log;
    EXPECT_NE(std::string::npos, log.find("Citrix client uninstall finished successfully")) << log;

    // Nothing left to remove: a second uninstall says so for each piece and succeeds.
    EXPECT_EQ(0u, Quiet("/uninstall", "second.log"));
    const std::string second = LogText("second.log");
    EXPECT_NE(std::string::npos, second.find(driverTarget() + " does not exist, nothing to delete")) << second;
    EXPECT_NE(std::string::npos, second.find(std::string("Registry key ") + kModuleKey +
                                             " does not exist, nothing to delete"))
        << second;
}

TEST_F(DriverInUseTest, AFailureAfterTheFirstClientWasRegisteredPutsBothClientsBack) {
    // The 32-bit client has nothing of the channel; the 64-bit one has an older registration whose
    // file is held open without delete sharing, so its copy fails after the 32-bit client was
    // registered completely.
    InstallICAClient("Alpha");
    InstallICAClient64("Beta, TovUSB");
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    WriteFile(driverTarget64(), "older 64-bit driver");
    FileHolder client(FileHolder::Mode::kOpen, driverTarget64());
    ASSERT_TRUE(client.Held());

    RecordingLog log;
    EXPECT_FALSE(Installer().OnInstall(log));
    ASSERT_TRUE(client.Release());

    const std::string list = std::string("VirtualDriverEx in registry key ") + kListKey;
    const std::vector<std::string> expected = {
        "32-bit client: Successfully added TovaroCitrixVC.dll to registry value " + std::string(kModuleKey),
        "32-bit client: Sucessfully read Alpha from value " + list,
        "32-bit client: Successfully wrote Alpha, TovUSB to value " + list,
        "32-bit client: Successfully copied " + driverSource() + " to " + driverTarget(),
        "64-bit client: Successfully added TovaroCitrixVC.dll to registry value " + std::string(kModuleKey),
        "64-bit client: Sucessfully read Beta, TovUSB from value " + list,
        "64-bit client: ERROR: Could not copy " + driverSource64() + " to " + driverTarget64(),
        "64-bit client: Put back: deleted registry key " + std::string(kModuleKey),
        "32-bit client: Put back: deleted " + driverTarget(),
        "32-bit client: Put back: Successfully wrote Alpha to value " + list,
        "32-bit client: Put back: deleted registry key " + std::string(kModuleKey),
        "ERROR: Citrix client installation failed; what it had changed was put back"};
    EXPECT_EQ(expected, log.lines);
    // Exactly the state from before, for both clients.
    std::string text;
    EXPECT_FALSE(ModuleKeyExists());
    ASSERT_TRUE(ReadList(text));
    EXPECT_EQ("Alpha", text);
    EXPECT_FALSE(FileExists(driverTarget()));
    EXPECT_FALSE(ModuleKeyExists64());
    ASSERT_TRUE(ReadList64(text));
    EXPECT_EQ("Beta, TovUSB", text);
    EXPECT_EQ("older 64-bit driver", Content(driverTarget64()));
    EXPECT_FALSE(FileExists(driverTarget64() + ".old-1"));
}

TEST_F(DriverInUseTest, AFailedInstallMovesAReplacedDriverBack) {
    // The 32-bit client's earlier driver is renamed aside for the copy; the 64-bit client's list
    // is missing, so its read fails afterwards and the earlier 32-bit file comes back.
    InstallICAClient("TovUSB");
    InstallICAClient64(nullptr);
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    WriteModuleValue("TovaroCitrixVC.dll");
    WriteFile(driverTarget(), "earlier 32-bit driver");

    RecordingLog log;
    EXPECT_FALSE(Installer().OnInstall(log));
    ASSERT_GE(log.lines.size(), 3u);
    EXPECT_EQ("32-bit client: Put back: the previous " + driverTarget(), log.lines[log.lines.size() - 3]);
    EXPECT_EQ("earlier 32-bit driver", Content(driverTarget()));
    EXPECT_FALSE(FileExists(driverTarget() + ".old-1"));
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue());
    EXPECT_FALSE(ModuleKeyExists64());
}

}  // namespace
}  // namespace setuptest
