// The heal (/heal): the channel registered with each ICA Client whose registration is not whole,
// through the install's own steps, while a whole client is left exactly as it is and a run with
// nothing to heal writes nothing at all.
#include "ChannelInstaller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "file_holder.h"
#include "setup_program.h"
#include "setup_sandbox.h"

namespace setuptest {
namespace {

const std::string kModule = kModuleKey;
const std::string kList = std::string("VirtualDriverEx in registry key ") + kListKey;
const std::string kHealing = "Citrix virtual channel is not wholly registered; registering it";
const std::string kFinished = "Citrix client installation finished successfully\r\n";

class RecordingLog : public CInstallerLogInterface {
public:
    void AddLogLine(const std::string& text) override { lines.push_back(text); }
    void Refresh() override {}
    std::vector<std::string> lines;
};

class HealTest : public SetupSandbox {
protected:
    std::vector<std::string> Heal(bool expectWhole) {
        const std::string folder = programFolder;
        CChannelInstaller installer([folder](CFileName& name) { return name.SetFullName(folder); },
                                    [] { return true; });
        RecordingLog log;
        EXPECT_EQ(expectWhole, installer.OnHeal(log));
        return log.lines;
    }
    static void WriteModuleValue64(const std::string& driverName) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kModuleKey, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr));
        RegSetValueExA(key, "DriverNameWin32", 0, REG_SZ, reinterpret_cast<const BYTE*>(driverName.c_str()),
                       static_cast<DWORD>(driverName.size() + 1));
        RegCloseKey(key);
    }
    static std::string Content(const std::string& path) {
        std::string content;
        EXPECT_TRUE(ReadFile(path, content)) << path;
        return content;
    }
    void ExpectWhole32(const std::string& list) {
        EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue());
        std::string text;
        EXPECT_TRUE(ReadList(text));
        EXPECT_EQ(list, text);
        EXPECT_EQ(kDriverContent, Content(driverTarget()));
    }
    void ExpectWhole64(const std::string& list) {
        EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue64());
        std::string text;
        EXPECT_TRUE(ReadList64(text));
        EXPECT_EQ(list, text);
        EXPECT_EQ(kDriver64Content, Content(driverTarget64()));
    }
};

TEST_F(HealTest, AWholeRegistrationNeedsTheDriverByteForByteAndOnlyTheMissingPiecesAreWritten) {
    // 32-bit: module value right, list entry missing, an older TovUSB driver in use by a running
    // client (renamed aside, as install does). 64-bit: module key missing, the rest right, its
    // driver held open without delete sharing by a running client: any rename or rewrite of it
    // would fail the heal.
    InstallICAClient("Alpha");
    WriteModuleValue("TovaroCitrixVC.dll");
    ASSERT_TRUE(CopyFileA(LoadableDll().c_str(), driverTarget().c_str(), FALSE));
    FileHolder session(FileHolder::Mode::kLoad, driverTarget());
    ASSERT_TRUE(session.Held());
    InstallICAClient64("TovUSB, Beta");
    WriteFile(driverTarget64(), kDriver64Content);
    FileHolder session64(FileHolder::Mode::kOpen, driverTarget64());
    ASSERT_TRUE(session64.Held());
    PutDriverBesideProgram();
    PutDriver64BesideProgram();

    const std::vector<std::string> lines = Heal(true);

    const std::string aside = driverTarget() + ".old-1";
    const std::vector<std::string> expected = {
        "32-bit client: " + kHealing,
        "32-bit client: Sucessfully read Alpha from value " + kList,
        "32-bit client: Successfully wrote Alpha, TovUSB to value " + kList,
        "32-bit client: Successfully copied " + driverSource() + " to " + driverTarget(),
        "32-bit client: " + driverTarget() + " is in use; it was renamed to " + aside +
            " and is deleted at the next restart. A restart (or the end of the running Citrix sessions) completes "
            "the replacement",
        "32-bit client: " + kFinished,
        "64-bit client: " + kHealing,
        "64-bit client: Successfully added TovaroCitrixVC.dll to registry value " + kModule,
        "64-bit client: Sucessfully read TovUSB, Beta from value " + kList,
        "64-bit client: " + kFinished};
    EXPECT_EQ(expected, lines);
    ExpectWhole32("Alpha, TovUSB");
    ExpectWhole64("TovUSB, Beta");
    EXPECT_TRUE(IsMarkedForDeletionAtRestart(aside));
    // Whole everywhere now: a second run has nothing to say.
    EXPECT_EQ(std::vector<std::string>(), Heal(true));
    ASSERT_TRUE(session.Release());
    ASSERT_TRUE(session64.Release());
    ForgetDeletionsAtRestartUnder(root);
}

TEST_F(HealTest, NothingToHealIsNoFailureAndLeftoversOfAGoneClientStay) {
    // No client at all.
    EXPECT_EQ(std::vector<std::string>(), Heal(true));

    // The 32-bit client was removed and left its keys (with the channel's) but not its folder:
    // nothing is removed and nothing is said; the 64-bit client's missing driver is a failure.
    InstallICAClient("Alpha, TovUSB");
    WriteModuleValue("TovaroCitrixVC.dll");
    RemoveTree(clientFolder);
    EXPECT_EQ(std::vector<std::string>(), Heal(true));
    std::string list;
    EXPECT_TRUE(ReadList(list));
    EXPECT_EQ("Alpha, TovUSB", list);
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue());

    InstallICAClient64("Beta");
    const std::vector<std::string> expected = {"64-bit client: " + kHealing,
                                               "64-bit client: Error: Citrix client DLL does not exist"};
    EXPECT_EQ(expected, Heal(false));
    EXPECT_FALSE(ModuleKeyExists64());
}

TEST_F(HealTest, TheProgramsHealRunsWithoutAWindowAndLogsOnlyWhatItChanged) {
    CopyProgramTo(programFolder);
    const std::string log = root + "heal.log";
    // Nothing to heal: exit 0, and not even an empty log file.
    EXPECT_EQ(0u, RunSetupProgram(programFolder, "/heal /log " + log));
    EXPECT_FALSE(FileExists(log));

    InstallICAClient64("Beta");
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    EXPECT_EQ(0u, RunSetupProgram(programFolder, "/heal /quiet /log " + log));
    ExpectWhole64("Beta, TovUSB");
    std::string text;
    ASSERT_TRUE(ReadFile(log, text));
    // Six numbered lines, the first saying why, the last that it is done; no state report.
    EXPECT_EQ(0u, text.find("1.\t64-bit client: " + kHealing + "\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("6.\t64-bit client: " + kFinished)) << text;
    EXPECT_EQ(std::string::npos, text.find("7.\t")) << text;

    EXPECT_EQ(0u, RunSetupProgram(programFolder, "/heal /log " + log));
    std::string after;
    ASSERT_TRUE(ReadFile(log, after));
    EXPECT_EQ(text, after);

    // A client that cannot be healed: exit 1.
    WriteModuleValue64("Other.dll");
    DeleteFileA(driverSource64().c_str());
    EXPECT_EQ(1u, RunSetupProgram(programFolder, "/heal /quiet"));
    EXPECT_EQ("Other.dll", ModuleValue64());
}

}  // namespace
}  // namespace setuptest
