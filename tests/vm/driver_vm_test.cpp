// The shipping Linux driver on the kernel's HID stack: VDTOVUSB.DLL in the simulated ICA Client,
// uhid devices of the catalogue models played by this program. Runs in the VM with udevd
// (scripts/test-steps/vm.sh). Expected messages are written out byte by byte from the channel's
// message layout, the supported-device table, the decoding tables and the LED report layouts.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <linux/uhid.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "DriverSession.h"
#include "MessageEncoder.h"
#include "SessionUser.h"
#include "UhidDevice.h"

using namespace uhidplayer;
using namespace vmtest;
using namespace std::chrono_literals;
using ServerProxy::EncodeConnectDevice;
using ServerProxy::EncodeCreateDevice;
using ServerProxy::EncodeCreateManager;
using ServerProxy::EncodeDeleteDevice;
using ServerProxy::EncodeDeleteManager;
using ServerProxy::EncodeInitDevice;
using ServerProxy::EncodeSetLEDs;

namespace {

constexpr auto kWait = 20s;

// What the driver must list for each supported catalogue model: the table's name and usage type,
// the ids, and the report lengths as Windows counts them (report-id byte included). The version is
// 0: a uhid device does not sit on USB, so there is no bcdDevice to read. The listing leaves the
// product string empty, as the Windows probe does.
struct Expected {
    const char* key;
    const char* name;
    int32_t usageType, vendorID, productID, inputLength, outputLength;
};
const Expected kSupported[] = {
    {"SpeechMikeIPro", "Philips SpeechMike I Pro", 8, 0x0911, 0x2512, 3, 2},
    {"SpeechMike6264Slider", "Philips SpeechMike 6264 Slider", 8, 0x0911, 0x1878, 3, 2},
    {"SpeechMikeIIPro", "Philips SpeechMike II Pro", 9, 0x0911, 0x149A, 10, 10},
    {"SpeechMikeIII", "Philips SpeechMike III", 9, 0x0911, 0x0C1C, 10, 10},
    {"SpeechMikeProBarcode", "Philips SpeechMike Pro with Barcode Scanner", 9, 0x0911, 0x14A4, 10, 10},
    {"Footswitch", "Philips Footswitch", 3, 0x0911, 0x091A, 2, 0},
    {"FootswitchLFH0210", "Philips Footswitch LFH 0210/90B", 3, 0x0911, 0x1844, 2, 0},
    {"FootswitchLFH0210Old", "Philips Footswitch LFH 0210/90B-OLD", 3, 0x0911, 0x184C, 2, 0},
    {"SpeechMikeAir", "Philips SpeechMike Air", 9, 0x0911, 0x0BB8, 65, 65},
    {"FirestormGamepad", "Thrustmaster Firestorm Digital 3 Gamepad", 4, 0x07B5, 0x0213, 8, 0},
    {"SonicMicIIClassic", "Grundig Digta SonicMic II Classic", 9, 0x15D8, 0x0025, 9, 64},
};

const Expected& ExpectedFor(const std::string& key) {
    for (const Expected& e : kSupported) {
        if (key == e.key) return e;
    }
    throw std::runtime_error("no expectation for " + key);
}

Bytes ExpectedDescriptor(const Expected& e, const std::string& path, const std::string& name = "") {
    return DescriptorBytes(0, name.empty() ? e.name : name, path, e.usageType, e.vendorID, e.productID, 0, "",
                           e.inputLength, e.outputLength);
}

bool Supported(const std::string& key) {
    return std::any_of(std::begin(kSupported), std::end(kSupported), [&](const Expected& e) { return key == e.key; });
}

// Plays interface `index` of a model and waits for its hidraw node, and for a supported model until
// udevd gave the node to the session user.
struct Played {
    std::unique_ptr<UhidDevice> device;
    std::string node;
};
Played Play(const std::string& key, size_t index = 0) {
    Played p;
    p.device = std::make_unique<UhidDevice>(*FindUhidModel(key), index);
    p.node = p.device->WaitForNode(10s);
    EXPECT_FALSE(p.node.empty()) << key;
    if (Supported(key)) EXPECT_TRUE(WaitUntilUsable(p.node, kWait)) << key << ": " << p.node;
    return p;
}


class DriverVm : public ::testing::Test {
protected:
    static constexpr ObjectHandle kManager = 0x00C0FFEE;

