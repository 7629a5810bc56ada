#include "EventMessages.h"

#include "CitrixClientOperations.h"
#include "MemoryStream.h"
#include "RecordCodec.h"
#include "StreamCodec.h"

void SendStream(CMemoryStream& stream) {
    SendMessageToServer(stream.GetData(), static_cast<int>(stream.GetSize()));
}

void SendDeviceEvent(MessageType code, ObjectHandle manager, const USBButtonDeviceDescriptor& descriptor) {
    CMemoryStream stream;
    WriteUInt32(stream, static_cast<uint32_t>(code));
    WriteHandle(stream, manager);
    WriteDeviceDescriptor(stream, descriptor);
    SendStream(stream);
}

void SendButtonEvent(ObjectHandle device, int32_t button, int32_t pressed) {
    CMemoryStream stream;
    WriteUInt32(stream, static_cast<uint32_t>(MessageType::ButtonEvent));
    WriteHandle(stream, device);
    WriteInt32(stream, button);
    WriteInt32(stream, pressed);
    SendStream(stream);
}
