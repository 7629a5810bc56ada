// Finding the hardware button behind a reported code.
#include <gtest/gtest.h>

#include <map>

#include "HardwareCodes.h"

namespace {

TEST(HardwareCodesTest, ModelCodesFollowTheDecodingTable) {
    // SpeechMike III: code 1 has two rows but is listed once.
    EXPECT_EQ((std::vector<int32_t>{3, 8, 6, 7, 5, 2, 4, 1, 16, 11, 12, 13, 14, 15}), ModelButtonCodes(0x0C1C));
    EXPECT_EQ((std::vector<int32_t>{5, 7, 6}), ModelButtonCodes(0x1844));
    EXPECT_EQ((std::vector<int32_t>{11, 12, 13, 2, 3, 4, 7, 8, 6, 5}), ModelButtonCodes(0x0025));
    EXPECT_TRUE(ModelButtonCodes(0x1234).empty());
}

TEST(HardwareCodesTest, ReportedCodeLeadsBackThroughTheMap) {
    const std::map<int32_t, int32_t> entries = {{3, 20}, {6, 20}, {5, 3}, {7, 99}};
    const auto map = [&](int32_t code) {
        auto it = entries.find(code);
        return it == entries.end() ? code : it->second;
    };
    const auto identity = [](int32_t code) { return code; };
    EXPECT_EQ((std::vector<int32_t>{3}), HardwareCodesFor(0x0C1C, 3, identity));
    EXPECT_EQ((std::vector<int32_t>{3, 6}), HardwareCodesFor(0x0C1C, 20, map));
    // 3 itself is mapped away, so a reported 3 comes from button 5.
    EXPECT_EQ((std::vector<int32_t>{5}), HardwareCodesFor(0x0C1C, 3, map));
    // The foot switch has button 6; no button of it is reported as 4.
    EXPECT_EQ((std::vector<int32_t>{6}), HardwareCodesFor(0x1844, 20, map));
    EXPECT_TRUE(HardwareCodesFor(0x1844, 4, map).empty());
    EXPECT_EQ((std::vector<int32_t>{7}), HardwareCodesFor(0x1844, 99, map));
}

}  // namespace
