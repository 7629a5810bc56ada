#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AllocationProbe.h"
#include "MemoryStream.h"
#include "StreamCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Written(const CMemoryStream& stream) {
    return Bytes(stream.GetData(), stream.GetData() + stream.GetSize());
}

TEST(FieldCodec, FixedSizeValuesAreLittleEndian) {
    CMemoryStream stream;
    EXPECT_TRUE(WriteUInt8(stream, 0xA1));
    EXPECT_TRUE(WriteUInt16(stream, 0xB2C3));
    EXPECT_TRUE(WriteUInt32(stream, 0x01020304));
    EXPECT_TRUE(WriteInt32(stream, -2));
    EXPECT_TRUE(WriteUInt64(stream, 0x1122334455667788ull));
    EXPECT_TRUE(WriteInt64(stream, -1));
    EXPECT_TRUE(WriteHandle(stream, 0xDEADBEEF));
    const Bytes expected = {0xA1, 0xC3, 0xB2, 0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF,
                            0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,
                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE};
    EXPECT_EQ(Written(stream), expected);

    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    int32_t i32 = 0;
    uint64_t u64 = 0;
    int64_t i64 = 0;
    ObjectHandle handle = 0;
    EXPECT_TRUE(ReadUInt8(stream, u8));
    EXPECT_TRUE(ReadUInt16(stream, u16));
    EXPECT_TRUE(ReadUInt32(stream, u32));
    EXPECT_TRUE(ReadInt32(stream, i32));
    EXPECT_TRUE(ReadUInt64(stream, u64));
    EXPECT_TRUE(ReadInt64(stream, i64));
    EXPECT_TRUE(ReadHandle(stream, handle));
    EXPECT_EQ(u8, 0xA1);
    EXPECT_EQ(u16, 0xB2C3);
    EXPECT_EQ(u32, 0x01020304u);
    EXPECT_EQ(i32, -2);
    EXPECT_EQ(u64, 0x1122334455667788ull);
    EXPECT_EQ(i64, -1);
    EXPECT_EQ(handle, 0xDEADBEEFu);
    EXPECT_EQ(stream.GetSize(), 0u);
}

TEST(FieldCodec, ShortReadStoresTheAvailableLowBytesAndLaterReadsStoreNothing) {
    const uint8_t block[] = {0xAA, 0xBB};
    CMemoryStream stream;
    stream.Attach(block, sizeof block);
    uint32_t value = 0x11223344;
    EXPECT_FALSE(ReadUInt32(stream, value));
    EXPECT_EQ(value, 0x1122BBAAu);
    uint8_t later = 0x55;
    EXPECT_FALSE(ReadUInt8(stream, later));
    EXPECT_EQ(later, 0x55);
    int32_t negative = -1;
    EXPECT_FALSE(ReadInt32(stream, negative));
    EXPECT_EQ(negative, -1);
}

TEST(FieldCodec, StringsCarryTheirByteLengthAndNoTerminator) {
    CMemoryStream stream;
    EXPECT_TRUE(WriteString(stream, ""));
    EXPECT_TRUE(WriteString(stream, "Foot"));
    EXPECT_EQ(Written(stream), (Bytes{0, 0, 0, 0, 4, 0, 0, 0, 'F', 'o', 'o', 't'}));
    std::string first = "old";
    std::string second;
    EXPECT_TRUE(ReadString(stream, first));
    EXPECT_TRUE(ReadString(stream, second));
    EXPECT_EQ(first, "");
    EXPECT_EQ(second, "Foot");
}

TEST(FieldCodec, ZeroByteEndsAStringButTheDeclaredBytesAreConsumed) {
    const uint8_t block[] = {5, 0, 0, 0, 'a', 'b', 0, 'c', 'd', 0x2A, 0, 0, 0};
    CMemoryStream stream;
    stream.Attach(block, sizeof block);
    std::string text;
    int32_t next = 0;
    EXPECT_TRUE(ReadString(stream, text));
    EXPECT_EQ(text, "ab");
    EXPECT_TRUE(ReadInt32(stream, next));
    EXPECT_EQ(next, 42);
}

TEST(FieldCodec, LengthBeyondTheRemainingBytesFailsWithoutConsumingOrAllocating) {
    // Declared 6 bytes, 5 present; then the largest possible length.
    const uint8_t shortBlock[] = {6, 0, 0, 0, 'a', 'b', 'c', 'd', 'e'};
    const uint8_t hugeBlock[] = {0xFF, 0xFF, 0xFF, 0xFF, 'x', 'y'};
    for (const auto& block : {Bytes(shortBlock, shortBlock + sizeof shortBlock),
                              Bytes(hugeBlock, hugeBlock + sizeof hugeBlock)}) {
        CMemoryStream stream;
        stream.Attach(block.data(), static_cast<uint32_t>(block.size()));
        std::string text = "kept";
        size_t largest = 0;
        {
            AllocationProbe probe;
            EXPECT_FALSE(ReadString(stream, text));
            largest = probe.Largest();
        }
        EXPECT_LT(largest, 256u);
        EXPECT_EQ(text, "kept");
        EXPECT_FALSE(stream.good());
        EXPECT_EQ(stream.GetData(), block.data() + 4);  // nothing consumed after the length
        uint8_t later = 7;
        EXPECT_FALSE(ReadUInt8(stream, later));
        EXPECT_EQ(later, 7);
    }
}

