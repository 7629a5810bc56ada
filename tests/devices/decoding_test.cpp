// The supported-device table, the report tests and the per-group decoding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ButtonDecoding.h"
#include "SupportedDeviceTable.h"

namespace {

std::vector<char> Report(size_t length, std::initializer_list<std::pair<size_t, int>> bytes) {
    std::vector<char> report(length, 0);
    for (const auto& byte : bytes) report[byte.first] = static_cast<char>(byte.second);
    return report;
}

std::vector<int32_t> Decode(int32_t productID, const std::vector<char>& report,
                            std::vector<char>& lastReport) {
    std::vector<int32_t> codes{99};  // must be cleared
    DecodeButtons(productID, report, lastReport, codes);
    return codes;
}

std::vector<int32_t> Decode(int32_t productID, const std::vector<char>& report) {
    std::vector<char> lastReport;
    return Decode(productID, report, lastReport);
}

using Codes = std::vector<int32_t>;

}  // namespace

TEST(SupportedDeviceTableTest, NamesAndIdsOfEveryModel) {
    struct Expected {
        uint32_t vendor, product;
        int32_t usage;
        const char* name;
    };
    const Expected expected[] = {
        {2321, 9490, 8, "Philips SpeechMike I Pro"},
        {2321, 6264, 8, "Philips SpeechMike 6264 Slider"},
        {2321, 5274, 9, "Philips SpeechMike II Pro"},
        {2321, 3100, 9, "Philips SpeechMike III"},
        {2321, 5284, 9, "Philips SpeechMike Pro with Barcode Scanner"},
        {2321, 2330, 3, "Philips Footswitch"},
        {2321, 6212, 3, "Philips Footswitch LFH 0210/90B"},
        {2321, 6220, 3, "Philips Footswitch LFH 0210/90B-OLD"},
        {2321, 3000, 9, "Philips SpeechMike Air"},
        {1973, 531, 4, "Thrustmaster Firestorm Digital 3 Gamepad"},
        {5592, 37, 9, "Grundig Digta SonicMic II Classic"},
    };
    for (const Expected& row : expected) {
        const SupportedDevice* found = FindSupportedDevice(row.vendor, row.product);
        ASSERT_NE(found, nullptr) << row.name;
        EXPECT_EQ(found->usageType, row.usage) << row.name;
        EXPECT_STREQ(found->name, row.name);
    }
}

TEST(SupportedDeviceTableTest, UnknownIdsAndSwappedVendorsAreNotFound) {
    EXPECT_EQ(FindSupportedDevice(0x0911, 0x0025), nullptr);  // SonicMic product, Philips vendor
    EXPECT_EQ(FindSupportedDevice(0x15D8, 0x0C1C), nullptr);
    EXPECT_EQ(FindSupportedDevice(0x10911, 0x0C1C), nullptr);  // not truncated to 16 bits
    EXPECT_EQ(FindSupportedDevice(0, 0), nullptr);
}

TEST(SupportedDeviceTableTest, OnlyTheInterfaceWithTheRowsUsageIsSupported) {
    USBHIDDeviceInfo info;
    info.vendorID = 0x0911;
    info.productID = 0x0C1C;
    for (int32_t usage : {HIDUsageMouse, HIDUsageKeyboard, HIDUsageConsumerAudioControl}) {
        info.usageType = usage;
        EXPECT_EQ(FindSupportedInterface(info), nullptr) << usage;
    }
    info.usageType = HIDUsageOther;
    ASSERT_NE(FindSupportedInterface(info), nullptr);
    EXPECT_STREQ(FindSupportedInterface(info)->name, "Philips SpeechMike III");
}

TEST(ReportTestTest, EachGroupsRule) {
    // Group A: byte 0 must be 0.
    EXPECT_TRUE(IsButtonReport(0x2512, Report(2, {{1, 0xFF}})));
    EXPECT_FALSE(IsButtonReport(0x1878, Report(2, {{0, 1}})));
    // Groups B and C: bit 0x80 of byte 1.
    EXPECT_TRUE(IsButtonReport(0x0C1C, Report(10, {{1, 0x80}})));
    EXPECT_FALSE(IsButtonReport(0x149A, Report(10, {{1, 0x7F}, {9, 0xFF}})));
    EXPECT_TRUE(IsButtonReport(0x0BB8, Report(4, {{1, 0x81}})));
    // Groups D and E: always.
    EXPECT_TRUE(IsButtonReport(0x091A, Report(2, {})));
    EXPECT_TRUE(IsButtonReport(0x184C, Report(2, {})));
    // Group G: bit 0x01 of bytes 0 and 1.
    EXPECT_TRUE(IsButtonReport(0x0025, Report(9, {{0, 0x01}, {1, 0x03}})));
    EXPECT_FALSE(IsButtonReport(0x0025, Report(9, {{0, 0x01}, {1, 0x02}, {7, 0x20}})));
    // Unknown products never.
    EXPECT_FALSE(IsButtonReport(0x1234, Report(64, {})));
}

