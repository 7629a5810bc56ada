// The installer on a PC with a 64-bit ICA Client: alone, beside the 32-bit one, on 32-bit Windows
// (where it cannot exist), and the check that each client gets a driver of its own machine type.
#include "ChannelInstaller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PeImage.h"
#include "setup_sandbox.h"

namespace setuptest {
namespace {

using Client = installer::ClientBitness;

class RecordingLog : public CInstallerLogInterface {
public:
    void AddLogLine(const std::string& text) override { lines.push_back(text); }
    void Refresh() override {}
    std::vector<std::string> lines;
};

const std::string kModule = kModuleKey;
const std::string kList = std::string("VirtualDriverEx in registry key ") + kListKey;

class ClientsTest : public SetupSandbox {
protected:
    CChannelInstaller Installer(bool windows64 = true) const {
        const std::string folder = programFolder;
        return CChannelInstaller([folder](CFileName& name) { return name.SetFullName(folder); },
                                 [windows64] { return windows64; });
    }
    std::vector<std::string> Install(bool expectDone, bool windows64 = true) {
        RecordingLog log;
        EXPECT_EQ(expectDone, Installer(windows64).OnInstall(log));
        return log.lines;
    }
    std::vector<std::string> Uninstall(bool expectDone) {
        RecordingLog log;
        EXPECT_EQ(expectDone, Installer().OnUninstall(log));
        return log.lines;
    }
    std::vector<std::string> State(bool windows64 = true) const {
        RecordingLog log;
        Installer(windows64).ReportState(log);
        return log.lines;
    }
    // The lines of a complete first install into a client whose list was `list`.
    std::vector<std::string> Installed(const std::string& label, const std::string& list, const std::string& source,
                                       const std::string& target) const {
        return {label + "Successfully added TovaroCitrixVC.dll to registry value " + kModule,
                label + "Sucessfully read " + list + " from value " + kList,
                label + "Successfully wrote " + (list.empty() ? "" : list + ", ") + "TovUSB to value " + kList,
                label + "Successfully copied " + source + " to " + target,
                label + "Citrix client installation finished successfully\r\n"};
    }
    std::vector<std::string> Uninstalled(const std::string& label, const std::string& before,
                                         const std::string& after, const std::string& target) const {
        return {label + "Successfully deleted registry key " + kModule,
                label + "Sucessfully read " + before + " from value " + kList,
                label + "Successfully wrote " + after + " to value " + kList,
                label + "Successfully deleted " + target,
                label + "Citrix client uninstall finished successfully\r\n"};
    }
    static std::string Content(const std::string& path) {
        std::string content;
        EXPECT_TRUE(ReadFile(path, content)) << path;
        return content;
    }
};

TEST_F(ClientsTest, OnlyA64BitClientGetsThe64BitDriverAndKeysInThe64BitView) {
    InstallICAClient64("Thinwire3.0");
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    const std::vector<std::string> state = {
        "32-bit Citrix client is not installed",
        "64-bit Citrix client is installed in " + clientFolder64,
        "Citrix virtual channel is not installed for the 64-bit Citrix client"};
    EXPECT_EQ(state, State());

    EXPECT_EQ(Installed("64-bit client: ", "Thinwire3.0", driverSource64(), driverTarget64()), Install(true));
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue64());
    std::string list;
    ASSERT_TRUE(ReadList64(list));
    EXPECT_EQ("Thinwire3.0, TovUSB", list);
    EXPECT_EQ(kDriver64Content, Content(driverTarget64()));
    // Nothing reached the 32-bit view or a 32-bit client's folder.
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_FALSE(ReadList(list));
    EXPECT_FALSE(FileExists(driverTarget()));
    EXPECT_TRUE(Installer().IsChannelInstalled(Client::k64));
    EXPECT_FALSE(Installer().IsChannelInstalled(Client::k32));
    EXPECT_EQ("Citrix virtual channel is already installed for the 64-bit Citrix client", State()[2]);

