// Button device managers on the simulated bus: listing, names, arrival and removal.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <list>
#include <string>
#include <vector>

#include "SimDeviceSupport.h"
#include "SupportedDeviceTable.h"
#include "USBButtonDeviceManager.h"
#include "USBButtonDeviceManagerData.h"

using namespace simtest;

namespace {

// A manager that records its hook calls (on this thread, while it pumps its messages).
class RecordingManager : public CUSBButtonDeviceManager {
public:
    void OnDeviceConnected(const USBButtonDeviceDescriptor& descriptor) override {
        connected.push_back(descriptor);
    }
    void OnDeviceDisconnected(const USBButtonDeviceDescriptor& descriptor) override {
        disconnected.push_back(descriptor);
    }
    std::list<USBButtonDeviceDescriptor> List() {
        std::list<USBButtonDeviceDescriptor> devices(1);  // must be cleared
        GetConnectedDevices(devices);
        return devices;
    }
    std::vector<USBButtonDeviceDescriptor> connected;
    std::vector<USBButtonDeviceDescriptor> disconnected;
};

// Delivers the notifications that wait for this thread (natively queued; on Windows sent at once),
// waits (bounded) for the manager's probes and has it announce them, as the engine poll does.
void Pump(CUSBButtonDeviceManager& manager) {
    TovPlatform_PumpMessages();
    ASSERT_TRUE(manager.WaitForProbes(std::chrono::steady_clock::now() + std::chrono::seconds(20)));
    manager.DeliverDeviceChanges();
}

std::vector<std::string> Names(const std::list<USBButtonDeviceDescriptor>& devices) {
    std::vector<std::string> names;
    for (const auto& device : devices) names.push_back(device.name);
    return names;
}

}  // namespace

TEST_F(BusTest, EveryCatalogueModelIsListedUnderItsTableNameAndOnlyItsMainInterface) {
    for (int index = 0; index < TovSim_CatalogueCount(); ++index) {
        TovSimModel model;
        ASSERT_EQ(TovSim_CatalogueEntry(index, &model), 1);
        TovSim_Reset();
        int id = Plug(model.key);
        RecordingManager manager;
        std::list<USBButtonDeviceDescriptor> devices = manager.List();
        if (!model.supported) {
            EXPECT_TRUE(devices.empty()) << model.key;
            continue;
        }
        ASSERT_EQ(devices.size(), 1u) << model.key << " with " << model.interfaceCount
                                      << " interfaces";
        const USBButtonDeviceDescriptor& device = devices.front();
        const SupportedDevice* row = FindSupportedDevice(model.vendorID, model.productID);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(device.name, row->name);
        EXPECT_EQ(device.id, 0);
        EXPECT_EQ(device.hidInfo.devicePath, DevicePath(id));
        EXPECT_EQ(device.hidInfo.usageType, row->usageType);
        EXPECT_EQ(device.hidInfo.versionNumber, static_cast<int32_t>(model.versionNumber));
        EXPECT_EQ(device.hidInfo.inputReportByteLength, model.inputReportByteLength);
        EXPECT_EQ(device.hidInfo.outputReportByteLength, model.outputReportByteLength);
    }
}

TEST_F(BusTest, RepeatedNamesGetOneSharedCounterInPathOrder) {
    RecordingManager manager;
    EXPECT_TRUE(manager.List().empty());
    Plug("SpeechMikeIIPro");
    Plug("SpeechMikeIII");
    Plug("SpeechMikeIII");
    Plug("Footswitch");
    Plug("Footswitch");
    // Paths order by product id first: Footswitch (091a), III (0c1c), II Pro (149a).
    EXPECT_EQ(Names(manager.List()),
              (std::vector<std::string>{"Philips Footswitch", "Philips Footswitch (2)",
                                        "Philips SpeechMike III", "Philips SpeechMike III (3)",
                                        "Philips SpeechMike II Pro"}));
    // The suffixes live only in the list: a second listing numbers afresh.
    EXPECT_EQ(Names(manager.List())[3], "Philips SpeechMike III (3)");
}

