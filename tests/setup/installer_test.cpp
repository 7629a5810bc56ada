#include "ChannelInstaller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_sandbox.h"

namespace setuptest {
namespace {

const std::string kModuleKeyText = kModuleKey;
const std::string kListKeyText = kListKey;

// Records what the procedures write, as the dialog would show it.
class RecordingLog : public CInstallerLogInterface {
public:
    void AddLogLine(const std::string& text) override { lines.push_back(text); }
    void Refresh() override { ++refreshes; }
    std::vector<std::string> lines;
    int refreshes = 0;
};

class InstallerTest : public SetupSandbox {
protected:
    void SetUp() override {
        SetupSandbox::SetUp();
        installer = CChannelInstaller([this](CFileName& folder) {
            return folder.SetFullName(programFolder);
        });
    }

    std::vector<std::string> Install() {
        RecordingLog log;
        installer.OnInstall(log);
        lastRefreshes = log.refreshes;
        return log.lines;
    }
    std::vector<std::string> Uninstall() {
        RecordingLog log;
        installer.OnUninstall(log);
        lastRefreshes = log.refreshes;
        return log.lines;
    }
    std::string List() const {
        std::string list;
        EXPECT_TRUE(ReadList(list));
        return list;
    }
    static std::string Read(const std::string& list) {
        return "Sucessfully read " + list + " from value VirtualDriverEx in registry key " + kListKeyText;
    }
    static std::string Wrote(const std::string& list) {
        return "Successfully wrote " + list + " to value VirtualDriverEx in registry key " + kListKeyText;
    }
    std::string Copied() const {
        return "Successfully copied " + driverSource() + " to " + driverTarget();
    }

    CChannelInstaller installer;
    int lastRefreshes = 0;
};

const std::string kAdded =
    "Successfully added TovaroCitrixVC.dll to registry value " + kModuleKeyText;
const std::string kInstallDone = "Citrix client installation finished successfully\r\n";
const std::string kUninstallDone = "Citrix client uninstall finished successfully\r\n";

TEST_F(InstallerTest, InstallRegistersCopiesAndLogsEveryStep) {
    InstallICAClient("Alpha");
    PutDriverBesideProgram();
    EXPECT_FALSE(installer.IsChannelInstalled());

    const std::vector<std::string> expected = {kAdded, Read("Alpha"), Wrote("Alpha, TovUSB"), Copied(),
                                               kInstallDone};
    EXPECT_EQ(expected, Install());
    EXPECT_EQ(1, lastRefreshes);
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue());
    EXPECT_EQ("Alpha, TovUSB", List());
    std::string copied;
    ASSERT_TRUE(ReadFile(driverTarget(), copied));
    EXPECT_EQ(kDriverContent, copied);
    EXPECT_TRUE(installer.IsChannelInstalled());
}

TEST_F(InstallerTest, InstallAddsTheChannelOnlyWhenTheListDoesNotContainIt) {
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"", "TovUSB"},
        {"Alpha", "Alpha, TovUSB"},
        {"Thinwire3.0, ClientDrive", "Thinwire3.0, ClientDrive, TovUSB"},
        {"TovUSB", "TovUSB"},
        {"tovusb", "tovusb"},
        {"A, TOVUSB, B", "A, TOVUSB, B"},
        {"TovUSB2", "TovUSB2, TovUSB"},  // another driver's entry is not ours
        {"XTovUSB", "XTovUSB, TovUSB"},
        {"A,tovusb ,B", "A,tovusb ,B"},  // blanks around an entry do not matter
    };
    PutDriverBesideProgram();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        InstallICAClient(c.before);
        std::vector<std::string> expected = {kAdded, Read(c.before)};
        if (std::string(c.before) != c.after) expected.push_back(Wrote(c.after));
        expected.push_back(Copied());
        expected.push_back(kInstallDone);
        EXPECT_EQ(expected, Install());
        EXPECT_EQ(c.after, List());
    }
}

TEST_F(InstallerTest, UninstallRemovesOneEntryTheKeyAndTheFile) {
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"A, TovUSB, B", "A, B"},
        {"A, TovUSB", "A"},
        {"TovUSB, B", ", B"},
        {"TovUSB", ""},
        {"A, tovusb", "A"},
        {"TovUSB, TovUSB", "TovUSB"},
        {"TovUSB2, TovUSB", "TovUSB2"},
        {"A, TovUSB2, TovUSB", "A, TovUSB2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        InstallICAClient(c.before);
        WriteModuleValue("TovaroCitrixVC.dll");
        WriteFile(driverTarget(), "installed");
        const std::vector<std::string> expected = {
            "Successfully deleted registry key " + kModuleKeyText, Read(c.before), Wrote(c.after),
            "Successfully deleted " + driverTarget(), kUninstallDone};
        EXPECT_EQ(expected, Uninstall());
        EXPECT_EQ(1, lastRefreshes);
        EXPECT_EQ(c.after, List());
        EXPECT_FALSE(ModuleKeyExists());
        EXPECT_FALSE(FileExists(driverTarget()));
    }
}

