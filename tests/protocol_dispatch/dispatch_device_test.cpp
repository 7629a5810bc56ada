// Devices on the simulated bus, through the simulation build of the driver: listing, the three
// commands after which a device reports, button events, LEDs, arrivals and removals, and the
// device-model failures that end a command without a reply.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "DeviceSupport.h"
#include "MessageEncoder.h"

using namespace dispatchtest;
using namespace ServerProxy;

namespace {

constexpr ObjectHandle kManager = 0x00011000;
constexpr ObjectHandle kDevice = 0x00022000;
constexpr ObjectHandle kSecond = 0x00033000;

using Traces = std::vector<Trace>;
using Reports = std::vector<std::vector<int>>;

std::string H(ObjectHandle handle) { return HandleText(handle); }

bool Contains(const Traces& traces, const Trace& line) {
    return std::find(traces.begin(), traces.end(), line) != traces.end();
}

const std::vector<int> kFirstLEDOn = {0x00, 0x02, 0, 0, 0, 0, 0, 0x40, 0x00, 0x00};

// The wire bytes of a listed or announced descriptor, from the values the table and the bus's
// catalogue give the model (id 0; the probe leaves the product string empty).
Bytes Described(const std::string& name, const std::string& path, int32_t usage, int32_t product, int32_t version,
                int32_t inLength, int32_t outLength) {
    USBButtonDeviceDescriptor d;
    d.name = name;
    d.hidInfo.devicePath = path;
    d.hidInfo.usageType = usage;
    d.hidInfo.vendorID = 0x0911;
    d.hidInfo.productID = product;
    d.hidInfo.versionNumber = version;
    d.hidInfo.inputReportByteLength = inLength;
    d.hidInfo.outputReportByteLength = outLength;
    return DescriptorBytes(d);
}
Bytes SpeechMikeIII(const std::string& path) {
    return Described("Philips SpeechMike III", path, 9, 0x0C1C, 0x0300, 10, 10);
}

}  // namespace

// The conversation of a dictation session: list, open the hand-set, buttons, LEDs, close.
TEST_F(DeviceTest, TypicalSessionIsAnsweredByteForByte) {
    const int mike = Plug("SpeechMikeIII");
    const int foot = Plug("Footswitch");
    CreateManager(kManager);
    const Bytes reply = S().Command(EncodeGetConnectedDevices(kManager));
    EXPECT_EQ(S().Traces(), (Traces{Info("Getting connected devices for " + H(kManager))}));
    std::vector<USBButtonDeviceDescriptor> listed = Listed(reply);
    ASSERT_EQ(listed.size(), 2u);  // the hand-set's keyboard and mouse interfaces are not listed
    std::vector<std::string> paths = {Path(mike), Path(foot)};
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(listed[0].hidInfo.devicePath, paths[0]);
    EXPECT_EQ(listed[1].hidInfo.devicePath, paths[1]);
    Bytes expected = Header(6, kManager);
    Put32(expected, 2);
    for (const std::string& path : paths) {
        expected = Join(expected, path == Path(mike) ? SpeechMikeIII(path)
                                                     : Described("Philips Footswitch", path, 3, 0x091A, 0x0100, 2, 0));
    }
    EXPECT_EQ(reply, expected);

    const USBButtonDeviceDescriptor* handset = nullptr;
    for (const USBButtonDeviceDescriptor& d : listed) {
        EXPECT_EQ(d.id, 0);
        if (d.hidInfo.devicePath == Path(mike)) handset = &d;
    }
    ASSERT_NE(handset, nullptr);
    EXPECT_EQ(handset->name, "Philips SpeechMike III");
    EXPECT_EQ(handset->hidInfo.vendorID, kPhilips);
    EXPECT_EQ(handset->hidInfo.productID, kSpeechMikeIII);
    EXPECT_EQ(handset->hidInfo.inputReportByteLength, 10);
    EXPECT_EQ(handset->hidInfo.outputReportByteLength, 10);

    OpenDevice(kDevice, *handset);
    EXPECT_EQ(S().Traces(), (Traces{Info("Connect device " + H(kDevice))}));

    S().Mark();
    Buttons(mike, 0x01);  // button 3 down
    Buttons(mike, 0x00);  // and up
    EXPECT_EQ(S().Sent(2), (std::vector<Bytes>{
                               {0x15, 0, 0, 0, 0x00, 0x20, 0x02, 0x00, 0x03, 0, 0, 0, 0x01, 0, 0, 0},
                               {0x15, 0, 0, 0, 0x00, 0x20, 0x02, 0x00, 0x03, 0, 0, 0, 0x00, 0, 0, 0}}));
    EXPECT_EQ(S().Traces(), (Traces{Info("On button pressed 3, 1"), Info("On button pressed 3, 0")}));

    EXPECT_EQ(S().Command(EncodeSetLEDs(kDevice, {{0, 1}})), Reply(MessageType::SetLEDsReply, kDevice));
    EXPECT_EQ(S().Traces(), (Traces{Info("SetLEDs with device " + H(kDevice))}));
    EXPECT_EQ(OutputReports(mike), Reports{kFirstLEDOn});

    EXPECT_EQ(S().Command(EncodeConnectDevice(kDevice, false)), Reply(MessageType::ConnectDeviceReply, kDevice));
    EXPECT_EQ(S().Bus().ReaderCount(mike), 0);
}

