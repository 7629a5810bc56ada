// The LED output reports of each group, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
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

// Each LED number of a group alone, with the whole report.
TEST(LEDReportTest, EachLEDOfTheHandSetsAlone) {
    // Group A: the LED's bits of byte 1 cleared.
    EXPECT_EQ(Build(0x1878, {{1, 2}}), (std::vector<int>{0x00, 0x3D}));
    EXPECT_EQ(Build(0x2512, {{3, 1}}), (std::vector<int>{0x00, 0x3B}));
    EXPECT_EQ(Build(0x2512, {{3, 3}}), (std::vector<int>{0x00, 0x33}));
    EXPECT_EQ(Build(0x1878, {{4, 3}}), (std::vector<int>{0x00, 0x0F}));
    EXPECT_EQ(Build(0x2512, {{2, 1}}), (std::vector<int>{0x00, 0x3B}));
    EXPECT_EQ(Build(0x2512, {{11, 3}}), (std::vector<int>{0x00, 0x00}));
    // Group B: bytes 7 and 9.
    EXPECT_EQ(Build(0x0C1C, {{0, 1}}), (std::vector<int>{0x00, 0x02, 0, 0, 0, 0, 0, 0x40, 0x00, 0x00}));
    EXPECT_EQ(Build(0x0C1C, {{2, 3}}), (std::vector<int>{0x00, 0x02, 0, 0, 0, 0, 0, 0x0C, 0x00, 0x00}));
    EXPECT_EQ(Build(0x149A, {{6, 1}}), (std::vector<int>{0x00, 0x02, 0, 0, 0, 0, 0, 0x00, 0x00, 0x40}));
    EXPECT_EQ(Build(0x14A4, {{7, 2}}), (std::vector<int>{0x00, 0x02, 0, 0, 0, 0, 0, 0x00, 0x00, 0x20}));
    // Group C: bytes 2 and 3 of 65.
    const std::pair<std::pair<int32_t, int32_t>, std::vector<int>> air[] = {
        {{3, 2}, {0x00, 0x02, 0x02, 0x00}},
        {{5, 1}, {0x00, 0x02, 0x10, 0x00}},
        {{6, 3}, {0x00, 0x02, 0x00, 0x03}},
        {{7, 1}, {0x00, 0x02, 0x00, 0x04}},
    };
    for (const auto& c : air) {
        std::vector<int> expected(65, 0);
        std::copy(c.second.begin(), c.second.end(), expected.begin());
        EXPECT_EQ(Build(0x0BB8, {c.first}), expected) << "led " << c.first.first;
    }
    // SonicMic: value 1 lights like 2, on both LEDs; 64 bytes beginning 01 04 02.
    for (int32_t led : {2, 3}) {
        std::vector<int> expected(64, 0);
        expected[0] = 0x01;
        expected[1] = 0x04;
        expected[2] = 0x02;
        expected[3] = 0x03;
        EXPECT_EQ(Build(0x0025, {{led, 1}}), expected) << "led " << led;
        expected[3] = 0x00;  // a value outside 0 to 3 changes nothing
        EXPECT_EQ(Build(0x0025, {{led, 4}}), expected) << "led " << led;
    }
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