    void SetUp() override {
        ASSERT_TRUE(S().Started());
        ASSERT_TRUE(S().Command(EncodeCreateManager(kManager)));
    }
    void TearDown() override { EXPECT_TRUE(S().Command(EncodeDeleteManager(kManager))); }

    static DriverSession& S() { return DriverSession::Get(); }

    // CreateDevice, InitDevice with the listed descriptor of `node`, ConnectDevice; waits for the
    // replies and for the driver's descriptor on the node.
    void Connect(ObjectHandle handle, const std::string& node) {
        USBButtonDeviceDescriptor descriptor;
        bool found = false;
        for (const USBButtonDeviceDescriptor& d : S().List(kManager)) {
            if (d.hidInfo.devicePath == node) {
                descriptor = d;
                found = true;
            }
        }
        ASSERT_TRUE(found) << node << " is not listed";
        ASSERT_TRUE(S().Command(EncodeCreateDevice(handle)));
        ASSERT_TRUE(S().Command(EncodeInitDevice(handle, descriptor)));
        ASSERT_TRUE(S().Command(EncodeConnectDevice(handle, true)));
        ASSERT_TRUE(WaitUntil([&] { return OpenOn(node) > 0; }, kWait)) << "the driver did not open " << node;
    }
    void Release(ObjectHandle handle) {
        EXPECT_TRUE(S().Command(EncodeConnectDevice(handle, false)));
        EXPECT_TRUE(S().Command(EncodeDeleteDevice(handle)));
    }