TEST(ReportTestTest, GamePadReportsWithoutBothHighBitsAreIgnoredWhateverTheirButtons) {
    EXPECT_TRUE(IsButtonReport(0x0213, Report(4, {{1, 0x80}, {2, 0x80}, {3, 0x10}})));
    EXPECT_FALSE(IsButtonReport(0x0213, Report(4, {{1, 0x7F}, {2, 0x80}, {3, 0xFF}})));
    EXPECT_FALSE(IsButtonReport(0x0213, Report(4, {{1, 0x80}, {2, 0x7F}, {3, 0xFF}})));
}

TEST(ReportTestTest, ReportsTooShortForTheirGroupAreIgnoredWhole) {
    // Each report is one byte shorter than its group's highest decoded byte needs.
    EXPECT_FALSE(IsButtonReport(0x2512, Report(1, {})));
    EXPECT_FALSE(IsButtonReport(0x0C1C, Report(9, {{1, 0x80}})));
    EXPECT_FALSE(IsButtonReport(0x0BB8, Report(3, {{1, 0x80}})));
    EXPECT_FALSE(IsButtonReport(0x091A, Report(1, {})));
    EXPECT_FALSE(IsButtonReport(0x0213, Report(3, {{1, 0x80}, {2, 0x80}})));
    EXPECT_FALSE(IsButtonReport(0x0025, Report(8, {{0, 1}, {1, 1}})));
    EXPECT_FALSE(IsButtonReport(0x0025, std::vector<char>()));

    std::vector<char> lastReport(3, 7);
    EXPECT_EQ(Decode(0x0C1C, Report(9, {{1, 0x80}, {8, 0xFF}}), lastReport), Codes{});
    EXPECT_EQ(Decode(0x0025, Report(8, {{0, 1}, {1, 1}, {7, 0x20}}), lastReport), Codes{});
    EXPECT_EQ(lastReport, std::vector<char>(3, 7));  // untouched
}

// One button at a time: each row's byte and mask (or value, for the SonicMic) must give that row's
// code and nothing else, on every product of the group.
struct Row {
    size_t byte;
    int mask;
    int32_t code;
};
struct Group {
    const char* name;
    std::vector<int32_t> products;
    size_t length;
    std::vector<std::pair<size_t, int>> passTest;  // bytes that make the report a button report
    std::vector<Row> rows;
};

const std::vector<Group>& Groups() {
    static const std::vector<Group> groups = {
        {"A", {0x2512, 0x1878}, 2, {},
         {{1, 0x20, 3}, {1, 0x10, 6}, {1, 0x02, 7}, {1, 0x80, 5}, {1, 0x08, 2}, {1, 0x04, 4}, {1, 0x40, 1}}},
        {"B", {0x149A, 0x0C1C, 0x14A4}, 10, {{1, 0x80}},
         {{9, 0x01, 3}, {9, 0x02, 8}, {9, 0x04, 6}, {9, 0x08, 7}, {9, 0x10, 5}, {9, 0x20, 2}, {9, 0x40, 4},
          {9, 0x80, 1}, {8, 0x01, 16}, {8, 0x02, 11}, {8, 0x04, 12}, {8, 0x08, 13}, {8, 0x10, 14},
          {8, 0x20, 1}, {8, 0x80, 15}}},
        {"C", {0x0BB8}, 65, {{1, 0x80}},
         {{3, 0x01, 3}, {3, 0x02, 8}, {3, 0x04, 6}, {3, 0x08, 7}, {3, 0x10, 5}, {3, 0x20, 2}, {3, 0x40, 4},
          {3, 0x80, 1}, {2, 0x01, 16}, {2, 0x02, 11}, {2, 0x04, 12}, {2, 0x08, 13}, {2, 0x10, 14},
          {2, 0x20, 1}, {2, 0x80, 15}}},
        {"D", {0x091A}, 2, {}, {{1, 0x01, 7}, {1, 0x02, 6}, {1, 0x04, 5}, {1, 0x08, 8}}},
        {"E", {0x1844, 0x184C}, 2, {}, {{1, 0x01, 5}, {1, 0x04, 7}, {1, 0x02, 6}}},
        {"F", {0x0213}, 4, {{1, 0x80}, {2, 0x80}},
         {{3, 0x01, 11}, {3, 0x02, 12}, {3, 0x04, 13}, {3, 0x08, 14}, {3, 0x10, 3}, {3, 0x20, 6}, {3, 0x40, 7},
          {3, 0x80, 5}}},
        {"G", {0x0025}, 64, {{0, 0x01}, {1, 0x01}},
         {{7, 0x04, 11}, {7, 0x08, 12}, {7, 0x10, 13}, {7, 0x20, 2}, {7, 0x40, 3}, {7, 0x80, 4}, {8, 0x01, 7},
          {8, 0x02, 8}, {8, 0x03, 6}, {8, 0x04, 5}}},
    };
    return groups;
}