TEST(FieldCodec, ByteVectorsKeepZeroBytesAndAreBoundedToo) {
    CMemoryStream stream;
    EXPECT_TRUE(WriteByteVector(stream, Bytes{0, 1, 0}));
    EXPECT_EQ(Written(stream), (Bytes{3, 0, 0, 0, 0, 1, 0}));
    Bytes value;
    EXPECT_TRUE(ReadByteVector(stream, value));
    EXPECT_EQ(value, (Bytes{0, 1, 0}));

    const uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3};
    CMemoryStream attached;
    attached.Attach(huge, sizeof huge);
    Bytes kept = {9};
    AllocationProbe probe;
    EXPECT_FALSE(ReadByteVector(attached, kept));
    EXPECT_LT(probe.Largest(), 256u);
    EXPECT_EQ(kept, Bytes{9});
}

TEST(FieldCodec, WideStringsCountCodeUnits) {
    CMemoryStream stream;
    EXPECT_TRUE(WriteWideString(stream, u"\u00e9z"));
    EXPECT_EQ(Written(stream), (Bytes{2, 0, 0, 0, 0xE9, 0x00, 'z', 0}));
    std::u16string value;
    EXPECT_TRUE(ReadWideString(stream, value));
    EXPECT_EQ(value, u"\u00e9z");

    // A zero code unit ends the value; all declared units are consumed.
    const uint8_t withZero[] = {3, 0, 0, 0, 'a', 0, 0, 0, 'b', 0, 0x63, 0};
    CMemoryStream attached;
    attached.Attach(withZero, sizeof withZero);
    uint16_t after = 0;
    EXPECT_TRUE(ReadWideString(attached, value));
    EXPECT_EQ(value, u"a");
    EXPECT_TRUE(ReadUInt16(attached, after));
    EXPECT_EQ(after, 0x63);

    // Three units declared, five bytes present: the count cannot be carried.
    const uint8_t odd[] = {3, 0, 0, 0, 'a', 0, 'b', 0, 'c'};
    CMemoryStream cut;
    cut.Attach(odd, sizeof odd);
    const uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0xFF};
    CMemoryStream hugeStream;
    hugeStream.Attach(huge, sizeof huge);
    std::u16string kept = u"kept";
    AllocationProbe probe;
    EXPECT_FALSE(ReadWideString(cut, kept));
    EXPECT_EQ(kept, u"kept");
    EXPECT_FALSE(ReadWideString(hugeStream, kept));
    EXPECT_LT(probe.Largest(), 256u);
}

TEST(FieldCodec, WideTextHasNoLengthAndWideLinesEndAtCarriageReturnLineFeed) {
    CMemoryStream stream;
    EXPECT_TRUE(WriteWideText(stream, u"ab\r\nc\rd\r\n\r\nlast"));
    EXPECT_EQ(stream.GetSize(), 2u * 15);
    EXPECT_EQ(stream.GetData()[0], 'a');

    std::u16string line;
    EXPECT_TRUE(ReadWideLine(stream, line));
    EXPECT_EQ(line, u"ab");
    EXPECT_TRUE(ReadWideLine(stream, line));
    EXPECT_EQ(line, u"c\rd");  // a lone CR is kept
    EXPECT_TRUE(ReadWideLine(stream, line));
    EXPECT_EQ(line, u"");
    // The last line has no CR LF: it is stored, and the read reports the end of the stream.
    EXPECT_FALSE(ReadWideLine(stream, line));
    EXPECT_EQ(line, u"last");
    line = u"unchanged";
    EXPECT_FALSE(ReadWideLine(stream, line));
    EXPECT_EQ(line, u"unchanged");
}

TEST(FieldCodec, WideLineEndingInCarriageReturnOrAnOddByte) {
    const uint8_t block[] = {'x', 0, '\r', 0, 'y'};
    CMemoryStream stream;
    stream.Attach(block, sizeof block);
    std::u16string line;
    EXPECT_FALSE(ReadWideLine(stream, line));
    EXPECT_EQ(line, u"x\r");
    EXPECT_EQ(stream.GetSize(), 0u);
}

TEST(FieldCodec, WritesIntoAFailedStreamReportFailure) {
    CMemoryStream stream;
    stream.setstate(std::ios_base::badbit);
    EXPECT_FALSE(WriteUInt32(stream, 1));
    EXPECT_FALSE(WriteString(stream, "abc"));
    EXPECT_FALSE(WriteWideText(stream, u"abc"));
    stream.clear();
    EXPECT_EQ(stream.GetSize(), 0u);
}

}  // namespace
