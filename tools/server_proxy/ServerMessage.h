// One message of the "TovUSB" channel as the server side sees it, in either direction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MessageType.h"
#include "USBButtonDeviceDescriptor.h"

namespace ServerProxy {

using Bytes = std::vector<uint8_t>;

enum class Direction { ServerToClient, ClientToServer };

// The header and whichever body fields the code has; the other fields keep their defaults.
struct ChannelMessage {
    uint32_t code = 0;
    ObjectHandle handle = 0;
    ObjectHandle sourceHandle = 0;                     // AssignDevice
    USBButtonDeviceDescriptor descriptor;              // InitDevice, DeviceConnected, DeviceDisconnected
    std::vector<USBButtonDeviceDescriptor> devices;    // GetConnectedDevicesReply
    std::vector<LEDSetting> leds;                      // SetLEDs
    uint8_t connectFlag = 0;                           // ConnectDevice: non-zero connects
    int32_t button = 0;                                // ButtonEvent
    int32_t pressed = 0;                               // ButtonEvent: 1 pressed, 0 released

    MessageType Type() const { return static_cast<MessageType>(code); }
};

// Which side sends a code: server commands are the odd codes 1 to 19 but 7; replies, 7, 8 and 21
// come from the client. Codes outside 1 to 21 belong to neither.
bool IsSentBy(Direction direction, uint32_t code);

}  // namespace ServerProxy
