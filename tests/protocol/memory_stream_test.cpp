#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "MemoryStream.h"

namespace {

std::string ReadAll(CMemoryStream& stream) {
    const uint32_t size = stream.GetSize();
    std::string bytes(size, '\0');
    stream.read(&bytes[0], size);
    return bytes;
}

TEST(MemoryStream, NewStreamIsGoodEmptyAndOwnsOneBlock) {
    CMemoryStream stream;
    EXPECT_TRUE(stream.good());
    EXPECT_EQ(stream.GetSize(), 0u);
    EXPECT_EQ(stream.GetBuffer().GetStorage().size(), 10000u);
    EXPECT_FALSE(stream.GetBuffer().IsAttached());
    char c = 'x';
    stream.read(&c, 1);  // nothing to read in a fresh block of zeros
    EXPECT_TRUE(stream.fail());
    EXPECT_EQ(stream.gcount(), 0);
    EXPECT_EQ(c, 'x');
}

TEST(MemoryStream, WrittenBytesAreExactlyTheReadableBytes) {
    CMemoryStream stream;
    stream.write("ABCDEFGH", 8);
    ASSERT_TRUE(stream.good());
    EXPECT_EQ(stream.GetSize(), 8u);
    EXPECT_EQ(reinterpret_cast<const char*>(stream.GetData()), stream.GetBuffer().GetStorage().data());
    EXPECT_EQ(std::memcmp(stream.GetData(), "ABCDEFGH", 8), 0);

    char first[3] = {};
    stream.read(first, 3);
    EXPECT_EQ(std::string(first, 3), "ABC");
    EXPECT_EQ(stream.GetSize(), 5u);
    EXPECT_EQ(*stream.GetData(), 'D');
    // Reading on up to the write position and no further.
    char rest[6] = {};
    stream.read(rest, 6);
    EXPECT_EQ(stream.gcount(), 5);
    EXPECT_EQ(std::string(rest, 5), "DEFGH");
    EXPECT_TRUE(stream.eof());
    EXPECT_TRUE(stream.fail());
}

TEST(MemoryStream, GrowsByOneStepPerOverflowAndKeepsTheReadOffset) {
    CMemoryStream stream;
    std::string bytes(10001, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(stream.good());
    EXPECT_EQ(stream.GetBuffer().GetStorage().size(), 20000u);
    EXPECT_EQ(stream.GetSize(), 10001u);

    char two[2];
    stream.read(two, 2);
    // Fill the second block and overflow once more: the read position survives reallocation.
    std::string more(10000, 'z');
    stream.write(more.data(), static_cast<std::streamsize>(more.size()));
    EXPECT_EQ(stream.GetBuffer().GetStorage().size(), 30000u);
    EXPECT_EQ(stream.GetSize(), 10001u - 2 + 10000u);
    EXPECT_EQ(ReadAll(stream), bytes.substr(2) + more);
}

TEST(MemoryStream, AttachedBlockIsReadInPlaceAndAShortReadFailsForGood) {
    const char block[3] = {'\x01', '\x02', '\x03'};
    CMemoryStream stream;
    stream.Attach(block, sizeof block);
    EXPECT_TRUE(stream.GetBuffer().IsAttached());
    EXPECT_EQ(reinterpret_cast<const char*>(stream.GetData()), block);
    EXPECT_EQ(stream.GetSize(), 3u);

    char destination[4] = {'a', 'b', 'c', 'd'};
    stream.read(destination, 4);
    EXPECT_FALSE(stream.good());
    EXPECT_EQ(stream.gcount(), 3);
    EXPECT_EQ(std::string(destination, 4), std::string("\x01\x02\x03" "d", 4));

    char later = 'q';
    stream.read(&later, 1);
    EXPECT_EQ(stream.gcount(), 0);
    EXPECT_EQ(later, 'q');
}

TEST(MemoryStream, AttachKeepsTheErrorStateAndSetContentClearsIt) {
    CMemoryStream stream;
    char c;
    stream.read(&c, 1);
    ASSERT_TRUE(stream.fail());
    const char block[2] = {'x', 'y'};
    stream.Attach(block, 2);
    EXPECT_TRUE(stream.fail());
    stream.SetContent(block, 2);
    EXPECT_TRUE(stream.good());
    EXPECT_FALSE(stream.GetBuffer().IsAttached());
    EXPECT_EQ(ReadAll(stream), "xy");
}

TEST(MemoryStream, FirstWriteIntoAttachedBlockCopiesItAndAppends) {
    char block[4] = {'w', 'x', 'y', 'z'};
    CMemoryStream stream;
    stream.Attach(block, 4);
    char first;
    stream.read(&first, 1);
    stream.write("!", 1);
    ASSERT_TRUE(stream.good());
    EXPECT_FALSE(stream.GetBuffer().IsAttached());
    EXPECT_EQ(stream.GetBuffer().GetAttachedData(), nullptr);
    EXPECT_EQ(std::string(block, 4), "wxyz");
    EXPECT_EQ(stream.GetBuffer().GetStorage().size(), 4u + 10000u);
    // The read offset carries over into the copy.
    EXPECT_EQ(ReadAll(stream), "xyz!");
}

TEST(MemoryStream, WriteIntoEmptyAttachedBlockStartsAtTheFirstByte) {
    CMemoryStream stream;
    const char none = 0;
    stream.Attach(&none, 0);
    stream.write("abc", 3);
    ASSERT_TRUE(stream.good());
    EXPECT_EQ(stream.GetSize(), 3u);
    EXPECT_EQ(ReadAll(stream), "abc");
}

TEST(MemoryStream, SeekMovesWithinTheReadableAndWritableRanges) {
    CMemoryStream stream;
    stream.write("01234567", 8);
    char three[3];
    stream.read(three, 3);
    EXPECT_EQ(stream.tellg(), 3);
    auto& buffer = stream.GetBuffer();
    EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in), 3);
    EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::end, std::ios_base::in), 8);
    EXPECT_EQ(buffer.pubseekoff(1, std::ios_base::end, std::ios_base::in), -1);
    EXPECT_EQ(buffer.pubseekoff(-9, std::ios_base::cur, std::ios_base::in), -1);
    EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in), 8);  // failures move nothing
    EXPECT_EQ(buffer.pubseekoff(2, std::ios_base::beg, std::ios_base::in), 2);
    EXPECT_EQ(*stream.GetData(), '2');

    EXPECT_EQ(stream.tellp(), 8);
    EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::end, std::ios_base::out), 10000);
    EXPECT_EQ(buffer.pubseekoff(1, std::ios_base::end, std::ios_base::out), -1);
    EXPECT_EQ(buffer.pubseekoff(-1, std::ios_base::beg, std::ios_base::out), -1);
    EXPECT_EQ(buffer.pubseekpos(0), -1);  // positioned seeks are not supported
}