TEST_F(BusTest, ArrivalsOfSupportedInterfacesAreAnnouncedWithThePlainName) {
    RecordingManager manager;
    Plug("SpeechMikeIII");  // with its keyboard and mouse interfaces
    Pump(manager);
    int second = Plug("SpeechMikeIII");
    TovSim_PlugCustom(0x0911, 0x0C1C, 0x0300, 0x01, 0x02, 5, 0);  // a lone mouse-usage interface
    Plug("PlainMouse");
    Pump(manager);
    ASSERT_EQ(manager.connected.size(), 2u);
    EXPECT_EQ(manager.connected[0].name, "Philips SpeechMike III");
    EXPECT_EQ(manager.connected[1].name, "Philips SpeechMike III");
    EXPECT_EQ(manager.connected[1].hidInfo.devicePath, DevicePath(second));
    std::list<USBButtonDeviceDescriptor> devices = manager.List();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices.back().name, "Philips SpeechMike III (2)");
    EXPECT_EQ(devices.back().hidInfo.devicePath, std::max(DevicePath(second), devices.front().hidInfo.devicePath));
    EXPECT_TRUE(manager.disconnected.empty());
}

TEST_F(BusTest, MouseUsageInterfaceOfASupportedProductIsNeitherListedNorAnnounced) {
    RecordingManager manager;
    int mouse = TovSim_PlugCustom(0x0911, 0x0C1C, 0x0300, 0x01, 0x02, 5, 0);
    Pump(manager);
    EXPECT_TRUE(manager.List().empty());
    TovSim_Unplug(mouse);
    Pump(manager);
    EXPECT_TRUE(manager.connected.empty());
    EXPECT_TRUE(manager.disconnected.empty());
}

TEST_F(BusTest, RemovalOfADeviceTheManagerNeverSawIsNotAnnounced) {
    int early = Plug("SpeechMikeAir");
    RecordingManager manager;
    TovSim_Unplug(early);
    Pump(manager);
    EXPECT_TRUE(manager.disconnected.empty());

    int listed = Plug("SpeechMikeAir");
    Pump(manager);
    manager.List();
    TovSim_Unplug(listed);
    Pump(manager);
    ASSERT_EQ(manager.disconnected.size(), 1u);
    EXPECT_EQ(manager.disconnected[0].name, "Philips SpeechMike Air");
    EXPECT_EQ(manager.disconnected[0].hidInfo.productID, 0x0BB8);
}

TEST_F(BusTest, ADeviceUnpluggedAndPluggedAgainOnTheSamePathKeepsItsStoredDescriptor) {
    constexpr unsigned kArrival = 0x8000, kRemoval = 0x8004, kInterface = 5;
    RecordingManager manager;
    int id = Plug("SpeechMikeIIPro");
    Pump(manager);
    ASSERT_EQ(manager.connected.size(), 1u);
    const USBButtonDeviceDescriptor first = manager.connected[0];
    EXPECT_EQ(first.hidInfo.versionNumber, 0x0200);

    // Removal and arrival of the same interface path, in the upper case notifications carry.
    std::string path = DevicePath(id);
    for (char& c : path) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    TovSim_SendDeviceChange(kRemoval, kInterface, path.c_str());
    TovSim_SendDeviceChange(kArrival, kInterface, path.c_str());
    Pump(manager);
    ASSERT_EQ(manager.disconnected.size(), 1u);
    ASSERT_EQ(manager.connected.size(), 2u);
    for (const USBButtonDeviceDescriptor* seen : {&manager.disconnected[0], &manager.connected[1]}) {
        EXPECT_EQ(seen->name, first.name);
        EXPECT_EQ(seen->hidInfo.devicePath, first.hidInfo.devicePath);
        EXPECT_EQ(seen->hidInfo.versionNumber, first.hidInfo.versionNumber);
        EXPECT_EQ(seen->hidInfo.outputReportByteLength, first.hidInfo.outputReportByteLength);
    }
    std::list<USBButtonDeviceDescriptor> devices = manager.List();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices.front().name, first.name);
}

