// Message codes and object handles of the "TovUSB" channel.
#pragma once

#include <cstdint>

// The server's 32-bit name for one of its proxy objects (the proxy's address). Compared for
// equality only; every reply repeats the handle of its command.
using ObjectHandle = uint32_t;

// Commands are the odd codes 1 to 19 (server to client); a reply is its command's code plus one;
// 7, 8 and 21 are events of the client.
enum class MessageType : uint32_t {
    CreateManager = 1,
    CreateManagerReply = 2,
    DeleteManager = 3,
    DeleteManagerReply = 4,
    GetConnectedDevices = 5,
    GetConnectedDevicesReply = 6,
    DeviceConnected = 7,
    DeviceDisconnected = 8,
    CreateDevice = 9,
    CreateDeviceReply = 10,
    DeleteDevice = 11,
    DeleteDeviceReply = 12,
    AssignDevice = 13,
    AssignDeviceReply = 14,
    InitDevice = 15,
    InitDeviceReply = 16,
    SetLEDs = 17,
    SetLEDsReply = 18,
    ConnectDevice = 19,
    ConnectDeviceReply = 20,
    ButtonEvent = 21,
};

// Every message starts with the code and the handle, 4 bytes each.
constexpr uint32_t kMessageHeaderSize = 8;

// The name of a code ("CreateManager", ...), or nullptr for a code outside 1 to 21.
const char* MessageTypeName(uint32_t code);
// True for the codes the server sends (odd, 1 to 19, without the events 7).
bool IsServerCommand(uint32_t code);
// The reply code of a server command; 0 for anything else.
uint32_t ReplyCodeOf(uint32_t commandCode);