TEST(DecodingTest, EachRowAloneGivesItsOwnCode) {
    for (const Group& group : Groups()) {
        for (int32_t product : group.products) {
            for (const Row& row : group.rows) {
                std::vector<char> report(group.length, 0);
                for (const auto& byte : group.passTest) report[byte.first] = static_cast<char>(byte.second);
                report[row.byte] = static_cast<char>(report[row.byte] | row.mask);
                ASSERT_TRUE(IsButtonReport(product, report)) << group.name;
                EXPECT_EQ(Decode(product, report), Codes{row.code})
                    << "group " << group.name << ", product 0x" << std::hex << product << ", byte " << std::dec
                    << row.byte << " = 0x" << std::hex << row.mask;
            }
        }
    }
}

TEST(DecodingTest, HandSetsOfGroupBFollowTableOrderAndRepeatCodes) {
    EXPECT_EQ(Decode(0x0C1C, Report(10, {{1, 0x80}, {9, 0x81}})), (Codes{3, 1}));
    EXPECT_EQ(Decode(0x149A, Report(10, {{1, 0x80}, {9, 0x80}, {8, 0x20}})), (Codes{1, 1}));
    // Bit 0x40 of byte 8 is no button; every other bit of bytes 9 and 8.
    EXPECT_EQ(Decode(0x14A4, Report(10, {{8, 0x40}})), Codes{});
    EXPECT_EQ(Decode(0x14A4, Report(10, {{9, 0xFF}, {8, 0xFF}})),
              (Codes{3, 8, 6, 7, 5, 2, 4, 1, 16, 11, 12, 13, 14, 1, 15}));
}

TEST(DecodingTest, FootSwitchOfGroupEUsesTableOrderNotBitOrder) {
    EXPECT_EQ(Decode(0x1844, Report(2, {{1, 0x07}})), (Codes{5, 7, 6}));
    EXPECT_EQ(Decode(0x184C, Report(2, {{1, 0x02}})), (Codes{6}));
}

TEST(DecodingTest, SonicMicPositionsCountOnlyAfterAReportWithoutAButtonInByte7) {
    std::vector<char> lastReport;
    // Byte 7 carries one enumerated button; byte 8 is not read while it does.
    EXPECT_EQ(Decode(0x0025, Report(64, {{0, 1}, {1, 1}, {7, 0x20}, {8, 0x03}}), lastReport),
              (Codes{2}));
    // Directly after a byte-7 button, a byte-8 position is not reported.
    EXPECT_EQ(Decode(0x0025, Report(64, {{0, 1}, {1, 1}, {8, 0x03}}), lastReport), Codes{});
    // Once the previous report had byte 7 clear, it is.
    EXPECT_EQ(Decode(0x0025, Report(64, {{0, 1}, {1, 1}, {8, 0x03}}), lastReport), (Codes{6}));
    EXPECT_EQ(Decode(0x0025, Report(64, {{8, 0x04}}), lastReport), (Codes{5}));
    // Equality, not bits: 0x30 in byte 7 is no value of the table.
    EXPECT_EQ(Decode(0x0025, Report(64, {{7, 0x30}}), lastReport), Codes{});
}

TEST(DecodingTest, FirstSonicMicReportIsComparedWithZeros) {
    std::vector<char> lastReport;
    EXPECT_EQ(Decode(0x0025, Report(64, {{8, 0x01}}), lastReport), (Codes{7}));
    EXPECT_EQ(lastReport.size(), 64u);
    // A previous report too short to hold byte 7 (the device changed product) counts as clear.
    std::vector<char> shortLast(4, 0x20);
    EXPECT_EQ(Decode(0x0025, Report(64, {{8, 0x02}}), shortLast), (Codes{8}));
    EXPECT_EQ(shortLast.size(), 64u);
}

TEST(DecodingTest, UnknownProductDecodesNothing) {
    std::vector<char> lastReport;
    EXPECT_EQ(Decode(0x4242, Report(64, {{1, 0xFF}, {9, 0xFF}}), lastReport), Codes{});
    EXPECT_TRUE(lastReport.empty());
}
