// The HID manager against the simulated bus: enumeration, probing, arrival and removal.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "SimBusTestSupport.h"
#include "Thread.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

const USBHIDDeviceInfo* FindPath(const std::list<USBHIDDeviceInfo>& devices, const std::string& path) {
    for (const USBHIDDeviceInfo& info : devices) {
        if (info.devicePath == path) return &info;
    }
    return nullptr;
}

std::string Thrown(CUSBHIDManager& manager) {
    std::list<USBHIDDeviceInfo> devices;
    try {
        manager.GetHIDDevices(devices);
    } catch (const std::string& text) {
        return text;
    }
    return "(nothing thrown)";
}

class HIDManager : public SimBusTest {};

TEST_F(HIDManager, EnumeratesEveryCatalogueModelWithItsIdsUsageAndLengths) {
    RecordingManager manager;
    std::list<USBHIDDeviceInfo> devices = {USBHIDDeviceInfo()};
    manager.GetHIDDevices(devices);
    EXPECT_TRUE(devices.empty()) << "no HID interfaces: an empty list, the old content cleared";

    std::vector<int> ids;
    for (int i = 0; i < TovSim_CatalogueCount(); ++i) {
        TovSimModel model;
        ASSERT_EQ(TovSim_CatalogueEntry(i, &model), 1);
        ids.push_back(TovSim_Plug(model.key));
        ASSERT_NE(ids.back(), 0) << model.key;
    }
    manager.GetHIDDevices(devices);
    size_t expected = 0;
    for (int i = 0; i < TovSim_CatalogueCount(); ++i) {
        TovSimModel model;
        TovSim_CatalogueEntry(i, &model);
        expected += static_cast<size_t>(model.interfaceCount);
        const USBHIDDeviceInfo* info = FindPath(devices, PathOf(ids[static_cast<size_t>(i)]));
        ASSERT_NE(info, nullptr) << model.key;
        EXPECT_EQ(info->vendorID, static_cast<int32_t>(model.vendorID)) << model.key;
        EXPECT_EQ(info->productID, static_cast<int32_t>(model.productID)) << model.key;
        EXPECT_EQ(info->versionNumber, static_cast<int32_t>(model.versionNumber)) << model.key;
        EXPECT_EQ(info->usageType, LookupHIDUsageType(static_cast<uint16_t>(model.usagePage),
                                                      static_cast<uint16_t>(model.usage)))
            << model.key;
        EXPECT_EQ(info->inputReportByteLength, model.inputReportByteLength) << model.key;
        EXPECT_EQ(info->outputReportByteLength, model.outputReportByteLength) << model.key;
        EXPECT_TRUE(info->productString.empty());
    }
    EXPECT_EQ(devices.size(), expected);
    // The paths are lower case and in the order the bus enumerates them (plug order).
    std::list<USBHIDDeviceInfo> again;
    manager.GetHIDDevices(again);
    ASSERT_EQ(again.size(), devices.size());
    auto a = devices.begin();
    for (auto b = again.begin(); b != again.end(); ++a, ++b) EXPECT_EQ(a->devicePath, b->devicePath);
    for (const auto& info : devices) EXPECT_EQ(info.devicePath, LowerCaseForTest(info.devicePath));
}

TEST_F(HIDManager, TheHandSetShowsItsKeyboardAndMouseWithTheSameIds) {
    const int id = TovSim_Plug("SpeechMikeIII");
    int ids[4] = {0};
    ASSERT_EQ(TovSim_Interfaces(id, ids, 4), 3);
    RecordingManager manager;
    std::list<USBHIDDeviceInfo> devices;
    manager.GetHIDDevices(devices);
    ASSERT_EQ(devices.size(), 3u);
    std::vector<int32_t> usages;
    for (const auto& info : devices) {
        EXPECT_EQ(info.vendorID, 0x0911);
        EXPECT_EQ(info.productID, 0x0C1C);
        usages.push_back(info.usageType);
    }
    EXPECT_EQ(usages, (std::vector<int32_t>{HIDUsageOther, HIDUsageKeyboard, HIDUsageMouse}));
    // Unplugging the hand-set removes all three.
    TovSim_Unplug(ids[2]);
    manager.GetHIDDevices(devices);
    EXPECT_TRUE(devices.empty());
}

TEST_F(HIDManager, InterfacesThatCannotBeQueriedAreLeftOut) {
    const int refusing = TovSim_Plug("Footswitch");
    const int fine = TovSim_Plug("SpeechMikeIPro");
    RecordingManager manager;
    TovSim_FailNextOpen(refusing, TOVSIM_FAIL_QUERY_OPEN);
    std::list<USBHIDDeviceInfo> devices;
    manager.GetHIDDevices(devices);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices.front().devicePath, PathOf(fine));

    // On arrival: nothing reported.
    TovSim_FailNextOpen(0, TOVSIM_FAIL_QUERY_OPEN);
    TovSim_Plug("SpeechMikeAir");
    DeliverDeviceChanges(manager);
    EXPECT_TRUE(manager.arrivals.empty());
    EXPECT_TRUE(BoxTexts().empty());

    // A plain file opens but has no HID attributes.
    USBHIDDeviceInfo info;
