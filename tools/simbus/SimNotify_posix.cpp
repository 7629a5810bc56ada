// Notifications of the simulated bus natively: queued per registered recipient and delivered on
// the thread that registered it when that thread pumps messages (TovPlatform_PumpMessages), as a
// window's messages are on Windows.
#include <algorithm>
#include <cerrno>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "SimBus.h"
#include "SimNotifyRecord.h"
#include "TovSimBus.h"

namespace {

struct Registration {
    hidseam::NotificationRecipient* recipient;
    std::thread::id owner;
};

struct Pending {
    Registration* registration;
    uint32_t event;
    std::vector<unsigned char> record;
};

// Guarded by queueMutex.
std::mutex queueMutex;
std::vector<Registration*> registrations;
std::deque<Pending> pending;

bool IsRegistered(Registration* registration) {
    return std::find(registrations.begin(), registrations.end(), registration) != registrations.end();
}

}  // namespace

namespace simbus {

int BroadcastDeviceChange(uint32_t event, uint32_t deviceType, const std::string& name) {
    std::vector<unsigned char> record = simbus::BuildBroadcast(deviceType, name);
    std::lock_guard<std::mutex> lock(queueMutex);
    for (Registration* registration : registrations) pending.push_back(Pending{registration, event, record});
    return static_cast<int>(registrations.size());
}

}  // namespace simbus

namespace hidseam {

void* RegisterNotification(void* recipient, const BroadcastDeviceInterface& filter, uint32_t flags) {
    if (!simbus::IsHidInterfaceRegistration(recipient, filter, flags)) {
        errno = EINVAL;
        return nullptr;
    }
    Registration* registration =
        new Registration{static_cast<NotificationRecipient*>(recipient), std::this_thread::get_id()};
    std::lock_guard<std::mutex> lock(queueMutex);
    registrations.push_back(registration);
    return registration;
}

bool UnregisterNotification(void* notification) {
    Registration* registration = static_cast<Registration*>(notification);
    std::lock_guard<std::mutex> lock(queueMutex);
    auto it = std::find(registrations.begin(), registrations.end(), registration);
    if (it == registrations.end()) return false;
    registrations.erase(it);
    pending.erase(std::remove_if(pending.begin(), pending.end(),
                                 [registration](const Pending& p) { return p.registration == registration; }),
                  pending.end());
    delete registration;
    return true;
}

}  // namespace hidseam

extern "C" {

int TovPlatform_PumpMessages(void) {
    const std::thread::id self = std::this_thread::get_id();
    int delivered = 0;
    for (;;) {
        Pending next;
        hidseam::NotificationRecipient* recipient = nullptr;
        {
            // One at a time: a delivery may unregister recipients (a manager destroyed by a hook).
            std::lock_guard<std::mutex> lock(queueMutex);
            auto it = std::find_if(pending.begin(), pending.end(), [self](const Pending& p) {
                return p.registration->owner == self;
            });
            if (it == pending.end()) break;
            next = std::move(*it);
            pending.erase(it);
            if (!IsRegistered(next.registration)) continue;
            recipient = next.registration->recipient;
        }
        recipient->OnMessage(hidseam::kMessageDeviceChange, next.event,
                             next.record.empty() ? nullptr : next.record.data());
        ++delivered;
    }
    return delivered;
}

}  // extern "C"
