#include "ProgramFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace fs = std::filesystem;

namespace {

TEST(ProgramFolderTest, ListNamesTheSetupProgramButNotTheDriver) {
    const auto& names = ProgramModuleNames();
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "TovaroCitrixVCClientSetup"));
    EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), "TovaroCitrixVC"));
}

// One test for the whole life of the stored value, which cannot be reset within a process: not
// found while no listed module is loaded, found once one is, and kept after it is unloaded.
TEST(ProgramFolderTest, FindsALoadedListedModuleAndKeepsItsFolder) {
    CFileName folder(FileNameSyntax::Native());
    ASSERT_FALSE(GetProgramFolder(folder)) << "no module of the list is loaded in the test program";

    std::string built = TOV_PROGRAM_MODULE_PATH;
#ifdef _WIN32
    if (!built.empty() && built[0] == '/') built = "Z:" + built;
#endif
    const fs::path home = fs::temp_directory_path() / "tov-programfolder";
    std::error_code error;
    fs::remove_all(home, error);
    fs::create_directories(home);
    const fs::path module = home / fs::path(built).filename();
    fs::copy_file(built, module);

#ifdef _WIN32
    HMODULE handle = LoadLibraryA(module.string().c_str());
#else
    void* handle = dlopen(module.string().c_str(), RTLD_NOW);
#endif
    ASSERT_TRUE(handle != nullptr);

    ASSERT_TRUE(GetProgramFolder(folder));
    EXPECT_TRUE(folder.IsFolderName());
    std::string expected = fs::canonical(home).string() + FileNameSyntax::Native().separator;
#ifdef _WIN32
    // Wine may report the path in another letter case.
    EXPECT_TRUE(lstrcmpiA(expected.c_str(), folder.GetFullName().c_str()) == 0)
        << expected << " vs " << folder.GetFullName();
    FreeLibrary(handle);
#else
    EXPECT_EQ(expected, folder.GetFullName());
    dlclose(handle);
#endif

    CFileName again(FileNameSyntax::Native());
    ASSERT_TRUE(GetProgramFolder(again));
    EXPECT_EQ(folder.GetFullName(), again.GetFullName());
    fs::remove_all(home, error);
}

}  // namespace
