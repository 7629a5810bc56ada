// The rules by which the hardware button map file is read. On Windows the system's profile calls
// read the files, natively our own reader: the same expectations hold for both.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "HardwareButtonMap.h"

namespace {

// Writes `text` to a file in the current directory and loads it as a map file.
HardwareButtonMap LoadText(const std::string& fileName, const std::string& text) {
    FILE* file = std::fopen(fileName.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return HardwareButtonMap();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    HardwareButtonMap map;
    LoadHardwareButtonMap(fileName, map);
    std::remove(fileName.c_str());
    return map;
}

}  // namespace

TEST(ProfileIntegerTest, FollowsAtoiRules) {
    EXPECT_EQ(ParseProfileInteger("17"), 17);
    EXPECT_EQ(ParseProfileInteger("  \t-5"), -5);
    EXPECT_EQ(ParseProfileInteger("+8"), 8);
    EXPECT_EQ(ParseProfileInteger("12abc"), 12);
    EXPECT_EQ(ParseProfileInteger("abc"), 0);
    EXPECT_EQ(ParseProfileInteger(""), 0);
    EXPECT_EQ(ParseProfileInteger("- 5"), 0);
    EXPECT_EQ(ParseProfileInteger("0x10"), 0);
    EXPECT_EQ(ParseProfileInteger("99999999999999999999"), 2147483647);
    EXPECT_EQ(ParseProfileInteger("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseProfileInteger("-99999999999"), -2147483647 - 1);
}

TEST(ProfileRulesTest, FirstLineForACodeWinsAndOtherSectionsAreIgnored) {
    HardwareButtonMap map = LoadText("rules_first.ini",
                                     "[Other]\r\n5=99\r\n"
                                     "[HardwareButtonMap]\r\n3=20\r\n3=21\r\n4=7\r\n03=30\r\n"
                                     "[More]\r\n6=1\r\n");
    EXPECT_EQ(map, (HardwareButtonMap{{3, 20}, {4, 7}}));
}

TEST(ProfileRulesTest, KeysAndValuesConvertByAtoiAfterTrimming) {
    HardwareButtonMap map = LoadText("rules_atoi.ini",
                                     "[hardwarebuttonmap]\n"
                                     "  5  =  7 trailing\n"
                                     "6=\n"
                                     "x=8\n"
                                     "-2=-3\n"
                                     "11=\"12\"\n"
                                     "13\n"
                                     "; 14=15\n"
                                     "16=0x10\n");
    EXPECT_EQ(map, (HardwareButtonMap{{5, 7}, {6, 0}, {0, 8}, {-2, -3}, {11, 12}, {16, 0}}));
}

TEST(ProfileRulesTest, MissingFileSectionOrDirectoryLeavesTheMapEmpty) {
    HardwareButtonMap map;
    LoadHardwareButtonMap("no_such_map_file.ini", map);
    EXPECT_TRUE(map.empty());
    EXPECT_TRUE(LoadText("rules_nosection.ini", "[Other]\n3=4\n").empty());
    EXPECT_TRUE(LoadText("rules_empty.ini", "").empty());
    LoadHardwareButtonMap(".", map);
    EXPECT_TRUE(map.empty());
}

TEST(ProfileRulesTest, AnEntryAlreadyInTheMapIsKept) {
    HardwareButtonMap map{{3, 1}};
    FILE* file = std::fopen("rules_keep.ini", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("[HardwareButtonMap]\n3=20\n4=21\n", file);
    std::fclose(file);
    LoadHardwareButtonMap("rules_keep.ini", map);
    std::remove("rules_keep.ini");
    EXPECT_EQ(map, (HardwareButtonMap{{3, 1}, {4, 21}}));
}
