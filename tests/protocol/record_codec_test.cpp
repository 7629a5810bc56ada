#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "AllocationProbe.h"
#include "MemoryStream.h"
#include "RecordCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

USBButtonDeviceDescriptor SpeechMike() {
    USBButtonDeviceDescriptor d;
    d.id = 0;
    d.name = "Philips SpeechMike III";
    d.hidInfo.devicePath = "\\\\?\\hid#vid_0911&pid_0c1c";
    d.hidInfo.usageType = 9;
    d.hidInfo.vendorID = 0x0911;
    d.hidInfo.productID = 0x0C1C;
    d.hidInfo.versionNumber = 0x0100;
    d.hidInfo.productString = "SpeechMike";
    d.hidInfo.inputReportByteLength = 10;
    d.hidInfo.outputReportByteLength = 10;
    return d;
}

Bytes Le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }
void Append(Bytes& to, const std::string& text) {
    Append(to, Le32(static_cast<uint32_t>(text.size())));
    to.insert(to.end(), text.begin(), text.end());
}

Bytes Written(const CMemoryStream& stream) {
    return Bytes(stream.GetData(), stream.GetData() + stream.GetSize());
}

bool Same(const USBButtonDeviceDescriptor& a, const USBButtonDeviceDescriptor& b) {
    const auto& x = a.hidInfo;
    const auto& y = b.hidInfo;
    return a.id == b.id && a.name == b.name && x.devicePath == y.devicePath && x.usageType == y.usageType &&
           x.vendorID == y.vendorID && x.productID == y.productID && x.versionNumber == y.versionNumber &&
           x.productString == y.productString && x.inputReportByteLength == y.inputReportByteLength &&
           x.outputReportByteLength == y.outputReportByteLength;
}

TEST(RecordCodec, DescriptorIsIdNameAndTheEightHidFieldsInOrder) {
    USBButtonDeviceDescriptor d = SpeechMike();
    d.id = -7;
    CMemoryStream stream;
    EXPECT_TRUE(WriteDeviceDescriptor(stream, d));
    Bytes expected = Le32(static_cast<uint32_t>(-7));
    Append(expected, d.name);
    Append(expected, d.hidInfo.devicePath);
    for (uint32_t v : {9u, 0x0911u, 0x0C1Cu, 0x0100u}) {
        Append(expected, Le32(v));
    }
    Append(expected, d.hidInfo.productString);
    Append(expected, Le32(10));
    Append(expected, Le32(10));
    EXPECT_EQ(Written(stream), expected);
    EXPECT_EQ(expected.size(), 40 + d.name.size() + d.hidInfo.devicePath.size() + d.hidInfo.productString.size());

    USBButtonDeviceDescriptor back;
    EXPECT_TRUE(ReadDeviceDescriptor(stream, back));
    EXPECT_TRUE(Same(back, d));
}

TEST(RecordCodec, DescriptorCutInsideItsHidFieldsKeepsTheRest) {
    USBButtonDeviceDescriptor d = SpeechMike();
    CMemoryStream full;
    WriteDeviceDescriptor(full, d);
    // Cut two bytes into the vendor id.
    const size_t cut = 4 + 4 + d.name.size() + 4 + d.hidInfo.devicePath.size() + 4 + 2;
    CMemoryStream stream;
    stream.Attach(full.GetData(), static_cast<uint32_t>(cut));
    USBButtonDeviceDescriptor back;
    back.hidInfo.vendorID = 0x77770000;
    back.hidInfo.inputReportByteLength = 55;
    EXPECT_FALSE(ReadDeviceDescriptor(stream, back));
    EXPECT_EQ(back.name, d.name);
    EXPECT_EQ(back.hidInfo.devicePath, d.hidInfo.devicePath);
    EXPECT_EQ(back.hidInfo.usageType, 9);
    EXPECT_EQ(back.hidInfo.vendorID, 0x77770911);
    EXPECT_EQ(back.hidInfo.productID, 0);
    EXPECT_EQ(back.hidInfo.productString, "");
    EXPECT_EQ(back.hidInfo.inputReportByteLength, 55);
}