    EXPECT_EQ(Uninstalled("64-bit client: ", "Thinwire3.0, TovUSB", "Thinwire3.0", driverTarget64()),
              Uninstall(true));
    EXPECT_FALSE(ModuleKeyExists64());
    EXPECT_FALSE(FileExists(driverTarget64()));
}

TEST_F(ClientsTest, BothClientsAreInstalledAndUninstalled32BitFirst) {
    InstallICAClient("Alpha");
    InstallICAClient64("");
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    const std::vector<std::string> state = {
        "32-bit Citrix client is installed in " + clientFolder,
        "Citrix virtual channel is not installed for the 32-bit Citrix client",
        "64-bit Citrix client is installed in " + clientFolder64,
        "Citrix virtual channel is not installed for the 64-bit Citrix client"};
    EXPECT_EQ(state, State());
    EXPECT_TRUE(Installer().CanInstall());
    EXPECT_FALSE(Installer().CanUninstall());

    // Each client's steps, then each client's closing line once all of them succeeded.
    std::vector<std::string> expected = Installed("32-bit client: ", "Alpha", driverSource(), driverTarget());
    const std::vector<std::string> installed64 = Installed("64-bit client: ", "", driverSource64(), driverTarget64());
    const std::string done32 = expected.back();
    expected.pop_back();
    expected.insert(expected.end(), installed64.begin(), installed64.end() - 1);
    expected.push_back(done32);
    expected.push_back(installed64.back());
    EXPECT_EQ(expected, Install(true));
    EXPECT_EQ(kDriverContent, Content(driverTarget()));
    EXPECT_EQ(kDriver64Content, Content(driverTarget64()));
    std::string list32, list64;
    ASSERT_TRUE(ReadList(list32));
    ASSERT_TRUE(ReadList64(list64));
    EXPECT_EQ("Alpha, TovUSB", list32);
    EXPECT_EQ("TovUSB", list64);
    EXPECT_TRUE(Installer().CanUninstall());

    expected = Uninstalled("32-bit client: ", "Alpha, TovUSB", "Alpha", driverTarget());
    for (const std::string& line : Uninstalled("64-bit client: ", "TovUSB", "", driverTarget64()))
        expected.push_back(line);
    EXPECT_EQ(expected, Uninstall(true));
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_FALSE(ModuleKeyExists64());
    EXPECT_FALSE(FileExists(driverTarget()));
    EXPECT_FALSE(FileExists(driverTarget64()));
    ASSERT_TRUE(ReadList(list32));
    ASSERT_TRUE(ReadList64(list64));
    EXPECT_EQ("Alpha", list32);
    EXPECT_EQ("", list64);
    EXPECT_FALSE(Installer().CanUninstall());
}

TEST_F(ClientsTest, OneClientsMissingDriverStopsTheInstallBeforeAnythingChanges) {
    // The 32-bit driver is missing: install registers every client or none.
    InstallICAClient("");
    InstallICAClient64("");
    PutDriver64BesideProgram();
    EXPECT_EQ("ERROR: Could not find 32-bit Citrix client DLL (" + driverSource() + ")", State()[2]);
    EXPECT_FALSE(Installer().CanInstall());
    EXPECT_EQ(std::vector<std::string>{"32-bit client: Error: Citrix client DLL does not exist"}, Install(false));
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_FALSE(ModuleKeyExists64());
    EXPECT_FALSE(FileExists(driverTarget64()));

    // The channel registered with the 64-bit client only: uninstall has nothing to remove from
    // the 32-bit one, which is not a failure.
    PutDriverBesideProgram();
    WriteList64("TovUSB");
    WriteFile(driverTarget64(), kDriver64Content);
    std::vector<std::string> expected = {"32-bit client: Citrix virtual channel is not installed, nothing to remove",
                                         "64-bit client: Registry key " + kModule + " does not exist, nothing to delete",
                                         "64-bit client: Sucessfully read TovUSB from value " + kList,
                                         "64-bit client: Successfully wrote  to value " + kList,
                                         "64-bit client: Successfully deleted " + driverTarget64(),
                                         "64-bit client: Citrix client uninstall finished successfully\r\n"};
    EXPECT_EQ(expected, Uninstall(true));
}

TEST_F(ClientsTest, ADriverOfTheWrongMachineTypeIsRefusedBeforeAnythingChanges) {
    InstallICAClient64("Alpha");
    PutDriver64BesideProgram(kDriverContent);  // the 32-bit build in the x64 folder
    EXPECT_EQ(std::vector<std::string>{"64-bit client: ERROR: " + driverSource64() + " is not a 64-bit (x86-64) DLL"},
              Install(false));
    EXPECT_FALSE(ModuleKeyExists64());
    std::string list;
    ASSERT_TRUE(ReadList64(list));
    EXPECT_EQ("Alpha", list);
    EXPECT_FALSE(FileExists(driverTarget64()));

    // Without a 64-bit client the 32-bit client's lines carry no name.
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Citrix\\Install\\ICA Client", KEY_WOW64_64KEY, 0);
    InstallICAClient("Alpha");
    for (const std::string& wrong : {kDriver64Content, std::string("MZ but nothing more"),
                                     DllImage(kMachineI386, "").replace(0x44 + 19, 1, 1, '\x01')}) {  // a program, not a DLL
        PutDriverBesideProgram(wrong);
        EXPECT_EQ(std::vector<std::string>{"ERROR: " + driverSource() + " is not a 32-bit (i386) DLL"},
                  Install(false));
        EXPECT_FALSE(ModuleKeyExists());
        EXPECT_FALSE(FileExists(driverTarget()));
    }
}

TEST_F(ClientsTest, On32BitWindowsThereIsNo64BitClient) {
    // What a 32-bit Windows would answer: its only registry is reached through either view, so a
    // 64-bit client must never be looked for there.
    InstallICAClient64("Alpha");
    PutDriver64BesideProgram();
    EXPECT_FALSE(Installer(false).IsICAClientInstalled(Client::k64));
    EXPECT_EQ((std::vector<std::string>{"Citrix client is not installed", "Citrix virtual channel is not installed",
                                        "ERROR: Could not find Citrix client DLL (" + driverSource() + ")"}),
              State(false));
    EXPECT_EQ(std::vector<std::string>{"ERROR: Citrix client is not installed"}, Install(false, false));
    EXPECT_FALSE(ModuleKeyExists64());
}

TEST(PeImageTest, OnlyADllHeaderOfTheRequestedMachineIsAccepted) {
    using installer::IsDllImageForMachine;
    EXPECT_TRUE(IsDllImageForMachine(DllImage(kMachineI386, ""), kMachineI386));
    EXPECT_TRUE(IsDllImageForMachine(DllImage(kMachineX64, ""), kMachineX64));
    EXPECT_FALSE(IsDllImageForMachine(DllImage(kMachineX64, ""), kMachineI386));
    EXPECT_FALSE(IsDllImageForMachine(DllImage(kMachineI386, ""), kMachineX64));

    std::string image = DllImage(kMachineX64, "");
    EXPECT_FALSE(IsDllImageForMachine(image.substr(0, image.size() - 1), kMachineX64));  // cut short
    std::string pe32 = image;
    pe32[0x44 + 20] = 0x0B;
    pe32[0x44 + 21] = 0x01;  // a PE32 optional header with an x86-64 machine type
    EXPECT_FALSE(IsDllImageForMachine(pe32, kMachineX64));
    std::string farAway = image;
    farAway[0x3C + 3] = 0x7F;  // PE header offset near 2 GB
    EXPECT_FALSE(IsDllImageForMachine(farAway, kMachineX64));
    std::string inside = image;
    inside[0x3C] = 0x10;  // PE header inside the DOS header
    EXPECT_FALSE(IsDllImageForMachine(inside, kMachineX64));
    std::string notPe = image;
    notPe[0x41] = 'X';
    EXPECT_FALSE(IsDllImageForMachine(notPe, kMachineX64));
    EXPECT_FALSE(IsDllImageForMachine("", kMachineI386));
    EXPECT_FALSE(installer::IsDllForMachine("C:\\no such folder\\TovaroCitrixVC.dll", kMachineI386));
}

}  // namespace
}  // namespace setuptest
