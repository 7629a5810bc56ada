// Arrival and removal notifications of the hidraw backend. The managers register recipients; the
// first registration opens the device monitor and installs the engine poll hook, so that every poll
// of the driver (on the engine thread, never blocking) takes the monitor's waiting events and hands
// each to the recipients registered on that thread, as the window procedure receives
// WM_DEVICECHANGE on Windows: message kMessageDeviceChange, the event, and a
// DEV_BROADCAST_DEVICEINTERFACE_A record naming the node.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "DeviceMonitor.h"
#include "EnginePollHook.h"
#include "HIDSeam.h"
#include "HidrawNotifications.h"
#include "HidrawSysfs.h"

namespace {

// What a recipient is told: the event and the node it names.
struct Message {
    uintptr_t event;
    std::string node;
};

// The nodes present now, each with the device that has it (hidraw::NodeIdentity).
using NodeMap = std::map<std::string, std::string>;
NodeMap PresentNodes() {
    NodeMap nodes;
    for (const std::string& node : hidraw::ListHidrawNodes()) nodes[node] = hidraw::NodeIdentity(node);
    return nodes;
}

// One recipient and what it knows. present holds the nodes it was told of and those present when it
// registered (which it was never told of, as no window hears of devices present before it): after
// lost events, a new listing is compared with it, and only the differences are announced.
// relisted holds the nodes whose state such a listing set: events older than the listing may still
// wait for them in the socket, so each of their events only makes the node be looked at again.
struct Registration {
    hidseam::NotificationRecipient* recipient;
    std::thread::id owner;
    NodeMap present;
    std::set<std::string> relisted;
    bool lost;  // the monitor lost events since this recipient's last listing
};

// Threads: registrations and the monitor are guarded by registryMutex. Registering and
// unregistering happen on the managers' thread, delivery on the engine thread; in the driver both
// are the engine thread. A registration's present and relisted change only on its own thread, under
// the lock. The lock is never held while a recipient runs (a recipient may destroy a manager,
// which unregisters).
std::mutex registryMutex;
std::atomic<unsigned long> lostEventReports(0);
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

// Brings what registration knows of node in line with identity (what the node holds now, empty
// when it is gone): a device that went is removed, one that came arrives; a node that changed
// devices does both. Appends what the recipient is to be told.
void Reconcile(Registration& registration, const std::string& node, const std::string& identity,
               std::vector<Message>& messages) {
    auto known = registration.present.find(node);
    if (known != registration.present.end() && known->second == identity) return;
    if (known != registration.present.end()) {
        messages.push_back({hidseam::kDeviceRemoveComplete, node});
        registration.present.erase(known);
    }
    if (!identity.empty()) {
        messages.push_back({hidseam::kDeviceArrival, node});
        registration.present[node] = identity;
    }
}

// After lost events: the differences between what registration knows and the nodes present now.
// Only the nodes that differ are announced, so only new nodes get probed.
void Relist(Registration& registration, const NodeMap& now, std::vector<Message>& messages) {
    std::set<std::string> nodes;
    for (const auto& known : registration.present) nodes.insert(known.first);
    for (const auto& current : now) nodes.insert(current.first);
    for (const std::string& node : nodes) {
        auto current = now.find(node);
        const size_t before = messages.size();
        Reconcile(registration, node, current == now.end() ? std::string() : current->second, messages);
        if (messages.size() != before) registration.relisted.insert(node);
    }
    registration.lost = false;
}

// What one monitor event tells registration.
void Follow(Registration& registration, const hidraw::NodeEvent& event, std::vector<Message>& messages) {
    const std::string identity = hidraw::NodeIdentity(event.node);
    if (registration.relisted.count(event.node)) {
        Reconcile(registration, event.node, identity, messages);
        return;
    }
    if (event.kind == hidraw::NodeEvent::kArrival) {
        registration.present[event.node] = identity;
        messages.push_back({hidseam::kDeviceArrival, event.node});
    } else {
        registration.present.erase(event.node);
        messages.push_back({hidseam::kDeviceRemoveComplete, event.node});
    }
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
    // Bounded per poll: what is left waits in the monitor's socket for the next poll. A loss ends
    // the poll after its listing, so a monitor that keeps failing costs one listing per poll.
    bool lossListed = false;
    for (int i = 0; i < 64 && !lossListed; ++i) {
        std::vector<std::pair<Registration*, std::vector<Message>>> work;
        {
            std::lock_guard<std::mutex> lock(registryMutex);
            if (!Monitor()) break;
            bool relist = false;
            for (Registration* registration : Registrations()) {
                if (registration->owner == self && registration->lost) relist = true;
            }
            NodeEvent event;
            if (!relist) {
                if (!Monitor()->Receive(event)) break;
                if (event.kind == NodeEvent::kLost) {
                    ++lostEventReports;
                    // Every recipient missed them; each lists again on its own thread.
                    for (Registration* registration : Registrations()) registration->lost = true;
                    relist = true;
                    lossListed = true;
                }
            }
            const NodeMap now = relist ? PresentNodes() : NodeMap();
            for (Registration* registration : Registrations()) {
                if (registration->owner != self) continue;
                work.emplace_back(registration, std::vector<Message>());
                if (registration->lost) {
                    Relist(*registration, now, work.back().second);
                } else if (!relist) {
                    Follow(*registration, event, work.back().second);
                }
            }
        }
        for (auto& item : work) {
            for (const Message& message : item.second) {
                hidseam::NotificationRecipient* recipient = nullptr;
                {
                    std::lock_guard<std::mutex> lock(registryMutex);
                    if (IsRegistered(item.first)) recipient = item.first->recipient;
                }
                if (!recipient) break;
                const std::vector<unsigned char> record = BuildInterfaceBroadcast(message.node);
                recipient->OnMessage(hidseam::kMessageDeviceChange, message.event, record.data());
                ++delivered;
            }
        }
    }
    return delivered;
}

unsigned long LostEventReports() { return lostEventReports.load(); }

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
    // The nodes present now are known without being announced, as a window hears nothing of the
    // devices present before it.
    Registration* registration = new Registration{static_cast<NotificationRecipient*>(recipient),
                                                  std::this_thread::get_id(), PresentNodes(), {}, false};
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
