// Builds the bytes of channel messages: the server's commands, and (for tests that play the
// client's part) the client's replies and events.
#pragma once

#include <vector>

#include "ServerMessage.h"

namespace ServerProxy {

Bytes EncodeCreateManager(ObjectHandle manager);
Bytes EncodeDeleteManager(ObjectHandle manager);
Bytes EncodeGetConnectedDevices(ObjectHandle manager);
Bytes EncodeCreateDevice(ObjectHandle device);
Bytes EncodeDeleteDevice(ObjectHandle device);
// The command goes to the target; its body names the source device.
Bytes EncodeAssignDevice(ObjectHandle target, ObjectHandle source);
Bytes EncodeInitDevice(ObjectHandle device, const USBButtonDeviceDescriptor& descriptor);
Bytes EncodeSetLEDs(ObjectHandle device, const std::vector<LEDSetting>& leds);
// Flag byte 1 to connect, 0 to disconnect.
Bytes EncodeConnectDevice(ObjectHandle device, bool connect);

// Any message from its fields: the header, then the body its code has (none for codes without
// a body and for unknown codes).
Bytes EncodeMessage(const ChannelMessage& message);

}  // namespace ServerProxy
