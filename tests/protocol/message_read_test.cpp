// Reading received messages the way the client does: the header, then the body fields in order,
// from a stream attached to the received bytes.
#include <gtest/gtest.h>

#include <vector>

#include "MemoryStream.h"
#include "MessageType.h"
#include "RecordCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Received {
    explicit Received(const Bytes& bytes) : bytes(bytes) {
        stream.Attach(this->bytes.data(), static_cast<uint32_t>(this->bytes.size()));
    }
    Bytes bytes;
    CMemoryStream stream;
};

TEST(MessageRead, HeaderNeedsFourBytesForTheCodeAndEightForTheHandle) {
    for (size_t size : {0u, 3u}) {
        Received message(Bytes(size, 0x13));
        uint32_t code = 0;
        EXPECT_FALSE(ReadUInt32(message.stream, code)) << size;
    }
    for (size_t size : {4u, 7u}) {
        Received message(Bytes(size, 0x01));
        uint32_t code = 0;
        ObjectHandle handle = 0;
        EXPECT_TRUE(ReadUInt32(message.stream, code)) << size;
        EXPECT_FALSE(ReadHandle(message.stream, handle)) << size;
    }
}

TEST(MessageRead, ConnectDeviceWithoutItsFlagReadsAsDisconnect) {
    Received message({0x13, 0, 0, 0, 0x00, 0x20, 0, 0});
    uint32_t code = 0;
    ObjectHandle handle = 0;
    uint8_t flag = 0;
    ASSERT_TRUE(ReadUInt32(message.stream, code));
    ASSERT_TRUE(ReadHandle(message.stream, handle));
    EXPECT_EQ(code, static_cast<uint32_t>(MessageType::ConnectDevice));
    EXPECT_EQ(handle, 0x2000u);
    EXPECT_FALSE(ReadUInt8(message.stream, flag));
    EXPECT_EQ(flag, 0);
}

TEST(MessageRead, TrailingBytesAfterTheLastFieldAreNotRead) {
    Received message({0x13, 0, 0, 0, 1, 2, 3, 4, 0x01, 0xEE, 0xEE});
    uint32_t code = 0;
    ObjectHandle handle = 0;
    uint8_t flag = 0;
    EXPECT_TRUE(ReadUInt32(message.stream, code));
    EXPECT_TRUE(ReadHandle(message.stream, handle));
    EXPECT_TRUE(ReadUInt8(message.stream, flag));
    EXPECT_EQ(handle, 0x04030201u);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(message.stream.GetSize(), 2u);
}

// A SetLEDs whose list is cut short: the count cannot be carried, so the read fails and only the
// pairs that really arrived are in the list (no pairs are made up for the missing bytes).
TEST(MessageRead, SetLEDsCutAfterItsCountOrAtAPairBoundary) {
    Received afterCount({0x11, 0, 0, 0, 0, 0x20, 0, 0, 2, 0, 0, 0});
    uint32_t code = 0;
    ObjectHandle handle = 0;
    ReadUInt32(afterCount.stream, code);
    ReadHandle(afterCount.stream, handle);
    std::vector<LEDSetting> leds = {{1, 2}};
    EXPECT_FALSE(ReadLEDSettingList(afterCount.stream, leds));
    EXPECT_TRUE(leds.empty());

    Received atBoundary({0x11, 0, 0, 0, 0, 0x20, 0, 0, 3, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0});
    ReadUInt32(atBoundary.stream, code);
    ReadHandle(atBoundary.stream, handle);
    EXPECT_FALSE(ReadLEDSettingList(atBoundary.stream, leds));
    ASSERT_EQ(leds.size(), 1u);
    EXPECT_EQ(leds[0].led, 5);
    EXPECT_EQ(leds[0].value, 1);
}

TEST(MessageRead, InitDeviceWithAZeroByteInTheNameReadsTheFollowingFieldsCorrectly) {
    Bytes bytes = {0x0F, 0, 0, 0, 0, 0x20, 0, 0, 4, 0, 0, 0};  // code, handle, id 4
    const Bytes nameAndPath = {6, 0, 0, 0, 'F', 'o', 'o', 0, 'x', 'x', 1, 0, 0, 0, 'p'};
    bytes.insert(bytes.end(), nameAndPath.begin(), nameAndPath.end());
    // usage, vendor, product, version, empty product string, input and output report lengths
    for (uint32_t v : {9u, 0x0911u, 0x0C1Cu, 1u, 0u, 10u, 10u}) {
        const Bytes field = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), 0, 0};
        bytes.insert(bytes.end(), field.begin(), field.end());
    }
    Received message(bytes);
    uint32_t code = 0;
    ObjectHandle handle = 0;
    ReadUInt32(message.stream, code);
    ReadHandle(message.stream, handle);
    USBButtonDeviceDescriptor descriptor;
    EXPECT_TRUE(ReadDeviceDescriptor(message.stream, descriptor));
    EXPECT_EQ(descriptor.id, 4);
    EXPECT_EQ(descriptor.name, "Foo");
    EXPECT_EQ(descriptor.hidInfo.devicePath, "p");
    EXPECT_EQ(descriptor.hidInfo.usageType, 9);
    EXPECT_EQ(descriptor.hidInfo.vendorID, 0x0911);
    EXPECT_EQ(descriptor.hidInfo.productID, 0x0C1C);
    EXPECT_EQ(descriptor.hidInfo.versionNumber, 1);
    EXPECT_EQ(descriptor.hidInfo.productString, "");
    EXPECT_EQ(descriptor.hidInfo.inputReportByteLength, 10);
    EXPECT_EQ(descriptor.hidInfo.outputReportByteLength, 10);
    EXPECT_EQ(message.stream.GetSize(), 0u);
}

TEST(MessageRead, MessageNamesCoverEveryCode) {
    EXPECT_EQ(MessageTypeName(0), nullptr);
    EXPECT_STREQ(MessageTypeName(1), "CreateManager");
    EXPECT_STREQ(MessageTypeName(6), "GetConnectedDevicesReply");
    EXPECT_STREQ(MessageTypeName(8), "DeviceDisconnected");
    EXPECT_STREQ(MessageTypeName(19), "ConnectDevice");
    EXPECT_STREQ(MessageTypeName(21), "ButtonEvent");
    EXPECT_EQ(MessageTypeName(22), nullptr);
    EXPECT_EQ(MessageTypeName(0xFFFFFFFFu), nullptr);
    std::vector<uint32_t> commands;
    for (uint32_t code = 0; code <= 40; ++code) {
        if (IsServerCommand(code)) {
            commands.push_back(code);
            EXPECT_EQ(ReplyCodeOf(code), code + 1);
        } else {
            EXPECT_EQ(ReplyCodeOf(code), 0u);
        }
    }
    EXPECT_EQ(commands, (std::vector<uint32_t>{1, 3, 5, 9, 11, 13, 15, 17, 19}));
}

}  // namespace
