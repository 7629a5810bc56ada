// Renders channel messages as readable conversation lines, for test logs and the demo:
//   server -> client  CreateManager 0x00001000
//   client -> server  GetConnectedDevicesReply 0x00001000: 1 device: [Philips SpeechMike III, \\?\hid#..., vid 0911 pid 0c1c usage 9, in 10 out 10]
//   client -> server  ButtonEvent 0x00002000: button 3 pressed
#pragma once

#include <cstddef>
#include <string>

#include "ServerMessage.h"

namespace ServerProxy {

// "server -> client" or "client -> server".
const char* DirectionLabel(Direction sender);

// One line for the bytes: direction, two spaces, then the decoded message, or for malformed
// bytes "malformed message (<reason>): <up to 32 bytes in hex>".
std::string RenderMessage(Direction sender, const uint8_t* data, size_t size);
inline std::string RenderMessage(Direction sender, const Bytes& bytes) {
    return RenderMessage(sender, bytes.data(), bytes.size());
}

// The decoded message without the direction: "<name> 0x<handle>[: <body>]".
std::string DescribeMessage(const ChannelMessage& message);
// "[name, path, vid 0911 pid 0c1c usage 9, in 10 out 10]", with "id N, " first when id is not 0.
// Control characters in the strings are shown as \xNN.
std::string DescribeDescriptor(const USBButtonDeviceDescriptor& descriptor);

}  // namespace ServerProxy
