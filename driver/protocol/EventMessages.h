// The client's event messages: built in a fresh stream and queued for the server.
#pragma once

#include <cstdint>

#include "MessageType.h"
#include "USBButtonDeviceDescriptor.h"

// DeviceConnected (7) or DeviceDisconnected (8): code, manager handle, descriptor.
void SendDeviceEvent(MessageType code, ObjectHandle manager, const USBButtonDeviceDescriptor& descriptor);

// ButtonEvent (21): code, device handle, button id, pressed flag; 16 bytes.
void SendButtonEvent(ObjectHandle device, int32_t button, int32_t pressed);

// Hands every byte written to the stream to the channel's send queue.
class CMemoryStream;
void SendStream(CMemoryStream& stream);