TEST_F(DeviceTest, ReleasesOfAReportComeBeforeItsPresses) {
    const int mike = Plug("SpeechMikeIII");
    OpenDevice(kDevice, DescriptorOf(mike));
    S().Mark();
    Buttons(mike, 0x11);  // 3 and 5 down
    Buttons(mike, 0x30);  // 5 held, 3 up, 2 down
    Buttons(mike, 0x00);
    EXPECT_EQ(S().Sent(6), (std::vector<Bytes>{ButtonEvent(kDevice, 3, 1), ButtonEvent(kDevice, 5, 1),
                                               ButtonEvent(kDevice, 3, 0), ButtonEvent(kDevice, 2, 1),
                                               ButtonEvent(kDevice, 5, 0), ButtonEvent(kDevice, 2, 0)}));
}

// Hardware button 16 (byte 8, bit 0 of the hand-set) is neither sent nor traced, pressed or not.
TEST_F(DeviceTest, Button16IsNeverReported) {
    const int mike = Plug("SpeechMikeIII");
    OpenDevice(kDevice, DescriptorOf(mike));
    S().Mark();
    Buttons(mike, 0x01, 0x01);  // 3 and 16 down
    Buttons(mike, 0x00, 0x01);  // 3 up, 16 held
    Buttons(mike, 0x00, 0x00);  // 16 up
    Buttons(mike, 0x20, 0x00);  // 2 down: everything before it has been handled
    EXPECT_EQ(S().Sent(3), (std::vector<Bytes>{ButtonEvent(kDevice, 3, 1), ButtonEvent(kDevice, 3, 0),
                                               ButtonEvent(kDevice, 2, 1)}));
    EXPECT_EQ(S().Traces(), (Traces{Info("On button pressed 3, 1"), Info("On button pressed 3, 0"),
                                    Info("On button pressed 2, 1")}));
}

// An arrival is announced with the table's name; a listing makes repeated names unique.
TEST_F(DeviceTest, ArrivalsAndRemovalsAreAnnouncedToTheManager) {
    const int first = Plug("SpeechMikeIII");
    CreateManager(kManager);
    S().Mark();
    EXPECT_TRUE(S().Sync().empty()) << "a device present before the manager is not announced";

    S().Mark();
    const int second = Plug("SpeechMikeIII");
    std::vector<Bytes> sent = S().Sent(1);
    ASSERT_EQ(sent.size(), 1u);
    ChannelMessage arrival = Decode(sent[0]);
    EXPECT_EQ(arrival.code, 7u);
    EXPECT_EQ(arrival.handle, kManager);
    EXPECT_EQ(arrival.descriptor.id, 0);
    EXPECT_EQ(arrival.descriptor.name, "Philips SpeechMike III");
    EXPECT_EQ(arrival.descriptor.hidInfo.devicePath, Path(second));
    EXPECT_EQ(arrival.descriptor.hidInfo.productID, kSpeechMikeIII);
    EXPECT_EQ(sent[0], Join(Header(7, kManager), SpeechMikeIII(Path(second))));
    EXPECT_TRUE(S().Traces().empty()) << "events are not traced";
    EXPECT_TRUE(S().Sync().size() == 1u) << "only the hand-set's main interface is announced";

    std::vector<USBButtonDeviceDescriptor> listed = Listed(S().Command(EncodeGetConnectedDevices(kManager)));
    ASSERT_EQ(listed.size(), 2u);
    const bool firstSorted = Path(first) < Path(second);
    EXPECT_EQ(listed[firstSorted ? 0 : 1].hidInfo.devicePath, Path(first));
    EXPECT_EQ(listed[0].name, "Philips SpeechMike III");
    EXPECT_EQ(listed[1].name, "Philips SpeechMike III (2)");

    const std::string secondPath = Path(second);
    S().Mark();
    ASSERT_EQ(S().Bus().Unplug(second), 1);
    sent = S().Sent(1);
    ASSERT_EQ(sent.size(), 1u);
    ChannelMessage removal = Decode(sent[0]);
    EXPECT_EQ(removal.code, 8u);
    EXPECT_EQ(removal.handle, kManager);
    EXPECT_EQ(removal.descriptor.name, "Philips SpeechMike III");
    EXPECT_EQ(removal.descriptor.hidInfo.devicePath, secondPath);
    EXPECT_EQ(sent[0], Join(Header(8, kManager), SpeechMikeIII(secondPath)));
}

