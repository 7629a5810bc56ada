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

namespace {

// The channel's little-endian 32-bit field at block[offset].
void PutLittleEndian32(uint8_t* block, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) block[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

// Runs on a device's reader thread for every changed button. The 16 bytes are the same fields a
// stream would carry, built on the stack: no stream, no heap block of its own; the send queue's
// copy is the only allocation.
void SendButtonEvent(ObjectHandle device, int32_t button, int32_t pressed, uint32_t load) {
    uint8_t block[kButtonEventSize];
    PutLittleEndian32(block, 0, static_cast<uint32_t>(MessageType::ButtonEvent));
    PutLittleEndian32(block, 4, device);
    PutLittleEndian32(block, 8, static_cast<uint32_t>(button));
    PutLittleEndian32(block, 12, static_cast<uint32_t>(pressed));
    SendMessageToServer(block, static_cast<int>(kButtonEventSize), load);
}

// Also the SetLEDs reply, which a device's writer thread queues once its report was written.
void SendReply(MessageType code, ObjectHandle handle, uint32_t load) {
    uint8_t block[8];
    PutLittleEndian32(block, 0, static_cast<uint32_t>(code));
    PutLittleEndian32(block, 4, handle);
    SendMessageToServer(block, static_cast<int>(sizeof(block)), load);
}
