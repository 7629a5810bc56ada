// Fuzz target: server blocks of any content into the dispatcher's OnDataReceived.
//
// Input: byte 0 chooses faults for this run (bits 0-5: the simulated bus refuses the next open,
// query, write open, preparsed data, capabilities or enumeration; bit 6: the foot switch is unplugged
// and plugged again; bit 7: every connected hand-set gets a button report after the blocks). The rest
// is a sequence of blocks, each a 16-bit little-endian length and that many bytes (a length beyond the
// input takes what is left). Every block goes to OnDataReceived as the channel client would hand it
// over. After each input the objects the blocks created are deleted again through DeleteDevice and
// DeleteManager, and the send queue is emptied, so every input starts from the same registry.
//
// The bus holds a SpeechMike III (with its keyboard and mouse interfaces), a foot switch, a
// SonicMic and an unsupported mouse. Their paths are printed at start, for writing seed inputs.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <list>
#include <vector>

#include "CitrixClientData.h"
#include "CitrixUSBButtonDeviceManagerClient.h"
#include "MyCitrixMCUSBButtonDevice.h"
#include "MyCitrixMCUSBButtonDeviceManager.h"
#include "TovSimBus.h"
#include "USBButtonDeviceManager.h"

namespace {

struct Bus {
    int handset = 0;
    int footswitch = 0;
    int sonic = 0;
    int mouse = 0;
};

CCitrixUSBButtonDeviceManagerClient& Dispatcher() {
    // Bound to the channel once per process, as the driver module's static object is.
    static CCitrixUSBButtonDeviceManagerClient* dispatcher = new CCitrixUSBButtonDeviceManagerClient();
    return *dispatcher;
}

Bus& Devices() {
    static Bus bus;
    return bus;
}

void PrintPath(const char* what, int id) {
    char path[512] = {0};
    if (TovSim_DevicePath(id, path, sizeof path) > 0) std::fprintf(stderr, "dispatch_fuzzer: %s %s\n", what, path);
}

void Deliver(const uint8_t* data, size_t size) {
    Dispatcher().OnDataReceived(data, static_cast<uint16_t>(size));
}

void DeleteEverything() {
    CCitrixUSBButtonDeviceManagerClient& dispatcher = Dispatcher();
    // The front object is always the first one with its handle, so its delete finds it.
    while (!dispatcher.Devices().empty()) {
        const ObjectHandle handle = dispatcher.Devices().front()->serverHandle.load();
        const uint8_t block[8] = {11, 0, 0, 0, uint8_t(handle), uint8_t(handle >> 8), uint8_t(handle >> 16),
                                  uint8_t(handle >> 24)};
        Deliver(block, sizeof block);
    }
    while (!dispatcher.Managers().empty()) {
        const ObjectHandle handle = dispatcher.Managers().front()->serverHandle.load();
        const uint8_t block[8] = {3, 0, 0, 0, uint8_t(handle), uint8_t(handle >> 8), uint8_t(handle >> 16),
                                  uint8_t(handle >> 24)};
        Deliver(block, sizeof block);
    }
}

// Uses up the faults of this input that no open or enumeration took, so the next input starts from
// the same bus: enumerations take the query, preparsed-data, capabilities and enumeration faults,
// connecting the hand-set the read and write open faults.
void ConsumeFaults() {
    for (int round = 0; round < 4; ++round) {
        try {
            std::list<USBButtonDeviceDescriptor> listed;
            CUSBButtonDeviceManager manager;
            manager.GetConnectedDevices(listed);
            for (const USBButtonDeviceDescriptor& descriptor : listed) {
                CMyCitrixMCUSBButtonDevice device;  // unbound: sends nothing
                device.Init(descriptor);
                try {
                    device.Connect();
                } catch (...) {
                }
                device.Disconnect();
            }
        } catch (...) {
        }
    }
}

void DrainSendQueue() {
    CCitrixClientData& channel = CCitrixClientData::Instance();
    while (channel.Front() != nullptr) channel.Pop();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TovSim_RecordMessageBoxes(1);
    Bus& bus = Devices();
    bus.handset = TovSim_Plug("SpeechMikeIII");
    bus.footswitch = TovSim_Plug("Footswitch");
    bus.sonic = TovSim_Plug("SonicMicIIClassic");
    bus.mouse = TovSim_Plug("PlainMouse");
    PrintPath("hand-set", bus.handset);
    PrintPath("foot switch", bus.footswitch);
    PrintPath("SonicMic", bus.sonic);
    Dispatcher();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Bus& bus = Devices();
    const uint8_t faults = data[0];
    if (faults & 0x3F) TovSim_FailNextOpen(0, faults & 0x3Fu);
    size_t at = 1;
    while (at < size) {
        size_t length = data[at];
        if (at + 1 < size) length |= static_cast<size_t>(data[at + 1]) << 8;
        at += 2;
        if (at > size) at = size;
        if (length > size - at) length = size - at;
        Deliver(data + at, length);
        at += length;
        TovPlatform_PumpMessages();  // arrivals and removals reach the managers on this thread
    }
    if (faults & 0x40) {
        TovSim_Unplug(bus.footswitch);
        bus.footswitch = TovSim_Plug("Footswitch");
        TovPlatform_PumpMessages();
    }
    if (faults & 0x80) {
        const uint8_t report[10] = {0, 0x80, 0, 0, 0, 0, 0, 0, data[size - 1], data[size / 2]};
        TovSim_SendInputReport(bus.handset, report, sizeof report);
    }
    DeleteEverything();
    TovPlatform_PumpMessages();
    DrainSendQueue();
    // Faults that no open used up must not leak into the next input.
    if (faults & 0x3F) ConsumeFaults();
    TovSim_ClearMessageBoxes();
    return 0;
}
