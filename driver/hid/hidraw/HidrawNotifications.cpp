// Arrival and removal notifications of the hidraw backend. The managers register recipients; the
// first registration opens the device monitor and installs the engine poll hook, so that every poll
// of the driver (on the engine thread, never blocking) takes the monitor's waiting events and hands
// each to the recipients registered on that thread, as the window procedure receives
// WM_DEVICECHANGE on Windows: message kMessageDeviceChange, the event, and a
// DEV_BROADCAST_DEVICEINTERFACE_A record naming the node.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "DeviceMonitor.h"
#include "EnginePollHook.h"
#include "HIDSeam.h"
#include "HidrawNotifications.h"

namespace {

struct Registration {
    hidseam::NotificationRecipient* recipient;
    std::thread::id owner;
};

// Threads: registrations and the monitor are guarded by registryMutex. Registering and
// unregistering happen on the managers' thread, delivery on the engine thread; in the driver both
// are the engine thread. The lock is never held while a recipient runs (a recipient may destroy a
// manager, which unregisters).
std::mutex registryMutex;
std::vector<Registration*>& Registrations() {
    static std::vector<Registration*>* registrations = new std::vector<Registration*>();
    return *registrations;
}
std::unique_ptr<hidraw::CDeviceMonitor>& Monitor() {
    static std::unique_ptr<hidraw::CDeviceMonitor>* monitor = new std::unique_ptr<hidraw::CDeviceMonitor>();
    return *monitor;
}
hidraw::MonitorFactory& Factory() {
    static hidraw::MonitorFactory factory = &hidraw::CDeviceMonitor::Create;
    return factory;
}

bool IsRegistered(Registration* registration) {
    const std::vector<Registration*>& all = Registrations();
    return std::find(all.begin(), all.end(), registration) != all.end();
}

void PollHook() { hidraw::DeliverNotifications(); }

}  // namespace

namespace hidraw {

std::vector<unsigned char> BuildInterfaceBroadcast(const std::string& name) {
    const size_t offset = offsetof(hidseam::BroadcastDeviceInterface, name);
    std::vector<unsigned char> record(std::max(sizeof(hidseam::BroadcastDeviceInterface), offset + name.size() + 1), 0);
    hidseam::BroadcastDeviceInterface* broadcast = reinterpret_cast<hidseam::BroadcastDeviceInterface*>(record.data());
    broadcast->size = static_cast<uint32_t>(record.size());
    broadcast->deviceType = hidseam::kDeviceTypeInterface;
    hidseam::GetHidGuid(broadcast->classGuid);
    std::memcpy(record.data() + offset, name.data(), name.size());
    return record;
}

int DeliverNotifications() {
    const std::thread::id self = std::this_thread::get_id();
    int delivered = 0;
    // Bounded per poll: what is left waits in the monitor's socket for the next poll.
    for (int i = 0; i < 64; ++i) {
        NodeEvent event;
        std::vector<Registration*> mine;
        {
            std::lock_guard<std::mutex> lock(registryMutex);
            if (!Monitor() || !Monitor()->Receive(event)) break;
            for (Registration* registration : Registrations()) {
                if (registration->owner == self) mine.push_back(registration);
            }
        }
        const std::vector<unsigned char> record = BuildInterfaceBroadcast(event.node);
        const uintptr_t code = event.kind == NodeEvent::kArrival ? hidseam::kDeviceArrival : hidseam::kDeviceRemoveComplete;
        for (Registration* registration : mine) {
            hidseam::NotificationRecipient* recipient = nullptr;
            {
                std::lock_guard<std::mutex> lock(registryMutex);
                if (IsRegistered(registration)) recipient = registration->recipient;
            }
            if (!recipient) continue;
            recipient->OnMessage(hidseam::kMessageDeviceChange, code, record.data());
            ++delivered;
        }
    }
    return delivered;
}

MonitorFactory SetMonitorFactory(MonitorFactory factory) {
    std::lock_guard<std::mutex> lock(registryMutex);
    MonitorFactory previous = Factory();
    Factory() = factory ? factory : &CDeviceMonitor::Create;
    return previous;
}

const char* MonitorSource() {
    std::lock_guard<std::mutex> lock(registryMutex);
    return Monitor() ? Monitor()->Source() : nullptr;
}

int MonitorDescriptor() {
    std::lock_guard<std::mutex> lock(registryMutex);
    return Monitor() ? Monitor()->Descriptor() : -1;
}

}  // namespace hidraw

namespace hidseam {

void* RegisterNotification(void* recipient, const BroadcastDeviceInterface& filter, uint32_t flags) {
    Guid hid;
    GetHidGuid(hid);
    if (!recipient || filter.size < 32 || filter.deviceType != kDeviceTypeInterface || !(filter.classGuid == hid) ||
        flags != kNotifyWindowHandle) {
        errno = EINVAL;
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(registryMutex);
    if (!Monitor()) {
        Monitor() = Factory()();
        if (!Monitor()) return nullptr;  // no monitor: no notifications, as without a window
        SetEnginePollHook(&PollHook);
    }
    Registration* registration =
        new Registration{static_cast<NotificationRecipient*>(recipient), std::this_thread::get_id()};
    Registrations().push_back(registration);
    return registration;
}

bool UnregisterNotification(void* notification) {
    std::unique_ptr<hidraw::CDeviceMonitor> closing;
    {
        std::lock_guard<std::mutex> lock(registryMutex);
        std::vector<Registration*>& all = Registrations();
        auto it = std::find(all.begin(), all.end(), static_cast<Registration*>(notification));
        if (it == all.end()) return false;
        delete *it;
        all.erase(it);
        // The last manager gone: the monitor closes, events until a new registration are not kept
        // (a new manager enumerates what is present anyway).
        if (all.empty()) {
            SetEnginePollHook(nullptr);
            closing = std::move(Monitor());
        }
    }
    return true;
}

}  // namespace hidseam