    // Sends one report and returns the ButtonEvent blocks that follow, once `count` have come.
    std::vector<Bytes> EventsOf(UhidDevice& device, const Bytes& report, size_t count, ObjectHandle handle) {
        const size_t from = S().SentCount();
        device.SendReport(report);
        std::vector<Bytes> events;
        WaitUntil(
            [&] {
                events.clear();
                for (const Bytes& b : S().BlocksFrom(from)) {
                    if (b.size() >= 8 && b[0] == 21 && b[4] == (handle & 0xFF)) events.push_back(b);
                }
                return events.size() >= count;
            },
            kWait);
        return events;
    }
};

TEST_F(DriverVm, TheShippingModuleExportsLoadAndNoSimulatedBusOrPump) {
    void* module = dlopen(DriverPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr) << DriverPath();
    EXPECT_NE(dlsym(module, "Load"), nullptr);
    // Arrivals must reach the driver through its own poll entry, not through a host's pump call.
    EXPECT_EQ(dlsym(module, "TovPlatform_PumpMessages"), nullptr);
    EXPECT_EQ(dlsym(module, "TovSim_Plug"), nullptr);
    dlclose(module);
}

TEST_F(DriverVm, ListsExactlyTheSupportedInterfacesWithTheirDescriptors) {
    std::vector<Played> played;
    std::map<std::string, std::string> keyOfNode;
    for (const UhidModel& model : UhidModels()) {
        for (size_t i = 0; i < model.interfaces.size(); ++i) {
            played.push_back(Play(model.key, i));
            if (model.supported && i == 0) keyOfNode[played.back().node] = model.key;
        }
    }
    // A second II Pro: the one with the later path is listed with the suffix " (2)".
    played.push_back(Play("SpeechMikeIIPro"));
    const std::string second = played.back().node;
    const std::string first = [&] {
        for (auto& [node, key] : keyOfNode) if (key == "SpeechMikeIIPro") return node;
        return std::string();
    }();
    keyOfNode[second] = "SpeechMikeIIPro";

    // The listing is sorted by path; build the expected reply in that order.
    Bytes expected = {6, 0, 0, 0, 0xEE, 0xFF, 0xC0, 0x00};
    const uint32_t count = static_cast<uint32_t>(keyOfNode.size());
    for (int i = 0; i < 4; ++i) expected.push_back(static_cast<uint8_t>(count >> (8 * i)));
    const std::string later = std::max(first, second);
    for (const auto& [node, key] : keyOfNode) {  // std::map: sorted by path as plain strings
        const Expected& e = ExpectedFor(key);
        const std::string name = node == later ? std::string(e.name) + " (2)" : e.name;
        const Bytes d = ExpectedDescriptor(e, node, name);
        expected.insert(expected.end(), d.begin(), d.end());
    }
    EXPECT_EQ(count, 12u);

    const size_t from = S().SentCount();
    ASSERT_TRUE(S().Command(ServerProxy::EncodeGetConnectedDevices(kManager)));
    Bytes reply;
    for (const Bytes& b : S().BlocksFrom(from)) {
        if (b.size() >= 4 && b[0] == 6) reply = b;
    }
    EXPECT_EQ(reply, expected);
    if (reply != expected) {
        for (const USBButtonDeviceDescriptor& d : S().List(kManager))
            ADD_FAILURE() << "listed: " << d.name << " " << d.hidInfo.devicePath << " usage " << d.hidInfo.usageType
                          << " version " << d.hidInfo.versionNumber << " product '" << d.hidInfo.productString
                          << "' in " << d.hidInfo.inputReportByteLength << " out " << d.hidInfo.outputReportByteLength;
    }
}

// One device of each product group: a press report and a release report, with and without
// numbered reports (the LFH 0210 and the SonicMic number theirs).
TEST_F(DriverVm, ButtonReportsOfEveryProductGroupBecomeButtonEvents) {
    struct Case {
        const char* key;
        Bytes press;
        std::vector<std::pair<int32_t, int32_t>> pressEvents;
        Bytes release;
        std::vector<std::pair<int32_t, int32_t>> releaseEvents;
    };
    std::vector<Case> cases = {
        // Group A: byte 1 bits 0x20 -> 3, 0x08 -> 2 (table order).
        {"SpeechMikeIPro", {0x00, 0x28, 0x00}, {{3, 1}, {2, 1}}, {0x00, 0x00, 0x00}, {{3, 0}, {2, 0}}},
        // Group B: byte 1 bit 0x80 marks a button report; byte 9 = 0x81 -> [3, 1].
        {"SpeechMikeIII", {0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0x81}, {{3, 1}, {1, 1}},
         {0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0x00}, {{3, 0}, {1, 0}}},
        // Group D: byte 1 = 0x05 -> [7, 5].
        {"Footswitch", {0x00, 0x05}, {{7, 1}, {5, 1}}, {0x00, 0x00}, {{7, 0}, {5, 0}}},
        // Group E, numbered (id 1): byte 1 = 0x07 -> [5, 7, 6].
        {"FootswitchLFH0210", {0x01, 0x07}, {{5, 1}, {7, 1}, {6, 1}}, {0x01, 0x00}, {{5, 0}, {7, 0}, {6, 0}}},
        // Group F: bytes 1 and 2 at 0x80, byte 3 = 0x11 -> [11, 3].
        {"FirestormGamepad", {0x00, 0x80, 0x80, 0x11, 0, 0, 0, 0}, {{11, 1}, {3, 1}},
         {0x00, 0x80, 0x80, 0x00, 0, 0, 0, 0}, {{11, 0}, {3, 0}}},
        // Group G, numbered (id 1): byte 7 = 0x20 -> [2].
        {"SonicMicIIClassic", {0x01, 0x01, 0, 0, 0, 0, 0, 0x20, 0x00}, {{2, 1}},
         {0x01, 0x01, 0, 0, 0, 0, 0, 0x00, 0x00}, {{2, 0}}},
    };
    // Group C: 65 bytes, byte 1 bit 0x80, byte 3 = 0x20 -> 2, byte 2 = 0x02 -> 11.
    Bytes airPress(65, 0), airRelease(65, 0);
    airPress[1] = airRelease[1] = 0x80;
    airPress[3] = 0x20;
    airPress[2] = 0x02;
    cases.push_back({"SpeechMikeAir", airPress, {{2, 1}, {11, 1}}, airRelease, {{2, 0}, {11, 0}}});

    // Every device stays plugged until the end, so that none gets a node number an earlier one had
    // (AModelPluggedOnAReusedNodeIsListedAsItself tests reuse on its own).
    std::vector<Played> plugged;
    ObjectHandle handle = 0x2000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        plugged.push_back(Play(c.key));
        Played& p = plugged.back();
        ++handle;
        ASSERT_NO_FATAL_FAILURE(Connect(handle, p.node));
        std::vector<Bytes> expected;
        for (auto [code, pressed] : c.pressEvents) expected.push_back(ButtonEventBytes(handle, code, pressed));
        EXPECT_EQ(EventsOf(*p.device, c.press, expected.size(), handle), expected);
        expected.clear();
        for (auto [code, pressed] : c.releaseEvents) expected.push_back(ButtonEventBytes(handle, code, pressed));
        EXPECT_EQ(EventsOf(*p.device, c.release, expected.size(), handle), expected);
        Release(handle);
    }
}

