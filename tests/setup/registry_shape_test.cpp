// Registry values of a type or shape the installer must not take at face value: a list of another
// type, an install folder with environment references, a folder that no longer exists, and two
// clients naming the same folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChannelInstaller.h"
#include "setup_sandbox.h"

namespace setuptest {
namespace {

class RecordingLog : public CInstallerLogInterface {
public:
    void AddLogLine(const std::string& text) override { lines.push_back(text); }
    void Refresh() override {}
    std::vector<std::string> lines;
};

void SetRaw(REGSAM view, const char* key, const char* value, DWORD type, const std::string& bytes) {
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                                             &handle, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, value, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
    RegCloseKey(handle);
}

bool GetRaw(REGSAM view, const char* key, const char* value, DWORD& type, std::string& bytes) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
    char buffer[1024];
    DWORD size = sizeof buffer;
    const LONG result = RegQueryValueExA(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return false;
    bytes.assign(buffer, size);
    return true;
}

class RegistryShapeTest : public SetupSandbox {
protected:
    CChannelInstaller Installer() const {
        const std::string folder = programFolder;
        return CChannelInstaller([folder](CFileName& name) { return name.SetFullName(folder); });
    }
    std::vector<std::string> Install(bool expectDone) {
        RecordingLog log;
        EXPECT_EQ(expectDone, Installer().OnInstall(log));
        return log.lines;
    }
    std::vector<std::string> Uninstall(bool expectDone) {
        RecordingLog log;
        EXPECT_EQ(expectDone, Installer().OnUninstall(log));
        return log.lines;
    }
};

TEST_F(RegistryShapeTest, AListOfAnotherTypeIsRefusedByInstallAndUninstallAndKeptAsItIs) {
    // Two other vendors' drivers and ours, as REG_MULTI_SZ: read as a string it would end at
    // "Alpha", and written back as REG_SZ the other entries would be lost.
    const std::string multi("Alpha\0TovUSB\0Beta\0\0", 19);
    InstallICAClient(nullptr);
    SetRaw(KEY_WOW64_32KEY, kListKey, "VirtualDriverEx", REG_MULTI_SZ, multi);
    PutDriverBesideProgram();
    const std::string refused = std::string("ERROR: Value VirtualDriverEx in registry key ") + kListKey +
                                " is of type REG_MULTI_SZ, not REG_SZ; nothing was changed";
    EXPECT_EQ(std::vector<std::string>{refused}, Install(false));
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_FALSE(FileExists(driverTarget()));

    WriteModuleValue("TovaroCitrixVC.dll");
    EXPECT_EQ(std::vector<std::string>{refused}, Uninstall(false));
    EXPECT_TRUE(ModuleKeyExists());
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(GetRaw(KEY_WOW64_32KEY, kListKey, "VirtualDriverEx", type, bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    EXPECT_EQ(multi, bytes);

    // A DWORD is named by its type as well.
    SetRaw(KEY_WOW64_32KEY, kListKey, "VirtualDriverEx", REG_DWORD, std::string("\1\0\0\0", 4));
    EXPECT_EQ(std::vector<std::string>{std::string("ERROR: Value VirtualDriverEx in registry key ") + kListKey +
                                       " is of type REG_DWORD, not REG_SZ; nothing was changed"},
              Install(false));
}

TEST_F(RegistryShapeTest, AnInstallFolderWithEnvironmentReferencesIsExpanded) {
    ASSERT_TRUE(SetEnvironmentVariableA("TOVUSB_TEST_ROOT", root.c_str()));
    const std::string unexpanded = "%TOVUSB_TEST_ROOT%ICA Client\\";
    SetRaw(KEY_WOW64_32KEY, kICAClientKey, "InstallFolder", REG_EXPAND_SZ, unexpanded + std::string(1, '\0'));
    WriteList("Alpha");
    PutDriverBesideProgram();
    EXPECT_EQ(clientFolder, Installer().GetICAClientFolder());
    EXPECT_TRUE(Install(true).size() > 0);
    EXPECT_TRUE(FileExists(driverTarget()));
    // The same text stored as REG_SZ is a folder name of its own, which does not exist.
    SetRaw(KEY_WOW64_32KEY, kICAClientKey, "InstallFolder", REG_SZ, unexpanded + std::string(1, '\0'));
    EXPECT_EQ(unexpanded, Installer().GetICAClientFolder());
    EXPECT_TRUE(Installer().ClientsFound().empty());
}

TEST_F(RegistryShapeTest, AClientWhoseFolderIsGoneIsReportedAndSkipped) {
    // The 32-bit client was removed (its folder is gone, its keys stayed); the 64-bit one is there.
    const std::string gone = root + "Removed ICA Client\\";
    InstallICAClient("Alpha", &gone);
    InstallICAClient64("Beta");
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    EXPECT_EQ(1u, Installer().ClientsFound().size());
    EXPECT_TRUE(Installer().CanInstall());

    const std::vector<std::string> lines = Install(true);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("32-bit client: Citrix client is registered but its folder " + gone + " does not exist; it is skipped",
              lines[0]);
    EXPECT_EQ("64-bit client: Citrix client installation finished successfully\r\n", lines.back());
    EXPECT_EQ("TovaroCitrixVC.dll", ModuleValue64());
    EXPECT_FALSE(ModuleKeyExists());
    std::string list;
    ASSERT_TRUE(ReadList(list));
    EXPECT_EQ("Alpha", list);
}

TEST_F(RegistryShapeTest, TwoClientsNamingOneFolderStopTheInstallBeforeAnythingIsCopied) {
    // The same folder, spelled differently.
    std::string upper = clientFolder;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    InstallICAClient("Alpha");
    InstallICAClient64("");
    SetRaw(KEY_WOW64_64KEY, kICAClientKey, "InstallFolder", REG_SZ, upper.substr(0, upper.size() - 1) + '\0');
    PutDriverBesideProgram();
    PutDriver64BesideProgram();
    const std::string folder = clientFolder;
    EXPECT_EQ(std::vector<std::string>{"ERROR: The 32-bit and the 64-bit Citrix client both name the folder " + folder +
                                       "; nothing was installed"},
              Install(false));
    EXPECT_FALSE(ModuleKeyExists());
    EXPECT_FALSE(ModuleKeyExists64());
    EXPECT_FALSE(FileExists(driverTarget()));
}

}  // namespace
}  // namespace setuptest