TEST(MemoryStream, OutputSeekBeforeTheReadPositionNeverExposesUnwrittenBytes) {
    CMemoryStream stream;
    stream.write("abcdef", 6);
    char four[4];
    stream.read(four, 4);
    ASSERT_EQ(stream.GetBuffer().pubseekoff(2, std::ios_base::beg, std::ios_base::out), 2);
    EXPECT_EQ(stream.GetSize(), 0u);
    char c = '-';
    stream.read(&c, 1);
    EXPECT_TRUE(stream.fail());
    EXPECT_EQ(c, '-');
}

TEST(MemoryStream, OutputSeekCannotMoveIntoAnAttachedBlock) {
    char block[4] = {'a', 'b', 'c', 'd'};
    CMemoryStream stream;
    stream.Attach(block, 4);
    EXPECT_EQ(stream.tellp(), 4);
    EXPECT_EQ(stream.GetBuffer().pubseekoff(0, std::ios_base::beg, std::ios_base::out), -1);
    stream.write("Z", 1);
    EXPECT_EQ(std::string(block, 4), "abcd");
    EXPECT_EQ(ReadAll(stream), "abcdZ");
}

TEST(MemoryStream, SetContentResetAndClearStartOver) {
    CMemoryStream stream;
    std::string big(15000, 'b');
    stream.write(big.data(), static_cast<std::streamsize>(big.size()));
    char c;
    stream.read(&c, 1);

    stream.SetContent(nullptr, 0);
    EXPECT_EQ(stream.GetBuffer().GetStorage().size(), 10000u);
    EXPECT_EQ(stream.GetSize(), 0u);

    char source[3] = {'p', 'q', 'r'};
    stream.SetContent(source, 3);
    source[0] = 'X';  // the content is a copy
    EXPECT_EQ(stream.GetBuffer().GetStorage().size(), 3u);
    EXPECT_EQ(ReadAll(stream), "pqr");
    stream.read(&c, 1);
    ASSERT_TRUE(stream.fail());

    EXPECT_TRUE(stream.Clear());
    EXPECT_TRUE(stream.good());
    EXPECT_EQ(stream.GetSize(), 0u);
    EXPECT_EQ(stream.GetBuffer().GetStorage().size(), 10000u);

    stream.write("abc", 3);
    char four[4];
    stream.read(four, 4);
    ASSERT_TRUE(stream.fail());
    stream.Reset();
    EXPECT_TRUE(stream.good());
    EXPECT_EQ(stream.GetSize(), 0u);
    stream.write("n", 1);
    EXPECT_EQ(ReadAll(stream), "n");
}