TEST_F(DriverVm, ReportsThatAreNotButtonReportsChangeNothing) {
    Played p = Play("FirestormGamepad");
    const ObjectHandle handle = 0x2100;
    ASSERT_NO_FATAL_FAILURE(Connect(handle, p.node));
    const size_t from = S().SentCount();
    // Byte 1 below 0x80: dropped whole, whatever its buttons; then a real press of 12 (0x02).
    p.device->SendReport({0x00, 0x7F, 0x80, 0xFF, 0, 0, 0, 0});
    const std::vector<Bytes> events = EventsOf(*p.device, {0x00, 0x80, 0x80, 0x02, 0, 0, 0, 0}, 1, handle);
    EXPECT_EQ(events, (std::vector<Bytes>{ButtonEventBytes(handle, 12, 1)}));
    size_t buttonEvents = 0;
    for (const Bytes& b : S().BlocksFrom(from)) buttonEvents += b[0] == 21;
    EXPECT_EQ(buttonEvents, 1u);
    Release(handle);
}

TEST_F(DriverVm, SetLEDsOutputReportsArriveAtTheDeviceByteForByte) {
    struct Case {
        const char* key;
        std::vector<LEDSetting> leds;
        Bytes report;
    };
    Bytes air(65, 0), sonic(64, 0);
    air[1] = 0x02;
    air[2] = 0x04;   // led 2 value 1: byte 2 |= 1 << 2
    air[3] = 0x03;   // led 6 value 3: byte 3 |= 3
    sonic[0] = 0x01;
    sonic[1] = 0x04;
    sonic[2] = 0x02;
    sonic[3] = 0x02;  // led 3 value 3
    const std::vector<Case> cases = {
        // Group A: 00 3F, led 11 value 1 clears 0x01 | 0x04 | 0x10.
        {"SpeechMikeIPro", {{11, 1}}, {0x00, 0x2A}},
        // Group B: byte 1 = 0x02; led 0 value 1 -> byte 7 |= 0x40; led 9 value 2 -> byte 9 |= 0x02.
        {"SpeechMikeIII", {{0, 1}, {9, 2}}, {0x00, 0x02, 0, 0, 0, 0, 0, 0x40, 0x00, 0x02}},
        // Group B, led 11 value 2: bytes 7 to 9 the pattern 0xAA.
        {"SpeechMikeProBarcode", {{11, 2}}, {0x00, 0x02, 0, 0, 0, 0, 0, 0xAA, 0xAA, 0xAA}},
        {"SpeechMikeAir", {{2, 1}, {6, 3}}, air},
        {"SonicMicIIClassic", {{3, 3}}, sonic},
    };
    std::vector<Played> plugged;
    ObjectHandle handle = 0x2200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        plugged.push_back(Play(c.key));
        Played& p = plugged.back();
        ++handle;
        ASSERT_NO_FATAL_FAILURE(Connect(handle, p.node));
        ASSERT_TRUE(S().Command(EncodeSetLEDs(handle, c.leds)));
        OutputReport out;
        ASSERT_TRUE(p.device->TakeOutput(out, kWait));
        EXPECT_EQ(out.bytes, c.report);
        EXPECT_EQ(out.reportType, UHID_OUTPUT_REPORT);
        Release(handle);
    }
}

