// The client's event messages, queued for the server: device events built in a fresh stream,
// button events (the reader threads' one message) and replies without a body in a fixed block on
// the stack.
#pragma once

#include <cstddef>
#include <cstdint>

#include "MessageType.h"
#include "USBButtonDeviceDescriptor.h"

// DeviceConnected (7) or DeviceDisconnected (8): code, manager handle, descriptor.
void SendDeviceEvent(MessageType code, ObjectHandle manager, const USBButtonDeviceDescriptor& descriptor);

// ButtonEvent (21): code, device handle, button id, pressed flag; 16 bytes. load: the load of the
// module the device was bound in (a block of an ended load is dropped).
constexpr size_t kButtonEventSize = 16;
void SendButtonEvent(ObjectHandle device, int32_t button, int32_t pressed, uint32_t load);

// A reply without a body: the reply's code and the command's handle (8 bytes). Any thread; a
// reply from a thread of a device gives the load it was bound in, the engine thread's the default.
void SendReply(MessageType code, ObjectHandle handle, uint32_t load = 0xFFFFFFFFu);

// Hands every byte written to the stream to the channel's send queue.
class CMemoryStream;
void SendStream(CMemoryStream& stream);
