// Button device managers on the simulated bus: listing, names, arrival and removal.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "SimDeviceSupport.h"
#include "SupportedDeviceTable.h"
#include "USBButtonDeviceManager.h"

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

// Delivers the notifications that wait for this thread (natively queued; on Windows sent at once).
void Pump() { TovPlatform_PumpMessages(); }

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
    Pump();
    int second = Plug("SpeechMikeIII");
    TovSim_PlugCustom(0x0911, 0x0C1C, 0x0300, 0x01, 0x02, 5, 0);  // a lone mouse-usage interface
    Plug("PlainMouse");
    Pump();
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
    Pump();
    EXPECT_TRUE(manager.List().empty());
    TovSim_Unplug(mouse);
    Pump();
    EXPECT_TRUE(manager.connected.empty());
    EXPECT_TRUE(manager.disconnected.empty());
}

TEST_F(BusTest, RemovalOfADeviceTheManagerNeverSawIsNotAnnounced) {
    int early = Plug("SpeechMikeAir");
    RecordingManager manager;
    TovSim_Unplug(early);
    Pump();
    EXPECT_TRUE(manager.disconnected.empty());

    int listed = Plug("SpeechMikeAir");
    Pump();
    manager.List();
    TovSim_Unplug(listed);
    Pump();
    ASSERT_EQ(manager.disconnected.size(), 1u);
    EXPECT_EQ(manager.disconnected[0].name, "Philips SpeechMike Air");
    EXPECT_EQ(manager.disconnected[0].hidInfo.productID, 0x0BB8);
}

TEST_F(BusTest, ADevicePluggedAgainOnTheSamePathKeepsItsStoredDescriptor) {
    RecordingManager manager;
    int id = Plug("SpeechMikeIIPro");
    Pump();
    const std::string path = DevicePath(id);
    ASSERT_EQ(manager.connected.size(), 1u);
    EXPECT_EQ(manager.connected[0].hidInfo.versionNumber, 0x0200);

    // The bus forgets its devices without announcing it; the next interface gets the same path
    // but other release and report lengths.
    TovSim_Reset();
    int again = TovSim_PlugCustom(0x0911, 0x149A, 0x0999, 0xFFA0, 0x01, 12, 12);
    Pump();
    ASSERT_EQ(DevicePath(again), path);
    ASSERT_EQ(manager.connected.size(), 2u);
    EXPECT_EQ(manager.connected[1].hidInfo.versionNumber, 0x0200);
    EXPECT_EQ(manager.connected[1].hidInfo.inputReportByteLength, 10);
    std::list<USBButtonDeviceDescriptor> devices = manager.List();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices.front().hidInfo.versionNumber, 0x0200);
    TovSim_Unplug(again);
    Pump();
    ASSERT_EQ(manager.disconnected.size(), 1u);
    EXPECT_EQ(manager.disconnected[0].hidInfo.outputReportByteLength, 10);

    // A new manager knows nothing of the old descriptor.
    int third = TovSim_PlugCustom(0x0911, 0x149A, 0x0999, 0xFFA0, 0x01, 12, 12);
    RecordingManager fresh;
    devices = fresh.List();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices.front().hidInfo.devicePath, DevicePath(third));
    EXPECT_EQ(devices.front().hidInfo.versionNumber, 0x0999);
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