#ifdef _WIN32
    const char* plainFile = "c:\\windows\\win.ini";
#else
    const char* plainFile = "/proc/self/stat";
#endif
    EXPECT_FALSE(ProbeHIDInterface(plainFile, info));
    EXPECT_EQ(info.vendorID, 0);
}

TEST_F(HIDManager, CapabilityFailuresAreThrownOrShown) {
    const int id = TovSim_Plug("SpeechMikeIIPro");
    RecordingManager manager;
    TovSim_FailNextOpen(id, TOVSIM_FAIL_PREPARSED_DATA);
    EXPECT_EQ(Thrown(manager), "HidD_GetPreparsedData failed");
    TovSim_FailNextOpen(id, TOVSIM_FAIL_CAPS);
    EXPECT_EQ(Thrown(manager), "HidP_GetCaps failed");
    TovSim_FailNextOpen(0, TOVSIM_FAIL_ENUMERATION);
    EXPECT_EQ(Thrown(manager), "SetupDiGetClassDevs failed");
    EXPECT_EQ(Thrown(manager), "(nothing thrown)");
    EXPECT_EQ(TovSim_OpenCount(id), 0) << "the probe closes its handle on every way out";

    // In the window procedure the thrown text becomes the box.
    TovSim_FailNextOpen(0, TOVSIM_FAIL_CAPS);
    TovSim_Plug("SpeechMikeAir");
    DeliverDeviceChanges(manager);
    EXPECT_TRUE(manager.arrivals.empty());
    const auto boxes = BoxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("USBHIDManager|16|Reading from USB deviced failed: ", 0), 0u) << boxes[0];
}

TEST_F(HIDManager, ArrivalProbesAndRemovalAnswersFromWhatWasProbed) {
    RecordingManager manager;
    const int id = TovSim_Plug("SonicMicIIClassic");
    DeliverDeviceChanges(manager);
    ASSERT_EQ(manager.arrivals.size(), 1u);
    const USBHIDDeviceInfo arrived = manager.arrivals[0];
    EXPECT_EQ(arrived.devicePath, PathOf(id)) << "the upper-case notification name is lower-cased";
    EXPECT_EQ(arrived.vendorID, 0x15D8);
    EXPECT_EQ(arrived.productID, 0x0025);
    EXPECT_EQ(arrived.inputReportByteLength, 9);
    EXPECT_EQ(arrived.outputReportByteLength, 64);

    const std::string path = PathOf(id);
    TovSim_Unplug(id);
    DeliverDeviceChanges(manager);
    ASSERT_EQ(manager.removals.size(), 1u);
    const USBHIDDeviceInfo& removed = manager.removals[0];
    EXPECT_EQ(removed.devicePath, path);
    EXPECT_EQ(removed.vendorID, 0x15D8) << "known although the device is gone";
    EXPECT_EQ(removed.productID, 0x0025);
    EXPECT_EQ(removed.versionNumber, arrived.versionNumber);
    EXPECT_EQ(removed.usageType, arrived.usageType);
    EXPECT_EQ(removed.outputReportByteLength, 64);

    // A removal of a path never probed: the path alone.
    const std::string never = "\\\\?\\HID#VID_1234&PID_5678#NEVER&1#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    ASSERT_GE(TovSim_SendDeviceChange(0x8004, 5, never.c_str()), 1);
    DeliverDeviceChanges(manager);
    ASSERT_EQ(manager.removals.size(), 2u);
    const USBHIDDeviceInfo& unknown = manager.removals[1];
    EXPECT_EQ(unknown.devicePath, LowerCaseForTest(never));
    EXPECT_EQ(unknown.vendorID, 0);
    EXPECT_EQ(unknown.productID, 0);
    EXPECT_EQ(unknown.usageType, 0);
    EXPECT_EQ(unknown.inputReportByteLength, 0);
    EXPECT_TRUE(unknown.productString.empty());
}

TEST_F(HIDManager, PathsDifferingInCaseAreOneEntryAndReArrivalReprobes) {
    RecordingManager manager;
    const int id = TovSim_PlugCustom(0x0911, 0x091A, 0x0100, 0x01, 0x04, 2, 0);
    DeliverDeviceChanges(manager);
    std::list<USBHIDDeviceInfo> devices;
    manager.GetHIDDevices(devices);  // probes the lower-case path
    ASSERT_EQ(devices.size(), 1u);

    // The device now answers other ids; it arrives again under its upper-case name.
    TovSim_SetAttributes(id, 0x0911, 0x091A, 0x0200);
    const std::string upper = Upper(PathOf(id));
    TovSim_SendDeviceChange(0x8000, 5, upper.c_str());
    DeliverDeviceChanges(manager);
    ASSERT_EQ(manager.arrivals.size(), 2u);
    EXPECT_EQ(manager.arrivals[1].versionNumber, 0x0200);

    // Removal in yet another spelling finds the one entry, overwritten by the second probe.
    std::string mixed = PathOf(id);
    mixed[4] = 'H';
    TovSim_SendDeviceChange(0x8004, 5, mixed.c_str());
    DeliverDeviceChanges(manager);
    ASSERT_EQ(manager.removals.size(), 1u);
    EXPECT_EQ(manager.removals[0].devicePath, PathOf(id));
    EXPECT_EQ(manager.removals[0].versionNumber, 0x0200);
}