TEST_F(DriverVm, PluggingAndUnpluggingSupportedDevicesBecomeConnectedAndDisconnectedEvents) {
    const size_t from = S().SentCount();
    // An unsupported mouse and the hand-set's keyboard and mouse come first: none may be announced.
    Played mouse = Play("PlainMouse");
    Played keyboard = Play("SpeechMikeIII", 1);
    Played handsetMouse = Play("SpeechMikeIII", 2);
    Played handset = Play("SpeechMikeIII", 0);
    Played foot = Play("FootswitchLFH0210");
    const Bytes handsetD = ExpectedDescriptor(ExpectedFor("SpeechMikeIII"), handset.node);
    const Bytes footD = ExpectedDescriptor(ExpectedFor("FootswitchLFH0210"), foot.node);
    // udevd handles the events of different devices in parallel workers, so it may announce them in
    // another order than they were plugged: the two announcements are compared in sorted order.
    auto sorted = [](std::vector<Bytes> blocks) {
        std::sort(blocks.begin(), blocks.end());
        return blocks;
    };
    ASSERT_TRUE(WaitUntil([&] { return S().BlocksFrom(from).size() >= 2; }, kWait));
    EXPECT_EQ(sorted(S().BlocksFrom(from)), sorted({ConnectEventBytes(7, kManager, handsetD),
                                                    ConnectEventBytes(7, kManager, footD)}));

    const size_t removals = S().SentCount();
    mouse.device->Destroy();
    keyboard.device->Destroy();
    handset.device->Destroy();
    handsetMouse.device->Destroy();
    foot.device->Destroy();
    ASSERT_TRUE(WaitUntil([&] { return S().BlocksFrom(removals).size() >= 2; }, kWait));
    EXPECT_EQ(sorted(S().BlocksFrom(removals)), sorted({ConnectEventBytes(8, kManager, handsetD),
                                                        ConnectEventBytes(8, kManager, footD)}));
    // udevd runs in the VM, so these came through libudev's monitor: the driver loaded the VM's
    // libudev (this program does not link it).
    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    ASSERT_NE(maps, nullptr);
    bool libudev = false;
    char line[4096];
    while (!libudev && std::fgets(line, sizeof line, maps)) libudev = std::strstr(line, "/libudev.so.1") != nullptr;
    std::fclose(maps);
    EXPECT_TRUE(libudev) << "libudev.so.1 is not mapped into the process";
}

TEST_F(DriverVm, ADeviceDestroyedDuringAReadLeavesNoThreadOrDescriptorBehind) {
    const int descriptorsBefore = Descriptors();
    const size_t plugged = S().SentCount();
    Played p = Play("SpeechMikeIIPro");
    // The manager's probe thread starts with its first probe and lives as long as the manager: the
    // threads are counted once the device has been announced, less the played device's own thread
    // (its uhid reader, which its Destroy ends).
    ASSERT_TRUE(S().WaitForMessage(plugged, [&](const ChannelMessage& m) {
        return m.code == 7 && m.descriptor.hidInfo.devicePath == p.node;
    }, kWait));
    const int threadsBefore = Threads() - 1;
    const ObjectHandle handle = 0x2300;
    ASSERT_NO_FATAL_FAILURE(Connect(handle, p.node));
    // The reader is in its read: a button report proves it.
    ASSERT_EQ(EventsOf(*p.device, {0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0x20}, 1, handle),
              (std::vector<Bytes>{ButtonEventBytes(handle, 2, 1)}));
    const int threadsConnected = Threads();
    EXPECT_GT(threadsConnected, threadsBefore);
    const size_t from = S().SentCount();
    p.device->Destroy();
    EXPECT_TRUE(S().WaitForMessage(from, [](const ChannelMessage& m) { return m.code == 8; }, kWait));
    // The reader thread ends by itself; the device stays open for the server until it disconnects.
    EXPECT_TRUE(WaitUntil([&] { return Threads() == threadsBefore; }, kWait))
        << Threads() << " threads, " << threadsBefore << " before the device";
    Release(handle);
    EXPECT_TRUE(WaitUntil([&] { return Descriptors() == descriptorsBefore; }, kWait))
        << Descriptors() << " descriptors, " << descriptorsBefore << " before the device";
    EXPECT_EQ(OpenOn(p.node), 0);
}

