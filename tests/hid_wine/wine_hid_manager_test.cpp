// Enumeration and notifications of the shipping backend on Wine's HID stack, compared with the
// test's own direct probe of the same interfaces.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <list>
#include <vector>

#include "USBButtonDeviceManager.h"
#include "HIDRecorders.h"
#include "USBHIDManager.h"
#include "WineHidFixture.h"

using namespace winehid;

namespace {

const WPARAM kArrival = 0x8000;         // DBT_DEVICEARRIVAL
const WPARAM kRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE

void ExpectSameInterface(const USBHIDDeviceInfo& info, const ProbedInterface& probed) {
    EXPECT_EQ(info.devicePath, LowerCaseForTest(probed.path));
    EXPECT_EQ(info.vendorID, probed.vendorID);
    EXPECT_EQ(info.productID, probed.productID);
    EXPECT_EQ(info.versionNumber, probed.versionNumber);
    EXPECT_EQ(info.usageType, ExpectedUsageType(probed.usagePage, probed.usage));
    EXPECT_EQ(info.inputReportByteLength, probed.inputReportByteLength);
    EXPECT_EQ(info.outputReportByteLength, probed.outputReportByteLength);
    EXPECT_EQ(info.productString, "");
}

// The manager's hidden window among this thread's top-level windows (other programs of the Wine
// session run managers of their own).
BOOL CALLBACK MatchHiddenWindow(HWND window, LPARAM param) {
    const char* name = "USBHIDDeviceManager Hidden Window";
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (strcmp(className, name) != 0) return TRUE;
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
}

HWND OwnHiddenWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchHiddenWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// A DEV_BROADCAST_DEVICEINTERFACE_A for name, as the system sends it.
std::vector<char> InterfaceBroadcast(const std::string& name) {
    std::vector<char> record(28 + name.size() + 1, 0);
    const DWORD header[3] = {static_cast<DWORD>(record.size()), 5 /* device interface */, 0};
    memcpy(record.data(), header, sizeof(header));
    memcpy(record.data() + 28, name.c_str(), name.size() + 1);
    return record;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

TEST_F(WineHidTest, ThePrefixPresentsWinesKeyboardInterface) {
    const ProbedInterface* keyboard = FindKeyboard(Present());
    ASSERT_NE(keyboard, nullptr) << "no interface with vendor 845e, product 0002";
    EXPECT_EQ(keyboard->usagePage, 0x01);
    EXPECT_EQ(keyboard->usage, 0x06);
    EXPECT_EQ(keyboard->inputReportByteLength, 14);
    EXPECT_NE(LowerCaseForTest(keyboard->path).find("{4d1e55b2-f16f-11cf-88cb-001111000030}"), std::string::npos)
        << "a HID class interface path";
}

TEST_F(WineHidTest, ManagerEnumeratesEveryInterfaceAsTheDirectProbeSeesIt) {
    CUSBHIDManager manager;
    std::list<USBHIDDeviceInfo> listed;
    ASSERT_NO_THROW(manager.GetHIDDevices(listed));
    ASSERT_EQ(listed.size(), Present().size());
    size_t index = 0;
    for (const USBHIDDeviceInfo& info : listed) {
        SCOPED_TRACE(Present()[index].path);
        ExpectSameInterface(info, Present()[index++]);
    }
    // Enumerating again updates the remembered entries and lists the same.
    std::list<USBHIDDeviceInfo> again;
    manager.GetHIDDevices(again);
    ASSERT_EQ(again.size(), listed.size());
    EXPECT_EQ(again.front().devicePath, listed.front().devicePath);

    // The probe alone, on the path in capitals.
    const ProbedInterface* keyboard = FindKeyboard(Present());
    ASSERT_NE(keyboard, nullptr);
    USBHIDDeviceInfo probed;
    ASSERT_TRUE(ProbeHIDInterface(Upper(keyboard->path), probed));
    ExpectSameInterface(probed, *keyboard);
    EXPECT_EQ(probed.usageType, 5) << "Keyboard";
}

TEST_F(WineHidTest, HiddenWindowIsRegisteredAndProbesArrivalsOnTheRealStack) {
    const ProbedInterface* keyboard = FindKeyboard(Present());
    ASSERT_NE(keyboard, nullptr);
    RecordingManager manager;
    EXPECT_TRUE(manager.ReceivesNotifications()) << "RegisterDeviceNotification was refused";
    HWND window = OwnHiddenWindow();
    ASSERT_NE(window, nullptr);

    // The arrival of the keyboard as the system would announce it: probed through the backend.
    std::vector<char> arrival = InterfaceBroadcast(Upper(keyboard->path));
    // The probes run on the manager's probe thread; the hooks come when the poll delivers.
    auto deliver = [&manager] {
        ASSERT_TRUE(manager.WaitForProbes(std::chrono::steady_clock::now() + std::chrono::seconds(20)));
        manager.DeliverDeviceChanges();
    };
    SendMessageA(window, WM_DEVICECHANGE, kArrival, reinterpret_cast<LPARAM>(arrival.data()));
    deliver();
    ASSERT_EQ(manager.arrivals.size(), 1u);
    ExpectSameInterface(manager.arrivals[0], *keyboard);

    // Its removal is answered from what was probed; an unknown path comes with its name alone.
    SendMessageA(window, WM_DEVICECHANGE, kRemoveComplete, reinterpret_cast<LPARAM>(arrival.data()));
    const std::string unknown = "\\\\?\\HID#VID_845E&PID_00FF#0&0000&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    std::vector<char> gone = InterfaceBroadcast(unknown);
    SendMessageA(window, WM_DEVICECHANGE, kRemoveComplete, reinterpret_cast<LPARAM>(gone.data()));
    deliver();
    ASSERT_EQ(manager.removals.size(), 2u);
    ExpectSameInterface(manager.removals[0], *keyboard);
    EXPECT_EQ(manager.removals[1].devicePath, LowerCaseForTest(unknown));
    EXPECT_EQ(manager.removals[1].vendorID, 0);
    EXPECT_EQ(manager.removals[1].inputReportByteLength, 0);

    // An arrival whose path does not open is left out silently.
    SendMessageA(window, WM_DEVICECHANGE, kArrival, reinterpret_cast<LPARAM>(gone.data()));
    deliver();
    EXPECT_EQ(manager.arrivals.size(), 1u);
}

TEST_F(WineHidTest, ButtonDeviceManagerListsNoneOfWinesInterfaces) {
    CUSBButtonDeviceManager manager;
    std::list<USBButtonDeviceDescriptor> devices;
    devices.emplace_back();  // the call empties the list first
    ASSERT_NO_THROW(manager.GetConnectedDevices(devices));
    EXPECT_TRUE(devices.empty());
}

}  // namespace
