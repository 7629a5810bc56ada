// Notifications of the simulated bus on Windows: real WM_DEVICECHANGE messages, sent to every
// window registered for the HID class.
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "SimBus.h"
#include "SimNotifyRecord.h"
#include "TovSimBus.h"

namespace {

struct Registration {
    HWND window;
};

// Guarded by registrationsMutex.
std::mutex registrationsMutex;
std::vector<Registration*>& Registrations() {
    static std::vector<Registration*>* list = new std::vector<Registration*>;
    return *list;
}

}  // namespace

namespace simbus {

int BroadcastDeviceChange(uint32_t event, uint32_t deviceType, const std::string& name) {
    std::vector<HWND> windows;
    {
        std::lock_guard<std::mutex> lock(registrationsMutex);
        for (Registration* registration : Registrations()) windows.push_back(registration->window);
    }
    std::vector<unsigned char> record = simbus::BuildBroadcast(deviceType, name);
    const LPARAM lParam = record.empty() ? 0 : reinterpret_cast<LPARAM>(record.data());
    int reached = 0;
    for (HWND window : windows) {
        // SendMessage runs the window procedure on the thread that owns the window: directly when
        // that is this thread, otherwise when the owner pumps its messages.
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(window, WM_DEVICECHANGE, event, lParam, SMTO_NORMAL, 30000, &result)) ++reached;
    }
    return reached;
}

}  // namespace simbus

namespace hidseam {

void* RegisterNotification(void* recipient, const BroadcastDeviceInterface& filter, uint32_t flags) {
    if (!simbus::IsHidInterfaceRegistration(recipient, filter, flags)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Registration* registration = new Registration{static_cast<HWND>(recipient)};
    std::lock_guard<std::mutex> lock(registrationsMutex);
    Registrations().push_back(registration);
    return registration;
}

bool UnregisterNotification(void* notification) {
    std::lock_guard<std::mutex> lock(registrationsMutex);
    auto& list = Registrations();
    auto it = std::find(list.begin(), list.end(), static_cast<Registration*>(notification));
    if (it == list.end()) return false;
    delete *it;
    list.erase(it);
    return true;
}

}  // namespace hidseam

extern "C" {

int TovPlatform_PumpMessages(void) {
    int delivered = 0;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
        ++delivered;
    }
    return delivered;
}

}  // extern "C"
