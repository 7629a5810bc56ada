#include "MessageEncoder.h"

#include "MemoryStream.h"
#include "RecordCodec.h"
#include "StreamCodec.h"

namespace ServerProxy {

Bytes EncodeMessage(const ChannelMessage& message) {
    CMemoryStream stream;
    WriteUInt32(stream, message.code);
    WriteHandle(stream, message.handle);
    switch (message.Type()) {
    case MessageType::GetConnectedDevicesReply:
        WriteDescriptorList(stream, message.devices);
        break;
    case MessageType::DeviceConnected:
    case MessageType::DeviceDisconnected:
    case MessageType::InitDevice:
        WriteDeviceDescriptor(stream, message.descriptor);
        break;
    case MessageType::AssignDevice:
        WriteHandle(stream, message.sourceHandle);
        break;
    case MessageType::SetLEDs:
        WriteLEDSettingList(stream, message.leds);
        break;
    case MessageType::ConnectDevice:
        WriteUInt8(stream, message.connectFlag);
        break;
    case MessageType::ButtonEvent:
        WriteInt32(stream, message.button);
        WriteInt32(stream, message.pressed);
        break;
    default:
        break;
    }
    const uint8_t* const data = stream.GetData();
    return Bytes(data, data + stream.GetSize());
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
