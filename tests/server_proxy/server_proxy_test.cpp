#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MessageDecoder.h"
#include "MessageEncoder.h"
#include "MessageRenderer.h"

namespace {

using namespace ServerProxy;

const ObjectHandle kManager = 0x00001000;
const ObjectHandle kDevice = 0x00002000;

USBButtonDeviceDescriptor HandSet() {
    USBButtonDeviceDescriptor d;
    d.name = "Philips SpeechMike III";
    d.hidInfo.devicePath = "\\\\?\\hid#vid_0911&pid_0c1c#1";
    d.hidInfo.usageType = 9;
    d.hidInfo.vendorID = 0x0911;
    d.hidInfo.productID = 0x0C1C;
    d.hidInfo.versionNumber = 0x0100;
    d.hidInfo.inputReportByteLength = 10;
    d.hidInfo.outputReportByteLength = 10;
    return d;
}

Bytes Header(uint32_t code, ObjectHandle handle) {
    return {static_cast<uint8_t>(code), 0, 0, 0, static_cast<uint8_t>(handle), static_cast<uint8_t>(handle >> 8),
            static_cast<uint8_t>(handle >> 16), static_cast<uint8_t>(handle >> 24)};
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

ChannelMessage Decoded(Direction sender, const Bytes& bytes) {
    ChannelMessage message;
    std::string error;
    EXPECT_TRUE(DecodeMessage(sender, bytes.data(), bytes.size(), message, error)) << error;
    return message;
}

TEST(ServerProxyEncode, CommandsAreByteExact) {
    EXPECT_EQ(EncodeCreateManager(kManager), Header(1, kManager));
    EXPECT_EQ(EncodeDeleteManager(kManager), Header(3, kManager));
    EXPECT_EQ(EncodeGetConnectedDevices(kManager), Header(5, kManager));
    EXPECT_EQ(EncodeCreateDevice(kDevice), Header(9, kDevice));
    EXPECT_EQ(EncodeDeleteDevice(kDevice), Header(11, kDevice));
    EXPECT_EQ(EncodeAssignDevice(kDevice, 0x00003000), Concat(Header(13, kDevice), {0x00, 0x30, 0x00, 0x00}));
    EXPECT_EQ(EncodeConnectDevice(0xA1B2C3D4, true), (Bytes{0x13, 0, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1, 0x01}));
    EXPECT_EQ(EncodeConnectDevice(kDevice, false), Concat(Header(19, kDevice), {0x00}));
    EXPECT_EQ(EncodeSetLEDs(kDevice, {{11, 0}, {2, 1}}),
              Concat(Header(17, kDevice), {2, 0, 0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(EncodeSetLEDs(kDevice, {}).size(), 12u);

    const USBButtonDeviceDescriptor d = HandSet();
    const Bytes init = EncodeInitDevice(kDevice, d);
    EXPECT_EQ(init.size(), 8 + 40 + d.name.size() + d.hidInfo.devicePath.size());
    EXPECT_EQ(Bytes(init.begin(), init.begin() + 16), Concat(Header(15, kDevice), {0, 0, 0, 0, 22, 0, 0, 0}));
}

TEST(ServerProxyEncode, ClientRepliesAndEventsAreByteExact) {
    ChannelMessage reply;
    reply.code = 20;
    reply.handle = 0xA1B2C3D4;
    EXPECT_EQ(EncodeMessage(reply), (Bytes{0x14, 0, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1}));

    ChannelMessage button;
    button.code = 21;
    button.handle = kDevice;
    button.button = 3;
    button.pressed = 1;
    EXPECT_EQ(EncodeMessage(button), Concat(Header(21, kDevice), {3, 0, 0, 0, 1, 0, 0, 0}));

    ChannelMessage empty;
    empty.code = 6;
    empty.handle = kManager;
    EXPECT_EQ(EncodeMessage(empty), Concat(Header(6, kManager), {0, 0, 0, 0}));

    ChannelMessage arrival;
    arrival.code = 7;
    arrival.handle = kManager;
    arrival.descriptor = HandSet();
    EXPECT_EQ(EncodeMessage(arrival).size(), 8 + 40 + 22 + arrival.descriptor.hidInfo.devicePath.size());
}

TEST(ServerProxyDecode, EveryClientMessageRoundTrips) {
    for (uint32_t code : {2u, 4u, 10u, 12u, 14u, 16u, 18u, 20u}) {
        ChannelMessage reply;
        reply.code = code;
        reply.handle = 0;  // a zero handle is echoed like any other
        const ChannelMessage back = Decoded(Direction::ClientToServer, EncodeMessage(reply));
        EXPECT_EQ(back.code, code);
        EXPECT_EQ(back.handle, 0u);
    }
    ChannelMessage list;
    list.code = 6;
    list.handle = kManager;
    list.devices = {HandSet(), HandSet()};
    list.devices[1].name = "Philips Foot Control (1)";
    list.devices[1].hidInfo.productString = "Foot";
    const ChannelMessage listBack = Decoded(Direction::ClientToServer, EncodeMessage(list));
    ASSERT_EQ(listBack.devices.size(), 2u);
    EXPECT_EQ(listBack.devices[1].name, "Philips Foot Control (1)");
    EXPECT_EQ(listBack.devices[1].hidInfo.productString, "Foot");
    EXPECT_EQ(listBack.devices[0].hidInfo.productID, 0x0C1C);

    for (uint32_t code : {7u, 8u}) {
        ChannelMessage event;
        event.code = code;
        event.handle = kManager;
        event.descriptor = HandSet();
        const ChannelMessage back = Decoded(Direction::ClientToServer, EncodeMessage(event));
        EXPECT_EQ(back.descriptor.hidInfo.devicePath, HandSet().hidInfo.devicePath);
    }

    ChannelMessage release;
    release.code = 21;
    release.handle = kDevice;
    release.button = 16;
    release.pressed = 0;
    const ChannelMessage back = Decoded(Direction::ClientToServer, EncodeMessage(release));
    EXPECT_EQ(back.button, 16);
    EXPECT_EQ(back.pressed, 0);
}

TEST(ServerProxyDecode, EveryServerCommandRoundTrips) {
    EXPECT_EQ(Decoded(Direction::ServerToClient, EncodeAssignDevice(kDevice, 0x3000)).sourceHandle, 0x3000u);
    EXPECT_EQ(Decoded(Direction::ServerToClient, EncodeConnectDevice(kDevice, true)).connectFlag, 1);
    const ChannelMessage leds = Decoded(Direction::ServerToClient, EncodeSetLEDs(kDevice, {{1, 2}, {3, 4}}));
    ASSERT_EQ(leds.leds.size(), 2u);
    EXPECT_EQ(leds.leds[1].value, 4);
    USBButtonDeviceDescriptor d = HandSet();
    d.id = 5;
    EXPECT_EQ(Decoded(Direction::ServerToClient, EncodeInitDevice(kDevice, d)).descriptor.id, 5);
    EXPECT_EQ(Decoded(Direction::ServerToClient, EncodeDeleteManager(kManager)).code, 3u);
}

TEST(ServerProxyDecode, RejectsMalformedClientMessages) {
    auto rejected = [](const Bytes& bytes) {
        ChannelMessage message;
        std::string error;
        const bool ok = DecodeMessage(Direction::ClientToServer, bytes.data(), bytes.size(), message, error);
        EXPECT_FALSE(error.empty() && !ok);
        return !ok;
    };
    EXPECT_TRUE(rejected({}));
    EXPECT_TRUE(rejected({2, 0, 0}));
    EXPECT_TRUE(rejected({2, 0, 0, 0, 0, 0x10, 0}));
    // Codes the client never sends: commands, 0 and anything above 21.
    EXPECT_TRUE(rejected(Header(1, kManager)));
    EXPECT_TRUE(rejected(Header(0, kManager)));
    EXPECT_TRUE(rejected(Header(22, kManager)));
    // Bodies cut short, or with bytes after the last field.
    EXPECT_TRUE(rejected(Concat(Header(21, kDevice), {3, 0, 0, 0, 1, 0, 0})));
    EXPECT_TRUE(rejected(Concat(Header(21, kDevice), {3, 0, 0, 0, 1, 0, 0, 0, 0})));
    EXPECT_TRUE(rejected(Concat(Header(20, kDevice), {0})));
    EXPECT_TRUE(rejected(Header(6, kManager)));
    EXPECT_TRUE(rejected(Concat(Header(21, kDevice), {3, 0, 0, 0, 2, 0, 0, 0})));  // flag neither 0 nor 1
    // Lengths and counts the bytes cannot carry.
    EXPECT_TRUE(rejected(Concat(Header(6, kManager), {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0})));
    EXPECT_TRUE(rejected(Concat(Header(7, kManager), {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'})));

    ChannelMessage arrival;
    arrival.code = 8;
    arrival.descriptor = HandSet();
    Bytes bytes = EncodeMessage(arrival);
    for (size_t cut = 8; cut < bytes.size(); ++cut) {
        EXPECT_TRUE(rejected(Bytes(bytes.begin(), bytes.begin() + cut))) << cut;
    }
}

TEST(ServerProxyDecode, RejectsClientCodesAsServerCommands) {
    ChannelMessage message;
    std::string error;
    const Bytes reply = Header(2, kManager);
    EXPECT_FALSE(DecodeServerMessage(reply, message, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(DecodeServerMessage(Header(7, kManager), message, error));
    EXPECT_TRUE(DecodeServerMessage(Concat(Header(19, kDevice), {0}), message, error));
    EXPECT_FALSE(DecodeServerMessage(Header(19, kDevice), message, error));  // flag missing
}

TEST(ServerProxyRender, MessagesReadAsConversationLines) {
    EXPECT_EQ(RenderMessage(Direction::ServerToClient, EncodeCreateManager(kManager)),
              "server -> client  CreateManager 0x00001000");
    ChannelMessage list;
    list.code = 6;
    list.handle = kManager;
    list.devices = {HandSet()};
    EXPECT_EQ(RenderMessage(Direction::ClientToServer, EncodeMessage(list)),
              "client -> server  GetConnectedDevicesReply 0x00001000: 1 device: [Philips SpeechMike III, "
              "\\\\?\\hid#vid_0911&pid_0c1c#1, vid 0911 pid 0c1c usage 9, in 10 out 10]");
    list.devices.clear();
    EXPECT_EQ(RenderMessage(Direction::ClientToServer, EncodeMessage(list)),
              "client -> server  GetConnectedDevicesReply 0x00001000: 0 devices");
    ChannelMessage button;
    button.code = 21;
    button.handle = kDevice;
    button.button = 3;
    button.pressed = 1;
    EXPECT_EQ(RenderMessage(Direction::ClientToServer, EncodeMessage(button)),
              "client -> server  ButtonEvent 0x00002000: button 3 pressed");
    button.pressed = 0;
    EXPECT_EQ(DescribeMessage(button), "ButtonEvent 0x00002000: button 3 released");
    EXPECT_EQ(RenderMessage(Direction::ServerToClient, EncodeConnectDevice(kDevice, false)),
              "server -> client  ConnectDevice 0x00002000: disconnect");
    EXPECT_EQ(RenderMessage(Direction::ServerToClient, EncodeSetLEDs(kDevice, {{11, 0}, {1, 2}})),
              "server -> client  SetLEDs 0x00002000: 2 settings: led 11 = 0, led 1 = 2");
    EXPECT_EQ(RenderMessage(Direction::ServerToClient, EncodeAssignDevice(kDevice, 0x3000)),
              "server -> client  AssignDevice 0x00002000: from 0x00003000");
}

TEST(ServerProxyRender, MalformedBytesAndControlCharactersAreShownSafely) {
    EXPECT_EQ(RenderMessage(Direction::ClientToServer, Bytes{0x15, 0, 0}),
              "client -> server  malformed message (3 bytes: no message code): 15 00 00");
    const std::string line = RenderMessage(Direction::ClientToServer, Bytes(100, 0xEE));
    EXPECT_NE(line.find("malformed message"), std::string::npos);
    EXPECT_EQ(line.substr(line.size() - 4), " ...");

    USBButtonDeviceDescriptor d = HandSet();
    d.id = 2;
    d.name = "Bad\nName";
    d.hidInfo.productString = "P";
    EXPECT_EQ(DescribeDescriptor(d),
              "[id 2, Bad\\x0aName, \\\\?\\hid#vid_0911&pid_0c1c#1, vid 0911 pid 0c1c usage 9, product P, in 10 out 10]");
}

}  // namespace
