// Devices on the simulated bus of the simulation module, seen from the server's side.
#pragma once

#include <string>
#include <vector>

#include "DispatchSession.h"
#include "MessageDecoder.h"

namespace dispatchtest {

constexpr int32_t kPhilips = 0x0911;
constexpr int32_t kSpeechMikeIII = 0x0C1C;
constexpr int32_t kFootswitch = 0x091A;

// A fixture for tests that need the simulated bus; skips when the module has none.
class DeviceTest : public DispatchTest {
protected:
    void SetUp() override;
    int Plug(const char* model);
    std::string Path(int id);
    // A SpeechMike III button report: byte 9 and byte 8 carry the button bits.
    void Buttons(int id, int byte9, int byte8 = 0);
    std::vector<std::vector<int>> OutputReports(int id);  // and removes them from the bus
    // The descriptor list of a GetConnectedDevicesReply (fails the test on malformed bytes).
    std::vector<USBButtonDeviceDescriptor> Listed(const Bytes& reply);
    ServerProxy::ChannelMessage Decode(const Bytes& block);
    // Create, init with the descriptor, connect: the three commands after which a device reports.
    void OpenDevice(ObjectHandle handle, const USBButtonDeviceDescriptor& descriptor);
    // The listed descriptor of the interface id, through a temporary manager.
    USBButtonDeviceDescriptor DescriptorOf(int id);
};

// A ButtonEvent as the wire carries it.
Bytes ButtonEvent(ObjectHandle device, int32_t button, int32_t pressed);
// A descriptor in wire form, field by field.
Bytes DescriptorBytes(const USBButtonDeviceDescriptor& descriptor);

}  // namespace dispatchtest
