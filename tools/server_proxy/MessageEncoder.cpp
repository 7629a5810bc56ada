#include "MessageEncoder.h"

#include "WireFields.h"

namespace ServerProxy {

Bytes EncodeMessage(const ChannelMessage& message) {
    Bytes bytes;
    wire::Put32(bytes, message.code);
    wire::Put32(bytes, message.handle);
    switch (message.Type()) {
    case MessageType::GetConnectedDevicesReply:
        wire::Put32(bytes, static_cast<uint32_t>(message.devices.size()));
        for (const USBButtonDeviceDescriptor& d : message.devices) wire::PutDescriptor(bytes, d);
        break;
    case MessageType::DeviceConnected:
    case MessageType::DeviceDisconnected:
    case MessageType::InitDevice:
        wire::PutDescriptor(bytes, message.descriptor);
        break;
    case MessageType::AssignDevice:
        wire::Put32(bytes, message.sourceHandle);
        break;
    case MessageType::SetLEDs:
        wire::Put32(bytes, static_cast<uint32_t>(message.leds.size()));
        for (const LEDSetting& setting : message.leds) wire::PutLEDSetting(bytes, setting);
        break;
    case MessageType::ConnectDevice:
        wire::Put8(bytes, message.connectFlag);
        break;
    case MessageType::ButtonEvent:
        wire::Put32(bytes, static_cast<uint32_t>(message.button));
        wire::Put32(bytes, static_cast<uint32_t>(message.pressed));
        break;
    default:
        break;
    }
    return bytes;
}

namespace {
Bytes Header(MessageType type, ObjectHandle handle) {
    ChannelMessage message;
    message.code = static_cast<uint32_t>(type);
    message.handle = handle;
    return EncodeMessage(message);
}
}  // namespace

Bytes EncodeCreateManager(ObjectHandle manager) { return Header(MessageType::CreateManager, manager); }
Bytes EncodeDeleteManager(ObjectHandle manager) { return Header(MessageType::DeleteManager, manager); }
Bytes EncodeGetConnectedDevices(ObjectHandle manager) { return Header(MessageType::GetConnectedDevices, manager); }
Bytes EncodeCreateDevice(ObjectHandle device) { return Header(MessageType::CreateDevice, device); }
Bytes EncodeDeleteDevice(ObjectHandle device) { return Header(MessageType::DeleteDevice, device); }

Bytes EncodeAssignDevice(ObjectHandle target, ObjectHandle source) {
    ChannelMessage message;
    message.code = static_cast<uint32_t>(MessageType::AssignDevice);
    message.handle = target;
    message.sourceHandle = source;
    return EncodeMessage(message);
}

Bytes EncodeInitDevice(ObjectHandle device, const USBButtonDeviceDescriptor& descriptor) {
    ChannelMessage message;
    message.code = static_cast<uint32_t>(MessageType::InitDevice);
    message.handle = device;
    message.descriptor = descriptor;
    return EncodeMessage(message);
}

Bytes EncodeSetLEDs(ObjectHandle device, const std::vector<LEDSetting>& leds) {
    ChannelMessage message;
    message.code = static_cast<uint32_t>(MessageType::SetLEDs);
    message.handle = device;
    message.leds = leds;
    return EncodeMessage(message);
}

Bytes EncodeConnectDevice(ObjectHandle device, bool connect) {
    ChannelMessage message;
    message.code = static_cast<uint32_t>(MessageType::ConnectDevice);
    message.handle = device;
    message.connectFlag = connect ? 1 : 0;
    return EncodeMessage(message);
}

}  // namespace ServerProxy
