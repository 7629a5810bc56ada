// Natively there are no windows: the manager registers a recipient object with the backend, which
// queues notifications and delivers them on the thread that registered it when the host pumps
// messages. The recipient then does what the window procedure does on Windows.
#include "HIDSeam.h"
#include "USBHIDManagerImpl.h"

namespace {

class NotificationWindow : public hidseam::NotificationRecipient {
public:
    explicit NotificationWindow(CUSBHIDManagerImpl* impl) : impl(impl) {}
    // Runs on the thread that created the manager, from the host's message pump.
    void OnMessage(uint32_t message, uintptr_t event, const void* record) override {
        impl->HandleMessage(message, event, record);
    }

private:
    CUSBHIDManagerImpl* impl;
};

}  // namespace

void CUSBHIDManagerImpl::CreateNotificationWindow() {
    NotificationWindow* recipient = new NotificationWindow(this);
    window = recipient;
    hidseam::BroadcastDeviceInterface filter = {};
    filter.size = 32;
    filter.deviceType = hidseam::kDeviceTypeInterface;
    filter.reserved = 0;
    hidseam::GetHidGuid(filter.classGuid);
    notificationHandle = hidseam::RegisterNotification(static_cast<hidseam::NotificationRecipient*>(recipient), filter,
                                                       hidseam::kNotifyWindowHandle);
}

void CUSBHIDManagerImpl::DestroyNotificationWindow() {
    if (notificationHandle) {
        hidseam::UnregisterNotification(notificationHandle);
        notificationHandle = nullptr;
    }
    delete static_cast<NotificationWindow*>(window);
    window = nullptr;
}