TEST_F(HIDManager, OtherDeviceTypesAndEventsAreIgnored) {
    RecordingManager manager;
    const int id = TovSim_Plug("Footswitch");
    DeliverDeviceChanges(manager);
    ASSERT_EQ(manager.arrivals.size(), 1u);
    const std::string path = PathOf(id);
    TovSim_SendDeviceChange(0x8000, 2, "C:");       // a volume arrives
    TovSim_SendDeviceChange(0x8004, 3, "COM3");     // a port goes
    TovSim_SendDeviceChange(0x8001, 5, path.c_str());  // query remove
    TovSim_SendDeviceChange(0x0018, 5, path.c_str());  // configuration changed
    TovSim_SendDeviceChange(0x0007, 0, nullptr);     // devnodes changed, no record
    DeliverDeviceChanges(manager);
    EXPECT_EQ(manager.arrivals.size(), 1u);
    EXPECT_TRUE(manager.removals.empty());
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(HIDManager, EveryManagerHearsAndADestroyedOneNoLonger) {
    RecordingManager first;
    std::unique_ptr<RecordingManager> second(new RecordingManager);
    TovSim_Plug("SpeechMikeIPro");
    DeliverDeviceChanges(first);
    DeliverDeviceChanges(*second);
    EXPECT_EQ(first.arrivals.size(), 1u);
    EXPECT_EQ(second->arrivals.size(), 1u);
    second.reset();
    const int id = TovSim_Plug("SpeechMike6264Slider");
    DeliverDeviceChanges(first);
    EXPECT_EQ(first.arrivals.size(), 2u);
    EXPECT_EQ(first.arrivals[1].devicePath, PathOf(id));
}

// A probe stuck in the system's open holds neither the stop nor the manager's destructor; the
// probe thread then ends by itself and frees what it kept (leaks: ASan; races: TSan).
TEST_F(HIDManager, AStuckProbeHoldsNeitherTheStopNorTheDestructor) {
    const int threadsBefore = CThread::RunningThreads();
    std::unique_ptr<RecordingManager> manager(new RecordingManager);
    TovSim_HoldQueryOpens(1);
    TovSim_Plug("Footswitch");
    DeliverNotifications();
    ASSERT_EQ(TovSim_WaitForHeldQueryOpens(1, 20000), 1) << "the probe did not run on a thread of its own";
    manager->RequestStop();
    EXPECT_FALSE(manager->WaitForStop(std::chrono::steady_clock::now() + std::chrono::milliseconds(20)));
    manager.reset();
    EXPECT_EQ(TovSim_HeldQueryOpenCount(), 1) << "the destructor waited for the probe";
    TovSim_HoldQueryOpens(0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (CThread::RunningThreads() > threadsBefore && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(CThread::RunningThreads(), threadsBefore);
}

#ifdef _WIN32
// The manager's hidden window among this thread's top-level windows. FindWindow would search every
// process of the Wine session, where other test programs run their own managers at the same time.
BOOL CALLBACK MatchHiddenWindow(HWND window, LPARAM param) {
    const char* name = "USBHIDDeviceManager Hidden Window";
    char className[64] = {};
    char title[64] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (strcmp(className, name) == 0 && strcmp(title, name) == 0) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindOwnHiddenWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchHiddenWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST_F(HIDManager, TheHiddenWindowIsATopLevelWindowOfTheManagersThread) {
    EXPECT_EQ(FindOwnHiddenWindow(), nullptr);
    {
        RecordingManager manager;
        HWND window = FindOwnHiddenWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(GetParent(window), nullptr);
        EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
        EXPECT_NE(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
        // A real WM_DEVICECHANGE sent by anyone reaches the handler.
        const std::string path = PathOf(TovSim_Plug("Footswitch"));
        std::vector<char> record(32 + path.size(), 0);
        const DWORD header[3] = {static_cast<DWORD>(record.size()), 5, 0};
        memcpy(record.data(), header, sizeof(header));
        memcpy(record.data() + 28, path.c_str(), path.size() + 1);
        SendMessageA(window, WM_DEVICECHANGE, 0x8004, reinterpret_cast<LPARAM>(record.data()));
        DeliverDeviceChanges(manager);
        ASSERT_EQ(manager.removals.size(), 1u);
        EXPECT_EQ(manager.removals[0].productID, 0x091A);
    }
    EXPECT_EQ(FindOwnHiddenWindow(), nullptr);
}
#endif

}  // namespace