TEST(MemoryStream, SetContentFromItsOwnBytes) {
    CMemoryStream stream;
    stream.write("0123456789", 10);
    char skip[4];
    stream.read(skip, 4);
    stream.SetContent(stream.GetData(), stream.GetSize());
    EXPECT_EQ(ReadAll(stream), "456789");
}

TEST(MemoryStream, RemoveByteDropsEveryOccurrenceOfOwnContentOnly) {
    CMemoryStream stream;
    stream.write("--a-b--c--", 10);
    stream.RemoveByte('-');
    EXPECT_EQ(stream.GetBuffer().GetStorage().size(), 3u);
    EXPECT_EQ(ReadAll(stream), "abc");
    stream.Clear();
    stream.RemoveByte('x');  // empty content
    EXPECT_EQ(stream.GetSize(), 0u);
    stream.write("xy", 2);
    EXPECT_EQ(ReadAll(stream), "xy");

    char block[3] = {'-', 'a', '-'};
    stream.Attach(block, 3);
    stream.RemoveByte('-');
    EXPECT_EQ(std::string(block, 3), "-a-");
    EXPECT_EQ(stream.GetSize(), 3u);
}

TEST(MemoryStream, CopiedBufferIsIndependentWithTheSamePositions) {
    CMemoryStreamBuffer original(16);
    original.sputn("hello", 5);
    ASSERT_EQ(original.sbumpc(), 'h');
    CMemoryStreamBuffer copy(original);
    original.sputc('!');
    EXPECT_EQ(copy.ReadableSize(), 4);
    EXPECT_NE(copy.ReadPosition(), original.ReadPosition());
    std::string read(4, '\0');
    copy.sgetn(&read[0], 4);
    EXPECT_EQ(read, "ello");
    copy.sputc('?');
    EXPECT_EQ(copy.sbumpc(), '?');

    const char block[2] = {'a', 'b'};
    CMemoryStreamBuffer attached(16);
    attached.Attach(block, 2);
    CMemoryStreamBuffer attachedCopy(attached);
    EXPECT_TRUE(attachedCopy.IsAttached());
    EXPECT_EQ(attachedCopy.ReadPosition(), block);
}

TEST(MemoryStream, SmallGrowStepsGrowLinearly) {
    CMemoryStreamBuffer zero(0);  // taken as 1
    EXPECT_EQ(zero.GetGrowStep(), 1);
    zero.sputn("abc", 3);
    EXPECT_EQ(zero.GetStorage().size(), 3u);
    EXPECT_EQ(zero.ReadableSize(), 3);
}

}  // namespace