TEST_F(DriverVm, ConnectAndDisconnectCyclesLeaveNoThreadOrDescriptorBehind) {
    const char* env = std::getenv("TOV_VM_CYCLES");
    const int cycles = env && std::atoi(env) > 0 ? std::atoi(env) : 200;
    const ObjectHandle handle = 0x2400;
    ASSERT_TRUE(S().Command(EncodeCreateDevice(handle)));
    int threadsBefore = 0, descriptorsBefore = 0;
    // Each cycle: plug, DeviceConnected, InitDevice and ConnectDevice with the announced descriptor
    // (the reader starts), unplug during the read, DeviceDisconnected. The first cycle is a warm-up
    // for whatever the driver sets up once; the counts are taken after it.
    for (int i = 0; i <= cycles; ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        const size_t from = S().SentCount();
        const auto plugAt = std::chrono::steady_clock::now();
        Played p = Play(i % 2 ? "SpeechMikeAir" : "FootswitchLFH0210Old");
        size_t at = 0;
        ASSERT_TRUE(S().WaitForMessage(from, [](const ChannelMessage& m) { return m.code == 7; }, kWait, &at));
        const ChannelMessage connected = S().SentFrom(at).front();
        ASSERT_EQ(connected.descriptor.hidInfo.devicePath, p.node);
        // The manager's probe thread runs from the first arrival on, the played device's own thread
        // until its Destroy; the reader not yet.
        if (i == 0) threadsBefore = Threads() - 1;
        S().Sim().QueueServerBlock(EncodeInitDevice(handle, connected.descriptor));
        S().Sim().QueueServerBlock(EncodeConnectDevice(handle, true));
        ASSERT_TRUE(WaitUntil([&] { return OpenOn(p.node) > 0; }, kWait));
        const auto opened = std::chrono::steady_clock::now();
        p.device->Destroy();
        ASSERT_TRUE(S().WaitForMessage(at, [](const ChannelMessage& m) { return m.code == 8; }, kWait));
        if (i < 3) std::printf("cycle %d: plug to open %.0f ms, unplug to DeviceDisconnected %.0f ms\n", i,
                               std::chrono::duration<double, std::milli>(opened - plugAt).count(),
                               std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - opened).count());
        if (i == 0) {
            ASSERT_TRUE(S().Command(EncodeConnectDevice(handle, false)));
            // The reader lets go of the opening's descriptors before its thread ends.
            ASSERT_TRUE(WaitUntil([&] { return Threads() == threadsBefore; }, kWait));
            descriptorsBefore = Descriptors();
        }
    }
    ASSERT_TRUE(S().Command(EncodeConnectDevice(handle, false)));
    EXPECT_TRUE(WaitUntil([&] { return Threads() == threadsBefore; }, kWait))
        << Threads() << " threads after " << cycles << " cycles, " << threadsBefore << " before";
    EXPECT_TRUE(WaitUntil([&] { return Descriptors() == descriptorsBefore; }, kWait))
        << Descriptors() << " descriptors after " << cycles << " cycles, " << descriptorsBefore << " before";
    EXPECT_TRUE(S().Command(EncodeDeleteDevice(handle)));
}

// hidraw numbers are reused: after one device goes, the next one may get its node. A different
// model on the same node must be listed and announced as itself (its name, ids and report lengths,
// so its own decoding and LED report), not as the model that had the node before.
TEST_F(DriverVm, AModelPluggedOnAReusedNodeIsListedAsItself) {
    std::string firstNode;
    {
        Played first = Play("SpeechMikeIPro");
        firstNode = first.node;
        ASSERT_EQ(S().List(kManager).size(), 1u);
        const size_t from = S().SentCount();
        first.device->Destroy();
        ASSERT_TRUE(S().WaitForMessage(from, [](const ChannelMessage& m) { return m.code == 8; }, kWait));
    }
    const size_t from = S().SentCount();
    Played second = Play("SpeechMikeIII");
    ASSERT_EQ(second.node, firstNode) << "the kernel gave the second device another node";
    ASSERT_TRUE(S().WaitForMessage(from, [](const ChannelMessage& m) { return m.code == 7; }, kWait));
    EXPECT_EQ(S().BlocksFrom(from).front(),
              ConnectEventBytes(7, kManager, ExpectedDescriptor(ExpectedFor("SpeechMikeIII"), second.node)));
    const std::vector<USBButtonDeviceDescriptor> listed = S().List(kManager);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "Philips SpeechMike III");
    EXPECT_EQ(listed[0].hidInfo.productID, 0x0C1C);
}

}  // namespace
