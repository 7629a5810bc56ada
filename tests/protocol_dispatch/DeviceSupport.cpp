#include "DeviceSupport.h"

#include "MessageEncoder.h"
#include "WireFields.h"

namespace dispatchtest {

void DeviceTest::SetUp() {
    ASSERT_TRUE(S().Bus().Complete()) << "the module misses exports of the simulated bus";
    DispatchTest::SetUp();
}

int DeviceTest::Plug(const char* model) {
    const int id = S().Bus().Plug(model);
    EXPECT_NE(id, 0) << model;
    return id;
}

std::string DeviceTest::Path(int id) {
    char path[512] = {0};
    EXPECT_GT(S().Bus().DevicePath(id, path, sizeof path), 0);
    return path;
}

void DeviceTest::Buttons(int id, int byte9, int byte8) {
    std::vector<uint8_t> report(10, 0);
    report[1] = 0x80;
    report[8] = static_cast<uint8_t>(byte8);
    report[9] = static_cast<uint8_t>(byte9);
    EXPECT_GT(S().Bus().SendInputReport(id, report.data(), static_cast<int>(report.size())), 0);
}

std::vector<std::vector<int>> DeviceTest::OutputReports(int id) {
    std::vector<std::vector<int>> reports;
    uint8_t buffer[256];
    for (;;) {
        const int length = S().Bus().ReadOutputReport(id, buffer, sizeof buffer);
        if (length <= 0) return reports;
        reports.emplace_back(buffer, buffer + length);
    }
}

ServerProxy::ChannelMessage DeviceTest::Decode(const Bytes& block) {
    ServerProxy::ChannelMessage message;
    std::string error;
    EXPECT_TRUE(ServerProxy::DecodeClientMessage(block, message, error)) << error;
    return message;
}

std::vector<USBButtonDeviceDescriptor> DeviceTest::Listed(const Bytes& reply) {
    ServerProxy::ChannelMessage message = Decode(reply);
    EXPECT_EQ(message.code, static_cast<uint32_t>(MessageType::GetConnectedDevicesReply));
    return message.devices;
}

void DeviceTest::OpenDevice(ObjectHandle handle, const USBButtonDeviceDescriptor& descriptor) {
    CreateDevice(handle);
    EXPECT_EQ(S().Command(ServerProxy::EncodeInitDevice(handle, descriptor)),
              Reply(MessageType::InitDeviceReply, handle));
    EXPECT_EQ(S().Command(ServerProxy::EncodeConnectDevice(handle, true)),
              Reply(MessageType::ConnectDeviceReply, handle));
}

USBButtonDeviceDescriptor DeviceTest::DescriptorOf(int id) {
    constexpr ObjectHandle kLister = 0x5EE5EE;
    CreateManager(kLister);
    std::vector<USBButtonDeviceDescriptor> listed =
        Listed(S().Command(ServerProxy::EncodeGetConnectedDevices(kLister)));
    const std::string path = Path(id);
    for (const USBButtonDeviceDescriptor& descriptor : listed) {
        if (descriptor.hidInfo.devicePath == path) return descriptor;
    }
    ADD_FAILURE() << "not listed: " << path;
    return USBButtonDeviceDescriptor();
}

Bytes ButtonEvent(ObjectHandle device, int32_t button, int32_t pressed) {
    Bytes bytes = Header(21, device);
    Put32(bytes, static_cast<uint32_t>(button));
    Put32(bytes, static_cast<uint32_t>(pressed));
    return bytes;
}

Bytes DescriptorBytes(const USBButtonDeviceDescriptor& d) {
    Bytes bytes;
    ServerProxy::wire::PutDescriptor(bytes, d);
    return bytes;
}

}  // namespace dispatchtest
