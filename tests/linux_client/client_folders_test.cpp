// Where the Linux driver looks for HardwareButtonMap.ini and keeps its trace log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "HardwareButtonMap.h"
#include "IcaClientFolders.h"
#include "ProfileFile.h"

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

namespace {

class ButtonMapFolders : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tovusb-folders-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        root = pattern;
        client = root + "/home/.ICAClient";
        module = root + "/module";
        current = root + "/current";
        std::system(("mkdir -p '" + client + "' '" + module + "' '" + current + "'").c_str());
        ASSERT_EQ(0, chdir(current.c_str()));
        SetProfileSearchFolders({client, module});
    }
    void TearDown() override {
        SetProfileSearchFolders({});
        std::system(("rm -rf '" + root + "'").c_str());
    }
    static void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
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
