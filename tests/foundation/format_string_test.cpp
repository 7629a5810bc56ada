#include "FormatString.h"

#include <gtest/gtest.h>

TEST(FormatString, FormatsPrintfStyle) {
    EXPECT_EQ(FormatString("%s device %p", "Connect", reinterpret_cast<void*>(0x10)).substr(0, 14),
              "Connect device");
    EXPECT_EQ(FormatString("%i.\t%s%s", 4, "text", "\r\n"), "4.\ttext\r\n");
}

TEST(FormatString, LimitIsFiveThousandCharacters) {
    const std::string exact(5000, 'x');
    EXPECT_EQ(FormatString("%s", exact.c_str()), exact);
    const std::string over(5001, 'x');
    EXPECT_EQ(FormatString("%s", over.c_str()), "");
    EXPECT_EQ(FormatString("%s", ""), "");
}

TEST(FormatString, FormatStringToReportsAndKeepsOldValueOnFailure) {
    std::string out = "old";
    EXPECT_FALSE(FormatStringTo(out, "%s", std::string(5001, 'y').c_str()));
    EXPECT_EQ(out, "old");
    EXPECT_FALSE(FormatStringTo(out, "%s", ""));
    EXPECT_EQ(out, "old");
    EXPECT_TRUE(FormatStringTo(out, "CThread Semaphore:%d", -12));
    EXPECT_EQ(out, "CThread Semaphore:-12");
}

TEST(FormatBufferDump, BytesAreSignedDecimals) {
    const uint8_t bytes[] = {0x00, 0x0A, 0x80};
    EXPECT_EQ(FormatBufferDump(bytes, 3), "bufferSize = 3, buffer = 00,10,-128");
    const uint8_t more[] = {0x05, 0x41, 0xFF};
    EXPECT_EQ(FormatBufferDump(more, 3), "bufferSize = 3, buffer = 05,65,-1");
    EXPECT_EQ(FormatBufferDump(nullptr, 0), "bufferSize = 0, buffer = ");
}

TEST(FormatBufferDump, TooLongDumpIsEmpty) {
    std::vector<uint8_t> big(2000, 0x7F);  // "127," per byte: far over the limit
    EXPECT_EQ(FormatBufferDump(big.data(), static_cast<uint32_t>(big.size())), "");
}
