#include "MessageDecoder.h"

#include <cstdio>
#include <limits>

#include "WireFields.h"

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

bool ReadBody(wire::Reader& stream, ChannelMessage& message) {
    switch (message.Type()) {
    case MessageType::GetConnectedDevicesReply:
        return stream.GetDescriptorList(message.devices);
    case MessageType::DeviceConnected:
    case MessageType::DeviceDisconnected:
    case MessageType::InitDevice:
        return stream.GetDescriptor(message.descriptor);
    case MessageType::AssignDevice:
        return stream.Get32(message.sourceHandle);
    case MessageType::SetLEDs:
        return stream.GetLEDSettingList(message.leds);
    case MessageType::ConnectDevice:
        return stream.Get8(message.connectFlag);
    case MessageType::ButtonEvent:
        return stream.GetInt32(message.button) && stream.GetInt32(message.pressed);
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
    wire::Reader stream(data, size);
    if (!stream.Get32(message.code)) {
        error = Text("%llu bytes: no message code", size);
        return false;
    }
    if (!stream.Get32(message.handle)) {
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
    if (stream.Left() != 0) {
        error = std::string(NameOf(message.code)) + Text(": %llu bytes after the last field", stream.Left());
        return false;
    }
    if (message.Type() == MessageType::ButtonEvent && message.pressed != 0 && message.pressed != 1) {
        error = Text("ButtonEvent: pressed flag %llu is neither 0 nor 1", static_cast<uint32_t>(message.pressed));
        return false;
    }
    return true;
}

}  // namespace ServerProxy
