// The LED output reports of each group, byte for byte.
#include <gtest/gtest.h>

#include <list>
#include <vector>

#include "LEDReport.h"
#include "LEDSettingList.h"

namespace {

std::vector<int> Bytes(const std::vector<char>& report) {
    std::vector<int> bytes;
    for (char c : report) bytes.push_back(static_cast<uint8_t>(c));
    return bytes;
}

std::vector<int> Build(int32_t productID, std::initializer_list<std::pair<int32_t, int32_t>> pairs) {
    return Bytes(BuildLEDReport(productID, Settings(pairs)));
}

}  // namespace

TEST(LEDReportTest, GroupAClearsBitsOfByte1) {
    EXPECT_EQ(Build(0x2512, {{5, 2}, {0, 1}}), (std::vector<int>{0x00, 0x1E}));
    EXPECT_EQ(Build(0x2512, {{6, 3}}), (std::vector<int>{0x00, 0x3F}));
    // Only the low byte of the value: 0x101 clears bit 0 alone.
    EXPECT_EQ(Build(0x2512, {{0, 0x101}}), (std::vector<int>{0x00, 0x3E}));
}

TEST(LEDReportTest, GroupBOrsIntoBytes7To9AndAllLEDsReplaces) {
    // The settings of one call build on each other; all LEDs replaces bytes 7 to 9.
    EXPECT_EQ(Build(0x149A, {{0, 1}, {1, 2}, {8, 1}, {11, 2}, {3, 1}}),
              (std::vector<int>{0x00, 0x02, 0, 0, 0, 0, 0, 0xAB, 0xAA, 0xAA}));
    // Bits shifted past bit 7 are lost; led 10 does nothing.
    EXPECT_EQ(Build(0x14A4, {{4, 3}, {5, 1}, {9, 7}, {10, 3}}),
              (std::vector<int>{0x00, 0x02, 0, 0, 0, 0, 0, 0x00, 0xD0, 0x07}));
}

TEST(LEDReportTest, GroupCUsesBytes2To4In65Bytes) {
    std::vector<int> report = Build(0x0BB8, {{2, 1}, {4, 2}, {8, 3}, {0, 3}, {9, 3}});
    ASSERT_EQ(report.size(), 65u);
    EXPECT_EQ(std::vector<int>(report.begin(), report.begin() + 5),
              (std::vector<int>{0x00, 0x02, 0x84, 0x30, 0x00}));
    report = Build(0x0BB8, {{11, 2}});
    EXPECT_EQ(std::vector<int>(report.begin() + 2, report.begin() + 5),
              (std::vector<int>{0xAA, 0xAA, 0xAA}));
    EXPECT_EQ(report[5], 0);
}

TEST(LEDReportTest, SonicMicSetsByte3FromTheWholeValue) {
    EXPECT_EQ(Build(0x0025, {{2, 0}})[3], 0x01);
    EXPECT_EQ(Build(0x0025, {{2, 3}})[3], 0x02);
    EXPECT_EQ(Build(0x0025, {{2, 3}, {11, 0}})[3], 0x02);  // all LEDs changes nothing here
    EXPECT_EQ(Build(0x0025, {{2, 3}, {3, 0x101}})[3], 0x02);  // whole value, not its low byte
}

TEST(LEDReportTest, FootSwitchesGamePadAndEmptyListsBuildNothing) {
    for (int32_t product : {0x091A, 0x1844, 0x184C, 0x0213, 0x4242}) {
        EXPECT_TRUE(Build(product, {{11, 3}, {0, 1}}).empty()) << product;
    }
    EXPECT_TRUE(Build(0x0C1C, {}).empty());
}

TEST(LEDReportTest, ReportsAreSentOnlyToTheHandSetsOfBothVendors) {
    EXPECT_TRUE(SendsLEDReports(0x0911, 0x0C1C));
    EXPECT_TRUE(SendsLEDReports(0x15D8, 0x0025));
    EXPECT_TRUE(SendsLEDReports(0x15D8, 0x2512));  // the test does not pair vendor and product
    EXPECT_FALSE(SendsLEDReports(0x07B5, 0x0C1C));
    EXPECT_FALSE(SendsLEDReports(0x0911, 0x091A));
    EXPECT_FALSE(SendsLEDReports(0, 0));
}