TEST_F(InstallerTest, UninstallNeverCutsIntoAnotherEntry) {
    // Only whole entries are removed: "A, TovUSB2" must not become "A2".
    for (const char* list : {"A, TovUSB2", "TovUSB2", "MyTovUSB, B"}) {
        SCOPED_TRACE(list);
        InstallICAClient(list);
        WriteModuleValue("TovaroCitrixVC.dll");
        WriteFile(driverTarget(), "installed");
        const std::vector<std::string> expected = {
            "Successfully deleted registry key " + kModuleKeyText, Read(list),
            "Successfully deleted " + driverTarget(), kUninstallDone};
        EXPECT_EQ(expected, Uninstall());
        EXPECT_EQ(list, List());
    }
}

TEST_F(InstallerTest, SecondInstallRewritesTheKeyKeepsTheListAndReplacesTheFile) {
    InstallICAClient("Alpha");
    PutDriverBesideProgram(DllImage(kMachineI386, "first build"));
    Install();
    WriteModuleValue("something else");
    PutDriverBesideProgram(DllImage(kMachineI386, "second build"));

    const std::vector<std::string> expected = {kAdded, Read("Alpha, TovUSB"), Copied(), kInstallDone};
    EXPECT_EQ(expected, Install());
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue());
    EXPECT_EQ("Alpha, TovUSB", List());
    std::string copied;
    ASSERT_TRUE(ReadFile(driverTarget(), copied));
    EXPECT_EQ(DllImage(kMachineI386, "second build"), copied);
}

TEST_F(InstallerTest, ReadOnlyTargetIsReplaced) {
    InstallICAClient("");
    PutDriverBesideProgram();
    WriteFile(driverTarget(), "old read-only driver");
    ASSERT_TRUE(SetFileAttributesA(driverTarget().c_str(), FILE_ATTRIBUTE_READONLY));
    const std::vector<std::string> lines = Install();
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ(Copied(), lines[3]);
    std::string copied;
    ASSERT_TRUE(ReadFile(driverTarget(), copied));
    EXPECT_EQ(kDriverContent, copied);
}

TEST_F(InstallerTest, InstallWithoutTheDriverBesideTheProgramChangesNothing) {
    InstallICAClient("Alpha");
    EXPECT_FALSE(installer.DriverSourceExists());
    EXPECT_EQ(std::vector<std::string>{"Error: Citrix client DLL does not exist"}, Install());
    EXPECT_EQ(0, lastRefreshes);
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_EQ("Alpha", List());
    EXPECT_FALSE(FileExists(driverTarget()));

    // A folder of the driver's name is not the driver file either.
    ASSERT_TRUE(CreateDirectoryA(driverSource().c_str(), nullptr));
    EXPECT_FALSE(installer.DriverSourceExists());
    RemoveDirectoryA(driverSource().c_str());
}

TEST_F(InstallerTest, UninstallRemovesEachPieceThatIsLeftAndASecondRunFinishes) {
    // A removal that stopped part-way left the list entry and the file, but not the module key.
    InstallICAClient("A, TovUSB");
    WriteFile(driverTarget(), "installed");
    EXPECT_TRUE(installer.IsChannelInstalled());
    EXPECT_TRUE(installer.CanUninstall());
    const std::vector<std::string> expected = {
        "Registry key " + kModuleKeyText + " does not exist, nothing to delete", Read("A, TovUSB"), Wrote("A"),
        "Successfully deleted " + driverTarget(), kUninstallDone};
    EXPECT_EQ(expected, Uninstall());
    EXPECT_EQ("A", List());
    EXPECT_FALSE(FileExists(driverTarget()));
    EXPECT_FALSE(installer.IsChannelInstalled());

    // Only the module key left: it alone makes the channel count as installed, and goes.
    WriteModuleValue("TovaroCitrixVC.dll");
    EXPECT_TRUE(installer.IsChannelInstalled());
    const std::vector<std::string> second = {"Successfully deleted registry key " + kModuleKeyText, Read("A"),
                                             driverTarget() + " does not exist, nothing to delete", kUninstallDone};
    EXPECT_EQ(second, Uninstall());
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_EQ("A", List());
}

