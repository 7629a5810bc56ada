#include "MessageDecoder.h"

#include <cstdio>
#include <limits>

#include "MemoryStream.h"
#include "RecordCodec.h"
#include "StreamCodec.h"

namespace ServerProxy {

namespace {

std::string Text(const char* format, unsigned long long a, unsigned long long b = 0) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, format, a, b);
    return buffer;
}

const char* NameOf(uint32_t code) {
    const char* const name = MessageTypeName(code);
    return name != nullptr ? name : "?";
}

bool ReadBody(CMemoryStream& stream, ChannelMessage& message) {
    switch (message.Type()) {
    case MessageType::GetConnectedDevicesReply:
        return ReadDescriptorList(stream, message.devices);
    case MessageType::DeviceConnected:
    case MessageType::DeviceDisconnected:
    case MessageType::InitDevice:
        return ReadDeviceDescriptor(stream, message.descriptor);
    case MessageType::AssignDevice:
        return ReadHandle(stream, message.sourceHandle);
    case MessageType::SetLEDs:
        return ReadLEDSettingList(stream, message.leds);
    case MessageType::ConnectDevice:
        return ReadUInt8(stream, message.connectFlag);
    case MessageType::ButtonEvent:
        return ReadInt32(stream, message.button) && ReadInt32(stream, message.pressed);
    default:
        return true;  // header only
    }
}

}  // namespace

bool DecodeMessage(Direction sender, const uint8_t* data, size_t size, ChannelMessage& message, std::string& error) {
    message = ChannelMessage();
    error.clear();
    if (data == nullptr && size != 0) {
        error = "no bytes";
        return false;
    }
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        error = "message too large";
        return false;
    }
    CMemoryStream stream;
    stream.Attach(data, static_cast<uint32_t>(size));
    if (!ReadUInt32(stream, message.code)) {
        error = Text("%llu bytes: no message code", size);
        return false;
    }
    if (!ReadHandle(stream, message.handle)) {
        error = Text("%llu bytes: code %llu but no handle", size, message.code);
        return false;
    }
    if (!IsSentBy(sender, message.code)) {
        error = Text(sender == Direction::ClientToServer ? "code %llu is not a message of the client"
                                                         : "code %llu is not a command of the server",
                     message.code);
        return false;
    }
    if (!ReadBody(stream, message)) {
        error = std::string(NameOf(message.code)) + Text(": body cut short or a length beyond the message (%llu bytes)", size);
        return false;
    }
    if (stream.GetSize() != 0) {
        error = std::string(NameOf(message.code)) + Text(": %llu bytes after the last field", stream.GetSize());
        return false;
    }
    if (message.Type() == MessageType::ButtonEvent && message.pressed != 0 && message.pressed != 1) {
        error = Text("ButtonEvent: pressed flag %llu is neither 0 nor 1", static_cast<uint32_t>(message.pressed));
        return false;
    }
    return true;
}

}  // namespace ServerProxy
