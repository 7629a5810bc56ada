#include "DiskFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// A fresh folder for each test, removed (with read-only files made writable first) afterwards.
class DiskFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() / ("tov-fileaccess-" + std::string(info->name()));
        RemoveFolder();
        fs::create_directories(folder);
    }
    void TearDown() override { RemoveFolder(); }

    void RemoveFolder() {
        std::error_code error;
        if (!fs::exists(folder, error)) return;
        for (const auto& entry : fs::recursive_directory_iterator(folder, error))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(folder, error);
    }

    std::string PathText(const std::string& leaf) const { return (folder / leaf).string(); }
    CFileName Name(const std::string& leaf) const {
        return CFileName(PathText(leaf), FileNameSyntax::Native());
    }
    void Write(const std::string& leaf, const std::string& content) const {
        std::ofstream(folder / leaf, std::ios::binary) << content;
    }
    std::string Read(const std::string& leaf) const {
        std::ifstream in(folder / leaf, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void MakeReadOnly(const std::string& leaf) const {
        CDiskFile file(Name(leaf));
        ASSERT_TRUE(file.SetReadOnly(true));
        ASSERT_TRUE(file.IsReadOnly());
    }

    fs::path folder;
};

TEST_F(DiskFileTest, ExistsTellsFilesFromFolders) {
    Write("driver.dll", "MZ");
    fs::create_directory(folder / "sub");
    const std::string separator = FileNameSyntax::Native().separator;

    EXPECT_TRUE(CDiskFile(Name("driver.dll")).Exists());
    EXPECT_FALSE(CDiskFile(Name("missing.dll")).Exists());
    // A folder written as a file name is not a file; with the trailing separator it is the folder.
    EXPECT_FALSE(CDiskFile(Name("sub")).Exists());
    EXPECT_TRUE(CDiskFile(Name("sub" + separator)).Exists());
    // A file written as a folder name is not a folder.
    EXPECT_FALSE(CDiskFile(Name("driver.dll" + separator)).Exists());
}

TEST_F(DiskFileTest, SetPathRefusesFolderNames) {
    CDiskFile file(Name("a.txt"));
    EXPECT_FALSE(file.SetPath(Name("sub" + FileNameSyntax::Native().separator)));
    EXPECT_EQ(PathText("a.txt"), file.GetPath().GetFullName());
    EXPECT_TRUE(file.SetPath(PathText("b.txt")));
    EXPECT_EQ(PathText("b.txt"), file.GetPath().GetFullName());
    EXPECT_TRUE(file.IsFile());
}

TEST_F(DiskFileTest, DeleteRemovesReadOnlyFilesAndEmptyFolders) {
    Write("locked.dll", "old");
    MakeReadOnly("locked.dll");
    CDiskFile locked(Name("locked.dll"));
    EXPECT_TRUE(locked.Delete());
    EXPECT_FALSE(fs::exists(folder / "locked.dll"));
    EXPECT_FALSE(locked.Delete());  // already gone

    fs::create_directory(folder / "empty");
    EXPECT_TRUE(CDiskFile(Name("empty" + FileNameSyntax::Native().separator)).Delete());
    EXPECT_FALSE(fs::exists(folder / "empty"));
}

TEST_F(DiskFileTest, CopyWithReplaceOverwritesAReadOnlyTarget) {
    Write("source.dll", "new driver");
    Write("target.dll", "old");
    MakeReadOnly("target.dll");
    EXPECT_TRUE(CDiskFile(Name("source.dll")).CopyTo(Name("target.dll"), false, true));
    EXPECT_EQ("new driver", Read("target.dll"));
    EXPECT_EQ("new driver", Read("source.dll"));
}

TEST_F(DiskFileTest, CopyWithoutReplaceLeavesAnExistingTargetAndSucceeds) {
    Write("source.dll", "new driver");
    Write("target.dll", "old");
    EXPECT_TRUE(CDiskFile(Name("source.dll")).CopyTo(Name("target.dll"), false, false));
    EXPECT_EQ("old", Read("target.dll"));

    EXPECT_TRUE(CDiskFile(Name("source.dll")).CopyTo(Name("fresh.dll"), false, false));
    EXPECT_EQ("new driver", Read("fresh.dll"));
}

TEST_F(DiskFileTest, CopyOfAMissingSourceFailsAndLeavesTheTarget) {
    Write("target.dll", "old");
    EXPECT_FALSE(CDiskFile(Name("missing.dll")).CopyTo(Name("target.dll"), false, true));
    EXPECT_EQ("old", Read("target.dll"));
}

TEST_F(DiskFileTest, SkipFlagComparesSizesOnly) {
    Write("source.dll", "abcd");
    Write("same-size.dll", "wxyz");
    Write("other-size.dll", "12");
    CDiskFile source(Name("source.dll"));
    EXPECT_TRUE(source.CopyTo(Name("same-size.dll"), true, true));
    EXPECT_EQ("wxyz", Read("same-size.dll"));
    EXPECT_TRUE(source.CopyTo(Name("other-size.dll"), true, true));
    EXPECT_EQ("abcd", Read("other-size.dll"));
}

TEST_F(DiskFileTest, CopyIntoAMissingFolderFails) {
    Write("source.dll", "abc");
    const std::string separator = FileNameSyntax::Native().separator;
    EXPECT_FALSE(CDiskFile(Name("source.dll")).CopyTo(Name("nowhere" + separator + "t.dll"), false, true));
}

// Wine's CopyFileEx copies without calling the progress routine.
bool CopyReportsNoProgress() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

struct ProgressLog {
    std::vector<int> percents;
    bool cancelAtFirstCall = false;
};

void RecordProgress(bool& cancel, int percent, void* user) {
    ProgressLog* log = static_cast<ProgressLog*>(user);
    log->percents.push_back(percent);
    if (log->cancelAtFirstCall) cancel = true;
}

TEST_F(DiskFileTest, ProgressRisesToAHundredAndCancelStopsTheCopy) {
    Write("big.bin", std::string(3 * 1024 * 1024, 'x'));
    ProgressLog log;
    ASSERT_TRUE(CDiskFile(Name("big.bin")).CopyTo(Name("copy.bin"), false, true, RecordProgress, &log));
    if (log.percents.empty() && CopyReportsNoProgress()) GTEST_SKIP() << "no progress calls under Wine";
    ASSERT_FALSE(log.percents.empty());
    EXPECT_EQ(100, log.percents.back());
    for (size_t i = 1; i < log.percents.size(); ++i) EXPECT_LE(log.percents[i - 1], log.percents[i]);
    EXPECT_EQ(fs::file_size(folder / "big.bin"), fs::file_size(folder / "copy.bin"));

    ProgressLog cancelling;
    cancelling.cancelAtFirstCall = true;
    EXPECT_FALSE(CDiskFile(Name("big.bin")).CopyTo(Name("cancelled.bin"), false, true, RecordProgress,
                                                    &cancelling));
    EXPECT_FALSE(fs::exists(folder / "cancelled.bin"));
}

TEST_F(DiskFileTest, EmptyFileCopiesAndCountsAsComplete) {
    Write("empty.bin", "");
    ProgressLog log;
    EXPECT_TRUE(CDiskFile(Name("empty.bin")).CopyTo(Name("copy.bin"), false, true, RecordProgress, &log));
    EXPECT_TRUE(fs::exists(folder / "copy.bin"));
    for (int percent : log.percents) EXPECT_EQ(100, percent);
}

TEST(CopyProgressPercentTest, TruncatesAndHandlesAnEmptyTotal) {
    EXPECT_EQ(0, CopyProgressPercent(0, 300));
    EXPECT_EQ(33, CopyProgressPercent(1, 3));
    EXPECT_EQ(99, CopyProgressPercent(999, 1000));
    EXPECT_EQ(100, CopyProgressPercent(1000, 1000));
    EXPECT_EQ(100, CopyProgressPercent(0, 0));
    // Sizes beyond 32 bits keep their precision.
    EXPECT_EQ(50, CopyProgressPercent(1ull << 40, 1ull << 41));
}

TEST_F(DiskFileTest, CreateSizeAndAttributes) {
    CDiskFile file(Name("new.bin"));
    EXPECT_TRUE(file.Create());
    EXPECT_FALSE(file.Create());  // exists now
    uint32_t size = 1;
    EXPECT_TRUE(file.GetSize(size));
    EXPECT_EQ(0u, size);
    EXPECT_TRUE(file.SetSize(5000));
    uint64_t size64 = 0;
    EXPECT_TRUE(file.GetSize64(size64));
    EXPECT_EQ(5000u, size64);
    EXPECT_TRUE(file.SetSize(10));
    EXPECT_EQ(10u, fs::file_size(folder / "new.bin"));

    EXPECT_FALSE(file.IsReadOnly());
    EXPECT_TRUE(file.SetReadOnly(true));
    EXPECT_TRUE(file.IsReadOnly());
    EXPECT_TRUE(file.SetReadOnly(false));
    EXPECT_FALSE(file.IsReadOnly());

    CDateTime written;
    EXPECT_TRUE(file.GetLastWriteTime(written));
    EXPECT_GE(written.year, 2020);
    EXPECT_FALSE(CDiskFile(Name("missing.bin")).GetLastWriteTime(written));
    EXPECT_FALSE(CDiskFile(Name("missing.bin")).GetSize64(size64));
}

TEST_F(DiskFileTest, RenameAndMoveFollowTheFile) {
    Write("a.txt", "content");
    CDiskFile file(Name("a.txt"));
    EXPECT_TRUE(file.Rename(Name("b.txt")));
    EXPECT_EQ(PathText("b.txt"), file.GetPath().GetFullName());
    Write("taken.txt", "other");
    EXPECT_FALSE(file.MoveTo(Name("taken.txt")));
    EXPECT_TRUE(file.MoveTo(Name("c.txt")));
    EXPECT_EQ("content", Read("c.txt"));
    EXPECT_FALSE(fs::exists(folder / "b.txt"));
    EXPECT_EQ("other", Read("taken.txt"));
}

}  // namespace