// The descriptor of an arrival is as good as a listed one for opening the device.
TEST_F(DeviceTest, AnAnnouncedDeviceCanBeOpened) {
    CreateManager(kManager);
    S().Mark();
    const int mike = Plug("SpeechMikeIII");
    std::vector<Bytes> sent = S().Sent(1);
    ASSERT_EQ(sent.size(), 1u);
    OpenDevice(kDevice, Decode(sent[0]).descriptor);
    S().Mark();
    Buttons(mike, 0x20);
    EXPECT_EQ(S().Sent(1), (std::vector<Bytes>{ButtonEvent(kDevice, 2, 1)}));
}

// Two managers under one handle both announce; each DeleteManager removes one of them.
TEST_F(DeviceTest, DuplicateManagersAnnounceUntilEachIsDeleted) {
    CreateManager(kManager);
    CreateManager(kManager);
    for (size_t managers = 2;; --managers) {
        S().Mark();
        Plug("Footswitch");
        S().Sent(managers);  // the engine poll sends them once the probes have finished
        std::vector<Bytes> sent = S().Sync();
        EXPECT_EQ(sent.size(), managers);
        for (const Bytes& block : sent) EXPECT_EQ(Decode(block).descriptor.name, "Philips Footswitch");
        if (managers == 0) break;
        EXPECT_EQ(S().Command(EncodeDeleteManager(kManager)), Reply(MessageType::DeleteManagerReply, kManager));
        EXPECT_EQ(S().Traces(), (Traces{Info("Deleting manager for " + H(kManager))}));
        ForgetManager(kManager);
    }
}

// The name ends at the zero byte; the rest of the descriptor is still read at the right place.
TEST_F(DeviceTest, AZeroByteInTheNameDoesNotShiftTheFollowingFields) {
    const int mike = Plug("SpeechMikeIII");
    USBButtonDeviceDescriptor descriptor = DescriptorOf(mike);
    descriptor.name = std::string("Hand\0set", 8);
    CreateDevice(kDevice);
    EXPECT_EQ(S().Command(EncodeInitDevice(kDevice, descriptor)), Reply(MessageType::InitDeviceReply, kDevice));
    EXPECT_EQ(S().Traces(), (Traces{Info("Init with device 0, Hand")}));
    EXPECT_EQ(S().Command(EncodeConnectDevice(kDevice, true)), Reply(MessageType::ConnectDeviceReply, kDevice));
    S().Mark();
    Buttons(mike, 0x80);
    EXPECT_EQ(S().Sent(1), (std::vector<Bytes>{ButtonEvent(kDevice, 1, 1)}));
}

// Without pairs after the count nothing is made up: no LED report. A list cut at a pair boundary
// sets the pairs that arrived.
TEST_F(DeviceTest, CutLEDListsSetOnlyThePairsThatArrived) {
    const int mike = Plug("SpeechMikeIII");
    OpenDevice(kDevice, DescriptorOf(mike));
    Bytes afterCount = Header(17, kDevice);
    Put32(afterCount, 2);
    EXPECT_EQ(S().Command(afterCount), Reply(MessageType::SetLEDsReply, kDevice));
    Bytes atBoundary = Header(17, kDevice);
    for (uint32_t v : {3u, 0u, 1u}) Put32(atBoundary, v);
    EXPECT_EQ(S().Command(atBoundary), Reply(MessageType::SetLEDsReply, kDevice));
    EXPECT_EQ(OutputReports(mike), Reports{kFirstLEDOn});
}

