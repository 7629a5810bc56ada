#include "MessageRenderer.h"

#include <cstdarg>
#include <cstdio>

#include "MessageDecoder.h"

namespace ServerProxy {

namespace {

std::string Printf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

std::string Printf(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string Printable(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            result += Printf("\\x%02x", byte);
        } else {
            result += c;
        }
    }
    return result;
}

std::string Handle(ObjectHandle handle) {
    return Printf("0x%08x", static_cast<unsigned>(handle));
}

std::string Counted(size_t count, const char* singular, const char* plural) {
    return Printf("%u %s", static_cast<unsigned>(count), count == 1 ? singular : plural);
}

}  // namespace

const char* DirectionLabel(Direction sender) {
    return sender == Direction::ServerToClient ? "server -> client" : "client -> server";
}

std::string DescribeDescriptor(const USBButtonDeviceDescriptor& descriptor) {
    const USBHIDDeviceInfo& hid = descriptor.hidInfo;
    std::string text = "[";
    if (descriptor.id != 0) {
        text += Printf("id %d, ", static_cast<int>(descriptor.id));
    }
    text += Printable(descriptor.name) + ", " + Printable(hid.devicePath);
    text += Printf(", vid %04x pid %04x usage %d", static_cast<unsigned>(hid.vendorID),
                   static_cast<unsigned>(hid.productID), static_cast<int>(hid.usageType));
    if (!hid.productString.empty()) {
        text += ", product " + Printable(hid.productString);
    }
    text += Printf(", in %d out %d]", static_cast<int>(hid.inputReportByteLength),
                   static_cast<int>(hid.outputReportByteLength));
    return text;
}

std::string DescribeMessage(const ChannelMessage& message) {
    const char* const name = MessageTypeName(message.code);
    std::string text = name != nullptr ? name : Printf("code %u", static_cast<unsigned>(message.code));
    text += " " + Handle(message.handle);
    switch (message.Type()) {
    case MessageType::GetConnectedDevicesReply:
        text += ": " + Counted(message.devices.size(), "device", "devices");
        for (size_t i = 0; i < message.devices.size(); ++i) {
            text += (i == 0 ? ": " : ", ") + DescribeDescriptor(message.devices[i]);
        }
        break;
    case MessageType::DeviceConnected:
    case MessageType::DeviceDisconnected:
    case MessageType::InitDevice:
        text += ": " + DescribeDescriptor(message.descriptor);
        break;
    case MessageType::AssignDevice:
        text += ": from " + Handle(message.sourceHandle);
        break;
    case MessageType::SetLEDs:
        text += ": " + Counted(message.leds.size(), "setting", "settings");
        for (size_t i = 0; i < message.leds.size(); ++i) {
            text += Printf("%s led %d = %d", i == 0 ? ":" : ",", static_cast<int>(message.leds[i].led),
                           static_cast<int>(message.leds[i].value));
        }
        break;
    case MessageType::ConnectDevice:
        text += message.connectFlag != 0 ? ": connect" : ": disconnect";
        break;
    case MessageType::ButtonEvent:
        text += Printf(": button %d %s", static_cast<int>(message.button),
                       message.pressed != 0 ? "pressed" : "released");
        break;
    default:
        break;
    }
    return text;
}

std::string RenderMessage(Direction sender, const uint8_t* data, size_t size) {
    std::string line = std::string(DirectionLabel(sender)) + "  ";
    ChannelMessage message;
    std::string error;
    if (DecodeMessage(sender, data, size, message, error)) {
        return line + DescribeMessage(message);
    }
    line += "malformed message (" + error + "):";
    const size_t shown = size < 32 ? size : 32;
    for (size_t i = 0; i < shown; ++i) {
        line += Printf(" %02x", data[i]);
    }
    if (shown < size) {
        line += " ...";
    }
    return line;
}

}  // namespace ServerProxy