TEST_F(InstallerTest, WithoutTheICAClientNothingIsTouched) {
    PutDriverBesideProgram();
    WriteList("Alpha");  // a list without an install folder still means no ICA Client
    EXPECT_FALSE(installer.IsICAClientInstalled());
    EXPECT_EQ("", installer.GetICAClientFolder());
    EXPECT_EQ(std::vector<std::string>{"ERROR: Citrix client is not installed"}, Install());
    EXPECT_EQ(std::vector<std::string>{"ERROR: Citrix client is not installed"}, Uninstall());
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_EQ("Alpha", List());

    // An empty install folder counts as no ICA Client.
    const std::string empty;
    InstallICAClient(nullptr, &empty);
    EXPECT_FALSE(installer.IsICAClientInstalled());
}

TEST_F(InstallerTest, AFailedInstallPutsBackExactlyWhatWasThere) {
    // No list: the read fails after the module key was written; the key is deleted again.
    InstallICAClient(nullptr);
    PutDriverBesideProgram();
    const std::vector<std::string> expected = {
        kAdded, "ERROR: Could not read value VirtualDriverEx in registry key " + kListKeyText,
        "Put back: deleted registry key " + kModuleKeyText,
        "ERROR: Citrix client installation failed; what it had changed was put back"};
    EXPECT_EQ(expected, Install());
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_FALSE(FileExists(driverTarget()));

    // A registration from before (another driver name in the module key, an older file, the
    // list entry) and a copy that fails: the target is held open without delete sharing, so it
    // can be neither renamed nor replaced. Everything is as it was.
    WriteList("Alpha, TovUSB");
    WriteModuleValue("Older.dll");
    WriteFile(driverTarget(), "older driver");
    HANDLE held = CreateFileA(driverTarget().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const std::vector<std::string> lines = Install();
    CloseHandle(held);
    const std::vector<std::string> heldExpected = {
        kAdded, Read("Alpha, TovUSB"), "ERROR: Could not copy " + driverSource() + " to " + driverTarget(),
        "Put back: value DriverNameWin32 in registry key " + kModuleKeyText + " as it was",
        "ERROR: Citrix client installation failed; what it had changed was put back"};
    EXPECT_EQ(heldExpected, lines);
    EXPECT_EQ("Older.dll", ModuleValue());
    EXPECT_EQ("Alpha, TovUSB", List());
    std::string content;
    ASSERT_TRUE(ReadFile(driverTarget(), content));
    EXPECT_EQ("older driver", content);
}

TEST_F(InstallerTest, AFileThatCannotBeRenamedFailsOnlyItsOwnUninstallStep) {
    InstallICAClient("A, TovUSB");
    WriteModuleValue("TovaroCitrixVC.dll");
    WriteFile(driverTarget(), "held");
    HANDLE held = CreateFileA(driverTarget().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const std::vector<std::string> expected = {"Successfully deleted registry key " + kModuleKeyText,
                                               Read("A, TovUSB"), Wrote("A"),
                                               "ERROR: Could not delete " + driverTarget()};
    EXPECT_EQ(expected, Uninstall());
    CloseHandle(held);
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_EQ("A", List());
    // The Uninstall button stays enabled for the file, and a second run removes it.
    EXPECT_TRUE(installer.CanUninstall());
    const std::vector<std::string> second = {"Registry key " + kModuleKeyText + " does not exist, nothing to delete",
                                             Read("A"), "Successfully deleted " + driverTarget(), kUninstallDone};
    EXPECT_EQ(second, Uninstall());
    EXPECT_FALSE(installer.CanUninstall());
}

TEST_F(InstallerTest, FolderValueWithoutTrailingSeparatorStillGetsTheFileInside) {
    const std::string withoutSeparator = clientFolder.substr(0, clientFolder.size() - 1);
    InstallICAClient("", &withoutSeparator);
    PutDriverBesideProgram();
    EXPECT_EQ(driverTarget(), installer.GetDriverTargetPath());
    const std::vector<std::string> lines = Install();
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ(Copied(), lines[3]);
    EXPECT_TRUE(FileExists(driverTarget()));
    EXPECT_FALSE(FileExists(withoutSeparator + "TovaroCitrixVC.dll"));
}

TEST_F(InstallerTest, QueriesAndAnUnknownProgramFolder) {
    InstallICAClient("");
    EXPECT_EQ(clientFolder, installer.GetICAClientFolder());
    WriteModuleValue("anything at all");
    EXPECT_TRUE(installer.IsChannelInstalled());
    EXPECT_EQ(driverSource(), installer.GetDriverSourcePath());

    CChannelInstaller lost([](CFileName&) { return false; });
    EXPECT_THROW(lost.GetDriverSourcePath(), int);
    EXPECT_FALSE(lost.DriverSourceExists());
    RecordingLog log;
    lost.OnInstall(log);
    EXPECT_EQ(std::vector<std::string>{"Error: Citrix client DLL does not exist"}, log.lines);
}

}  // namespace
}  // namespace setuptest