// A path that is no HID interface is never opened or written: the commands that need the device
// fail, are traced, and are not answered.
TEST_F(DeviceTest, APlainFileNamedAsDeviceStaysUnchanged) {
    const std::string file = "plain_device.bin";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << "untouched";
    }
    USBButtonDeviceDescriptor descriptor;
    descriptor.name = "Philips SpeechMike III";
    descriptor.hidInfo.devicePath = file;
    descriptor.hidInfo.usageType = 9;
    descriptor.hidInfo.vendorID = kPhilips;
    descriptor.hidInfo.productID = kSpeechMikeIII;
    descriptor.hidInfo.inputReportByteLength = 10;
    descriptor.hidInfo.outputReportByteLength = 10;
    CreateDevice(kDevice);
    EXPECT_EQ(S().Command(EncodeInitDevice(kDevice, descriptor)), Reply(MessageType::InitDeviceReply, kDevice));

    EXPECT_TRUE(S().CommandWithoutWaiting(EncodeConnectDevice(kDevice, true)).empty());
    EXPECT_EQ(S().Traces(), (Traces{Info("Connect device " + H(kDevice)),
                                    Error("CreateFile of " + file + " for reading failed")}));
    EXPECT_TRUE(S().CommandWithoutWaiting(EncodeSetLEDs(kDevice, {{0, 1}})).empty());
    Traces traces = S().Traces();
    ASSERT_EQ(traces.size(), 2u);
    EXPECT_EQ(traces[0], Info("SetLEDs with device " + H(kDevice)));
    EXPECT_TRUE(traces[1].error);

    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "untouched");
    in.close();
    std::remove(file.c_str());
    // The device is still registered and usable.
    EXPECT_EQ(S().Command(EncodeConnectDevice(kDevice, false)), Reply(MessageType::ConnectDeviceReply, kDevice));
}

TEST_F(DeviceTest, AFailedEnumerationEndsTheListingWithoutReply) {
    Plug("Footswitch");
    CreateManager(kManager);
    ASSERT_EQ(S().Bus().FailNextOpen(0, 32u), 1);  // the next enumeration fails
    EXPECT_TRUE(S().CommandWithoutWaiting(EncodeGetConnectedDevices(kManager)).empty());
    Traces traces = S().Traces();
    ASSERT_EQ(traces.size(), 2u);
    EXPECT_EQ(traces[0], Info("Getting connected devices for " + H(kManager)));
    EXPECT_TRUE(traces[1].error);
    EXPECT_EQ(traces[1].message, "SetupDiGetClassDevs failed");
    EXPECT_EQ(Listed(S().Command(EncodeGetConnectedDevices(kManager))).size(), 1u);  // the next one works
}

// The target of an assignment takes the source's interface and pressed buttons but keeps its own
// handle: its events carry it, and later commands for it still find it.
TEST_F(DeviceTest, AnAssignedDeviceReportsUnderItsOwnHandle) {
    const int mike = Plug("SpeechMikeIII");
    const USBButtonDeviceDescriptor descriptor = DescriptorOf(mike);
    OpenDevice(kDevice, descriptor);
    // The target decodes reports by its own descriptor, which the assignment does not copy.
    CreateDevice(kSecond);
    EXPECT_EQ(S().Command(EncodeInitDevice(kSecond, descriptor)), Reply(MessageType::InitDeviceReply, kSecond));
    S().Mark();
    Buttons(mike, 0x01);
    EXPECT_EQ(S().Sent(1), (std::vector<Bytes>{ButtonEvent(kDevice, 3, 1)}));
    EXPECT_EQ(S().Command(EncodeAssignDevice(kSecond, kDevice)), Reply(MessageType::AssignDeviceReply, kSecond));
    EXPECT_EQ(S().Traces(), (Traces{Info("Assigning device " + H(kDevice) + " to " + H(kSecond))}));
    EXPECT_EQ(S().Bus().ReaderCount(mike), 2);

    S().Mark();
    EXPECT_EQ(S().Command(EncodeDeleteDevice(kDevice)), Reply(MessageType::DeleteDeviceReply, kDevice));
    ForgetDevice(kDevice);
    S().Mark();
    Buttons(mike, 0x00);  // the copied button 3 goes up
    EXPECT_EQ(S().Sent(1), (std::vector<Bytes>{ButtonEvent(kSecond, 3, 0)}));
    EXPECT_EQ(S().Command(EncodeConnectDevice(kSecond, false)), Reply(MessageType::ConnectDeviceReply, kSecond));
    EXPECT_FALSE(Contains(S().Traces(), Error("Could not find device for " + H(kSecond))));
    EXPECT_EQ(S().Bus().ReaderCount(mike), 0);
}
