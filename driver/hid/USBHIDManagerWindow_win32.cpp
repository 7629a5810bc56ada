// The manager's hidden top-level window, which receives the HID interface notifications.
#include <windows.h>

#include "HIDSeam.h"
#include "USBHIDManagerImpl.h"

namespace {

// Runs on the thread that created the window (the manager's thread), for every message.
LRESULT CALLBACK HiddenWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        const CREATESTRUCTA* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    CUSBHIDManagerImpl* impl = reinterpret_cast<CUSBHIDManagerImpl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (impl) impl->HandleMessage(message, wParam, reinterpret_cast<const void*>(lParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void CUSBHIDManagerImpl::CreateNotificationWindow() {
    WNDCLASSA windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = &HiddenWindowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 4;
    windowClass.lpszClassName = kHiddenWindowName;
    // A second manager in the same process finds the class registered already and uses it.
    RegisterClassA(&windowClass);

    HWND created = CreateWindowExA(0, kHiddenWindowName, kHiddenWindowName, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                   this);
    window = created;
    if (!created) return;

    hidseam::BroadcastDeviceInterface filter = {};
    filter.size = 32;
    filter.deviceType = hidseam::kDeviceTypeInterface;
    filter.reserved = 0;
    hidseam::GetHidGuid(filter.classGuid);
    notificationHandle = hidseam::RegisterNotification(created, filter, hidseam::kNotifyWindowHandle);
}

void CUSBHIDManagerImpl::DestroyNotificationWindow() {
    if (notificationHandle) {
        hidseam::UnregisterNotification(notificationHandle);
        notificationHandle = nullptr;
    }
    if (window) {
        // The window procedure must not reach the impl while the window goes away.
        SetWindowLongPtrA(static_cast<HWND>(window), GWLP_USERDATA, 0);
        DestroyWindow(static_cast<HWND>(window));
        window = nullptr;
    }
}