TEST(RecordCodec, LedListIsCountThenPairs) {
    const std::vector<LEDSetting> leds = {{11, 0}, {3, 2}};
    CMemoryStream stream;
    EXPECT_TRUE(WriteLEDSettingList(stream, leds));
    EXPECT_EQ(Written(stream), (Bytes{2, 0, 0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0}));
    std::list<LEDSetting> back = {{1, 1}};
    EXPECT_TRUE(ReadLEDSettingList(stream, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back.back().led, 3);
    EXPECT_EQ(back.back().value, 2);
}

TEST(RecordCodec, EmptyListsAreTheirCountAlone) {
    CMemoryStream stream;
    EXPECT_TRUE(WriteDescriptorList(stream, std::vector<USBButtonDeviceDescriptor>()));
    EXPECT_EQ(Written(stream), (Bytes{0, 0, 0, 0}));
    std::vector<USBButtonDeviceDescriptor> back(3);
    EXPECT_TRUE(ReadDescriptorList(stream, back));
    EXPECT_TRUE(back.empty());
}

TEST(RecordCodec, FailedCountReadLeavesTheListAsItWas) {
    const uint8_t block[] = {1, 0};
    CMemoryStream stream;
    stream.Attach(block, sizeof block);
    std::vector<LEDSetting> leds = {{5, 6}};
    EXPECT_FALSE(ReadLEDSettingList(stream, leds));
    ASSERT_EQ(leds.size(), 1u);
    EXPECT_EQ(leds[0].led, 5);
}

TEST(RecordCodec, CountTheBytesCannotCarryFailsWithoutAllocatingForIt) {
    // 0xFFFFFFFF pairs declared, one pair and a half present: the pair that is there is read,
    // the half pair as far as it goes, and nothing is created for the rest.
    const uint8_t block[] = {0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0};
    CMemoryStream stream;
    stream.Attach(block, sizeof block);
    std::vector<LEDSetting> leds;
    {
        AllocationProbe probe;
        EXPECT_FALSE(ReadLEDSettingList(stream, leds));
        EXPECT_LT(probe.Largest(), 1024u);
    }
    EXPECT_FALSE(stream.good());
    ASSERT_EQ(leds.size(), 2u);
    EXPECT_EQ(leds[0].led, 1);
    EXPECT_EQ(leds[0].value, 1);
    EXPECT_EQ(leds[1].led, 2);
    EXPECT_EQ(leds[1].value, 0);

    const uint8_t descriptors[] = {0x00, 0x00, 0x00, 0x10, 0, 0, 0, 0};
    CMemoryStream other;
    other.Attach(descriptors, sizeof descriptors);
    std::list<USBButtonDeviceDescriptor> list;
    AllocationProbe probe;
    EXPECT_FALSE(ReadDescriptorList(other, list));
    EXPECT_LT(probe.Largest(), 1024u);
    EXPECT_EQ(list.size(), 1u);  // the one descriptor whose first bytes are present
}

TEST(RecordCodec, DescriptorListCutMidwayKeepsDefaultsAfterTheFailedElement) {
    // Two descriptors declared; bytes for the first and for 40 bytes of the second, whose name
    // is longer than what is left.
    std::vector<USBButtonDeviceDescriptor> two = {SpeechMike(), SpeechMike()};
    two[1].name = "A much longer name than forty bytes of the rest can carry";
    CMemoryStream full;
    WriteDescriptorList(full, two);
    CMemoryStream first;
    WriteDeviceDescriptor(first, two[0]);
    const uint32_t cut = 4 + first.GetSize() + 40;
    CMemoryStream stream;
    stream.Attach(full.GetData(), cut);
    std::vector<USBButtonDeviceDescriptor> back;
    EXPECT_FALSE(ReadDescriptorList(stream, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_TRUE(Same(back[0], two[0]));
    EXPECT_EQ(back[1].name, "");
    EXPECT_EQ(back[1].hidInfo.vendorID, 0);
}

TEST(RecordCodec, ProgressReportsIntegerPercentagesAndCanAbort) {
    const std::vector<LEDSetting> three = {{1, 1}, {2, 2}, {3, 3}};
    std::vector<int32_t> seen;
    auto record = [&](bool&, int32_t percentage, int32_t reserved) {
        EXPECT_EQ(reserved, 0);
        seen.push_back(percentage);
    };
    CMemoryStream stream;
    EXPECT_TRUE(WriteLEDSettingList(stream, three, record));
    EXPECT_EQ(seen, (std::vector<int32_t>{33, 66, 100}));

    seen.clear();
    std::vector<LEDSetting> back;
    EXPECT_TRUE(ReadLEDSettingList(stream, back, record));
    EXPECT_EQ(seen, (std::vector<int32_t>{33, 66, 100}));
    ASSERT_EQ(back.size(), 3u);

    // Abort after the second element: a write keeps its count of 3 but carries two pairs; a read
    // keeps the default pair for the third.
    auto stopAtSecond = [&](bool& abort, int32_t percentage, int32_t) { abort = percentage >= 66; };
    CMemoryStream aborted;
    EXPECT_TRUE(WriteLEDSettingList(aborted, three, stopAtSecond));
    EXPECT_EQ(aborted.GetSize(), 4u + 2 * 8);
    CMemoryStream again;
    WriteLEDSettingList(again, three);
    EXPECT_TRUE(ReadLEDSettingList(again, back, stopAtSecond));
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[1].led, 2);
    EXPECT_EQ(back[2].led, 11);
    EXPECT_EQ(back[2].value, 0);
}

}  // namespace
