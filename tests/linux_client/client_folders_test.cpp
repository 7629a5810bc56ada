// Where the Linux driver looks for HardwareButtonMap.ini and keeps its trace log.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "HardwareButtonMap.h"
#include "IcaClientFolders.h"
#include "ProfileFile.h"
#include "ScratchFolder.h"

TEST(IcaClientFolders, HomeThenModuleFolder) {
    const IcaClientFolders f = FindIcaClientFolders("/home/nurse", "/opt/Citrix/ICAClient");
    EXPECT_EQ("/home/nurse/.ICAClient", f.traceFolder);
    EXPECT_EQ((std::vector<std::string>{"/home/nurse/.ICAClient", "/opt/Citrix/ICAClient"}), f.buttonMapFolders);
    EXPECT_EQ("/home/nurse/.ICAClient", FindIcaClientFolders("/home/nurse//", "").traceFolder);
    EXPECT_EQ("/.ICAClient", FindIcaClientFolders("/", "").traceFolder);
    const IcaClientFolders homeless = FindIcaClientFolders("", "/opt/Citrix/ICAClient");
    EXPECT_EQ("", homeless.traceFolder);
    EXPECT_EQ((std::vector<std::string>{"/opt/Citrix/ICAClient"}), homeless.buttonMapFolders);
}

// HOME as the session gives it; without an absolute one, the account's entry in the user database.
TEST(UserHomeFolder, AbsoluteHomeElseTheAccountsFolder) {
    const char* saved = std::getenv("HOME");
    const std::string before = saved ? saved : "";
    const passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    const std::string accountHome = account->pw_dir;
    ASSERT_EQ(0, setenv("HOME", "/home/nurse", 1));
    EXPECT_EQ("/home/nurse", UserHomeFolder());
    ASSERT_EQ(0, setenv("HOME", "relative/home", 1));
    EXPECT_EQ(accountHome, UserHomeFolder());
    ASSERT_EQ(0, unsetenv("HOME"));
    EXPECT_EQ(accountHome, UserHomeFolder());
    if (saved) setenv("HOME", before.c_str(), 1);
}

namespace {

class ButtonMapFolders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.Made());
        root = scratch.Path();
        client = root + "/home/.ICAClient";
        module = root + "/module";
        current = root + "/current";
        std::system(("mkdir -p '" + client + "' '" + module + "' '" + current + "'").c_str());
        ASSERT_EQ(0, chdir(current.c_str()));
        SetProfileSearchFolders({client, module});
    }
    void TearDown() override { SetProfileSearchFolders({}); }
    static void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
    ScratchFolder scratch{"tovusb-folders"};
    std::string root, client, module, current;
};

}  // namespace

TEST_F(ButtonMapFolders, TheClientFolderComesFirst) {
    Write(client + "/HardwareButtonMap.ini", "[HardwareButtonMap]\n3=20\n");
    Write(module + "/HardwareButtonMap.ini", "[HardwareButtonMap]\n3=30\n5=7\n");
    ASSERT_TRUE(ProfileFileExists("HardwareButtonMap.ini"));
    EXPECT_EQ(client + "/HardwareButtonMap.ini", ResolveProfileFileName("HardwareButtonMap.ini"));
    HardwareButtonMap map;
    LoadHardwareButtonMap("HardwareButtonMap.ini", map);
    EXPECT_EQ((HardwareButtonMap{{3, 20}}), map);
}

TEST_F(ButtonMapFolders, ThenTheDriversFolderButNeverTheCurrentOne) {
    Write(current + "/HardwareButtonMap.ini", "[HardwareButtonMap]\n3=40\n");
    EXPECT_FALSE(ProfileFileExists("HardwareButtonMap.ini"));
    Write(module + "/HardwareButtonMap.ini", "[HardwareButtonMap]\n3=30\n");
    HardwareButtonMap map;
    LoadHardwareButtonMap("HardwareButtonMap.ini", map);
    EXPECT_EQ((HardwareButtonMap{{3, 30}}), map);
    // A folder in the name is taken as it stands.
    EXPECT_TRUE(ProfileFileExists(current + "/HardwareButtonMap.ini"));
    EXPECT_TRUE(ProfileFileExists("./HardwareButtonMap.ini"));
}

TEST_F(ButtonMapFolders, ADirectoryOfThatNameIsNoFile) {
    std::system(("mkdir '" + client + "/HardwareButtonMap.ini'").c_str());
    Write(module + "/HardwareButtonMap.ini", "[HardwareButtonMap]\n1=2\n");
    EXPECT_EQ(module + "/HardwareButtonMap.ini", ResolveProfileFileName("HardwareButtonMap.ini"));
}

TEST_F(ButtonMapFolders, WithoutSearchFoldersTheCurrentFolderCounts) {
    SetProfileSearchFolders({});
    Write(current + "/HardwareButtonMap.ini", "[HardwareButtonMap]\n3=40\n");
    HardwareButtonMap map;
    LoadHardwareButtonMap("HardwareButtonMap.ini", map);
    EXPECT_EQ((HardwareButtonMap{{3, 40}}), map);
}