TEST_F(BusTest, TheFirstDescriptorOfAPathIsKeptWhateverChangesLater) {
    CUSBButtonDeviceManager owner;
    CUSBButtonDeviceManagerData data(&owner);
    USBHIDDeviceInfo info;
    info.devicePath = "\\\\?\\hid#vid_0911&pid_0c1c#x";
    info.usageType = HIDUsageOther;
    info.vendorID = 0x0911;
    info.productID = 0x0C1C;
    info.versionNumber = 0x0300;
    info.inputReportByteLength = 10;
    USBButtonDeviceDescriptor descriptor;
    ASSERT_TRUE(data.ResolveDescriptor(info, descriptor));
    EXPECT_EQ(descriptor.name, "Philips SpeechMike III");

    info.versionNumber = 0x0999;
    info.inputReportByteLength = 12;
    USBButtonDeviceDescriptor later;
    later.id = 77;
    ASSERT_TRUE(data.ResolveDescriptor(info, later));
    EXPECT_EQ(later.id, 0);  // the stored copy replaces the caller's
    EXPECT_EQ(later.hidInfo.versionNumber, 0x0300);
    EXPECT_EQ(later.hidInfo.inputReportByteLength, 10);

    info.usageType = HIDUsageMouse;  // same path, but no longer the supported usage
    EXPECT_FALSE(data.ResolveDescriptor(info, later));
}

// hidraw gives a freed node number to the next device: the same path then names another model,
// which must be listed and announced as itself, not as the model that had the node before.
TEST_F(BusTest, APathThatNowNamesAnotherProductGetsItsOwnDescriptor) {
    CUSBButtonDeviceManager owner;
    CUSBButtonDeviceManagerData data(&owner);
    USBHIDDeviceInfo info;
    info.devicePath = "/dev/hidraw0";
    info.usageType = HIDUsageOther;
    info.vendorID = 0x0911;
    info.productID = 0x0C1C;
    info.inputReportByteLength = 10;
    USBButtonDeviceDescriptor first;
    ASSERT_TRUE(data.ResolveDescriptor(info, first));
    EXPECT_EQ(first.name, "Philips SpeechMike III");

    info.productID = 0x1844;  // a foot switch on the same node (a joystick collection)
    info.usageType = HIDUsageJoystick;
    info.inputReportByteLength = 4;
    USBButtonDeviceDescriptor second;
    ASSERT_TRUE(data.ResolveDescriptor(info, second));
    EXPECT_EQ(second.name, "Philips Footswitch LFH 0210/90B");
    EXPECT_EQ(second.hidInfo.productID, 0x1844);
    EXPECT_EQ(second.hidInfo.inputReportByteLength, 4);

    // The node keeps the new descriptor from then on, as any path keeps its first one.
    info.versionNumber = 0x0999;
    USBButtonDeviceDescriptor again;
    ASSERT_TRUE(data.ResolveDescriptor(info, again));
    EXPECT_EQ(again.name, "Philips Footswitch LFH 0210/90B");
    EXPECT_EQ(again.hidInfo.versionNumber, 0);
}

TEST_F(BusTest, EnumerationFailuresPassToTheCallerWithAnEmptyList) {
    Plug("SpeechMikeIII");
    RecordingManager manager;
    TovSim_FailNextOpen(0, TOVSIM_FAIL_ENUMERATION);
    std::list<USBButtonDeviceDescriptor> devices(2);
    try {
        manager.GetConnectedDevices(devices);
        ADD_FAILURE() << "no exception";
    } catch (const std::string& message) {
        EXPECT_EQ(message, "SetupDiGetClassDevs failed");
    }
    EXPECT_TRUE(devices.empty());
    EXPECT_EQ(manager.List().size(), 1u);
}
