// Arrivals and removals from a device monitor reach the recipients registered on the polling
// thread through the engine poll hook, as WM_DEVICECHANGE reaches the hidden window on Windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "EnginePollHook.h"
#include "HIDSeam.h"
#include "HidrawNotifications.h"
#include "HidrawSysfs.h"
#include "ScratchFolder.h"

namespace {

// Events a test queues; the monitor hands them out like a socket that has them waiting.
std::mutex queuedMutex;
std::deque<hidraw::NodeEvent> queued;
int monitorsOpened = 0;

class QueueMonitor : public hidraw::CDeviceMonitor {
public:
    bool Receive(hidraw::NodeEvent& event) override {
        std::lock_guard<std::mutex> lock(queuedMutex);
        if (queued.empty()) return false;
        event = queued.front();
        queued.pop_front();
        return true;
    }
    const char* Source() const override { return "test"; }
};

std::unique_ptr<hidraw::CDeviceMonitor> OpenQueueMonitor() {
    ++monitorsOpened;
    return std::unique_ptr<hidraw::CDeviceMonitor>(new QueueMonitor);
}
std::unique_ptr<hidraw::CDeviceMonitor> OpenNothing() { return nullptr; }

void Queue(hidraw::NodeEvent::Kind kind, const std::string& node) {
    std::lock_guard<std::mutex> lock(queuedMutex);
    hidraw::NodeEvent event;
    event.kind = kind;
    event.node = node;
    queued.push_back(event);
}

struct Seen {
    uint32_t message;
    uintptr_t event;
    std::string name;
};

class Recorder : public hidseam::NotificationRecipient {
public:
    void OnMessage(uint32_t message, uintptr_t event, const void* record) override {
        const hidseam::BroadcastDeviceInterface* b = static_cast<const hidseam::BroadcastDeviceInterface*>(record);
        EXPECT_EQ(hidseam::kDeviceTypeInterface, b->deviceType);
        seen.push_back({message, event, std::string(b->name)});
    }
    std::vector<Seen> seen;
};

hidseam::BroadcastDeviceInterface HidFilter() {
    hidseam::BroadcastDeviceInterface filter = {};
    filter.size = 32;
    filter.deviceType = hidseam::kDeviceTypeInterface;
    hidseam::GetHidGuid(filter.classGuid);
    return filter;
}

class Notifications : public ::testing::Test {
protected:
    void SetUp() override {
        hidraw::SetMonitorFactory(&OpenQueueMonitor);
        monitorsOpened = 0;
        std::lock_guard<std::mutex> lock(queuedMutex);
        queued.clear();
    }
    void TearDown() override { hidraw::SetMonitorFactory(nullptr); }
};

}  // namespace

TEST_F(Notifications, ThePollHookDeliversArrivalsAndRemovals) {
    Recorder recorder;
    void* handle = hidseam::RegisterNotification(&recorder, HidFilter(), hidseam::kNotifyWindowHandle);
    ASSERT_NE(nullptr, handle);
    EXPECT_STREQ("test", hidraw::MonitorSource());
    Queue(hidraw::NodeEvent::kArrival, "/dev/hidraw3");
    Queue(hidraw::NodeEvent::kRemoval, "/dev/hidraw1");
    EXPECT_TRUE(recorder.seen.empty());  // nothing before the poll
    RunEnginePollHook();                 // what the driver's poll entry does
    ASSERT_EQ(2u, recorder.seen.size());
    EXPECT_EQ(hidseam::kMessageDeviceChange, recorder.seen[0].message);
    EXPECT_EQ(hidseam::kDeviceArrival, recorder.seen[0].event);
    EXPECT_EQ("/dev/hidraw3", recorder.seen[0].name);
    EXPECT_EQ(hidseam::kDeviceRemoveComplete, recorder.seen[1].event);
    EXPECT_EQ("/dev/hidraw1", recorder.seen[1].name);
    EXPECT_TRUE(hidseam::UnregisterNotification(handle));
    EXPECT_EQ(nullptr, hidraw::MonitorSource());  // the last registration closed the monitor
    // No hook is left behind: a queued event stays undelivered.
    Queue(hidraw::NodeEvent::kArrival, "/dev/hidraw4");
    RunEnginePollHook();
    EXPECT_EQ(2u, recorder.seen.size());
}

TEST_F(Notifications, ManagersShareOneMonitor) {
    Recorder first, second;
    void* a = hidseam::RegisterNotification(&first, HidFilter(), hidseam::kNotifyWindowHandle);
    void* b = hidseam::RegisterNotification(&second, HidFilter(), hidseam::kNotifyWindowHandle);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(1, monitorsOpened);
    Queue(hidraw::NodeEvent::kArrival, "/dev/hidraw0");
    EXPECT_EQ(2, hidraw::DeliverNotifications());
    EXPECT_EQ(1u, first.seen.size());
    EXPECT_EQ(1u, second.seen.size());
    EXPECT_TRUE(hidseam::UnregisterNotification(a));
    Queue(hidraw::NodeEvent::kArrival, "/dev/hidraw1");
    EXPECT_EQ(1, hidraw::DeliverNotifications());
    EXPECT_EQ(1u, first.seen.size());
    EXPECT_EQ(2u, second.seen.size());
    EXPECT_TRUE(hidseam::UnregisterNotification(b));
    EXPECT_FALSE(hidseam::UnregisterNotification(b));
}

TEST_F(Notifications, OnlyTheRegisteringThreadReceives) {
    Recorder recorder;
    void* handle = nullptr;
    std::thread other([&] { handle = hidseam::RegisterNotification(&recorder, HidFilter(), hidseam::kNotifyWindowHandle); });
    other.join();
    ASSERT_NE(nullptr, handle);
    Queue(hidraw::NodeEvent::kArrival, "/dev/hidraw5");
    EXPECT_EQ(0, hidraw::DeliverNotifications());  // consumed, but nobody here registered
    EXPECT_TRUE(recorder.seen.empty());
    EXPECT_TRUE(hidseam::UnregisterNotification(handle));
}

TEST_F(Notifications, ARecipientMayUnregisterAnotherDuringDelivery) {
    // The first recipient destroys the second manager when it hears of an arrival.
    struct Destroyer : hidseam::NotificationRecipient {
        void* victim = nullptr;
        int calls = 0;
        void OnMessage(uint32_t, uintptr_t, const void*) override {
            ++calls;
            if (victim) hidseam::UnregisterNotification(victim);
            victim = nullptr;
        }
    } destroyer;
    Recorder victim;
    void* a = hidseam::RegisterNotification(&destroyer, HidFilter(), hidseam::kNotifyWindowHandle);
    destroyer.victim = hidseam::RegisterNotification(&victim, HidFilter(), hidseam::kNotifyWindowHandle);
    Queue(hidraw::NodeEvent::kArrival, "/dev/hidraw0");
    EXPECT_EQ(1, hidraw::DeliverNotifications());
    EXPECT_EQ(1, destroyer.calls);
    EXPECT_TRUE(victim.seen.empty());
    EXPECT_TRUE(hidseam::UnregisterNotification(a));
}

TEST_F(Notifications, RegistrationsThatCannotBeServedAreRefused) {
    Recorder recorder;
    hidseam::BroadcastDeviceInterface volume = HidFilter();
    volume.deviceType = hidseam::kDeviceTypeVolume;
    EXPECT_EQ(nullptr, hidseam::RegisterNotification(&recorder, volume, hidseam::kNotifyWindowHandle));
    hidseam::BroadcastDeviceInterface otherClass = HidFilter();
    otherClass.classGuid.data1 ^= 1;
    EXPECT_EQ(nullptr, hidseam::RegisterNotification(&recorder, otherClass, hidseam::kNotifyWindowHandle));
    EXPECT_EQ(nullptr, hidseam::RegisterNotification(nullptr, HidFilter(), hidseam::kNotifyWindowHandle));
    EXPECT_EQ(0, monitorsOpened);
    // No monitor can be opened (neither udev nor the kernel's socket): no registration, as on
    // Windows without a window.
    hidraw::SetMonitorFactory(&OpenNothing);
    EXPECT_EQ(nullptr, hidseam::RegisterNotification(&recorder, HidFilter(), hidseam::kNotifyWindowHandle));
}

TEST_F(Notifications, APollTakesAtMost64Events) {
    Recorder recorder;
    void* handle = hidseam::RegisterNotification(&recorder, HidFilter(), hidseam::kNotifyWindowHandle);
    for (int i = 0; i < 70; ++i) Queue(hidraw::NodeEvent::kArrival, "/dev/hidraw" + std::to_string(i));
    EXPECT_EQ(64, hidraw::DeliverNotifications());
    EXPECT_EQ(6, hidraw::DeliverNotifications());
    EXPECT_EQ("/dev/hidraw69", recorder.seen.back().name);
    hidseam::UnregisterNotification(handle);
}

TEST(KernelMonitor, OpensWithoutUdevAndHasNothingWaiting) {
    // The kernel's uevent socket opens for any user; nothing hidraw is waiting on this host.
    std::unique_ptr<hidraw::CDeviceMonitor> monitor = hidraw::CDeviceMonitor::CreateKernel();
    ASSERT_NE(nullptr, monitor);
    EXPECT_STREQ("kernel", monitor->Source());
    // Its socket is what a program's own loop waits on.
    EXPECT_GE(monitor->Descriptor(), 0);
    hidraw::NodeEvent event;
    EXPECT_FALSE(monitor->Receive(event));
}

TEST(MonitorChoice, UdevWhenItsDaemonRunsElseTheKernel) {
    // The choice looks at udev's control socket below the system root.
    ScratchFolder root("tovusb-udev");
    ASSERT_TRUE(root.Made());
    hidraw::SetSystemRoot(root.Path());
    EXPECT_FALSE(hidraw::UdevDaemonRuns());
    std::unique_ptr<hidraw::CDeviceMonitor> without = hidraw::CDeviceMonitor::Create();
    ASSERT_NE(nullptr, without);
    EXPECT_STREQ("kernel", without->Source());
    ASSERT_TRUE(root.MakeFolder("run/udev/control"));
    EXPECT_TRUE(hidraw::UdevDaemonRuns());
    // libudev.so.1 is loaded (scripts/bootstrap.sh installs it) and its monitor opens.
    std::unique_ptr<hidraw::CDeviceMonitor> with = hidraw::CDeviceMonitor::Create();
    ASSERT_NE(nullptr, with);
    EXPECT_STREQ("udev", with->Source());
    EXPECT_GE(with->Descriptor(), 0);
    hidraw::NodeEvent event;
    EXPECT_FALSE(with->Receive(event));  // nothing waiting, and the receive does not wait
    hidraw::SetSystemRoot("");
}

// Lost events (a socket that overflowed) are made good from the nodes present: each recipient is
// told the differences against what it knows, and events older than the listing change nothing.
TEST_F(Notifications, LostEventsAreMadeGoodFromTheNodesPresent) {
    ScratchFolder root("tovusb-lost");
    ASSERT_TRUE(root.Made());
    ASSERT_TRUE(root.MakeFolder("sys/class/hidraw"));
    hidraw::SetSystemRoot(root.Path());
    // Node N held by HID device number K: its class link names that device.
    auto plug = [&](int node, int device) {
        const std::string name = "hidraw" + std::to_string(node);
        const std::string link = root.Path() + "/sys/class/hidraw/" + name;
        unlink(link.c_str());
        const std::string target = "../../devices/virtual/misc/uhid/0003:0911:0C1C.000" + std::to_string(device) +
                                   "/hidraw/" + name;
        ASSERT_EQ(0, symlink(target.c_str(), link.c_str()));
    };
    auto unplug = [&](int node) {
        ASSERT_EQ(0, unlink((root.Path() + "/sys/class/hidraw/hidraw" + std::to_string(node)).c_str()));
    };
    plug(0, 1);
    plug(1, 2);
    plug(3, 3);  // present before the recipient: never announced
    Recorder recorder;
    void* handle = hidseam::RegisterNotification(&recorder, HidFilter(), hidseam::kNotifyWindowHandle);
    ASSERT_NE(nullptr, handle);
    const unsigned long lostBefore = hidraw::LostEventReports();

    // While the events were lost: hidraw1 went, hidraw2 came, and hidraw0 went and its number went
    // to another device. Two older events still wait behind the loss.
    unplug(1);
    plug(2, 4);
    plug(0, 5);
    hidraw::NodeEvent lost;
    lost.kind = hidraw::NodeEvent::kLost;
    {
        std::lock_guard<std::mutex> lock(queuedMutex);
        queued.push_back(lost);
    }
    Queue(hidraw::NodeEvent::kArrival, "/dev/hidraw2");
    Queue(hidraw::NodeEvent::kRemoval, "/dev/hidraw1");
    RunEnginePollHook();
    EXPECT_EQ(lostBefore + 1, hidraw::LostEventReports());
    const uintptr_t kIn = hidseam::kDeviceArrival, kOut = hidseam::kDeviceRemoveComplete;
    std::vector<std::pair<uintptr_t, std::string>> seen;
    for (const Seen& s : recorder.seen) seen.emplace_back(s.event, s.name);
    using Told = std::vector<std::pair<uintptr_t, std::string>>;
    EXPECT_EQ(seen, (Told{{kOut, "/dev/hidraw0"}, {kIn, "/dev/hidraw0"}, {kOut, "/dev/hidraw1"}, {kIn, "/dev/hidraw2"}}));
    // The loss ended that poll; the next one takes the two older events, which change nothing.
    RunEnginePollHook();
    EXPECT_EQ(4u, recorder.seen.size());
    {
        std::lock_guard<std::mutex> lock(queuedMutex);
        EXPECT_TRUE(queued.empty());
    }

    // Later events are followed again, on relisted nodes and on the others alike.
    unplug(2);
    Queue(hidraw::NodeEvent::kRemoval, "/dev/hidraw2");
    unplug(3);
    Queue(hidraw::NodeEvent::kRemoval, "/dev/hidraw3");
    RunEnginePollHook();
    seen.clear();
    for (const Seen& s : recorder.seen) seen.emplace_back(s.event, s.name);
    ASSERT_EQ(6u, seen.size());
    EXPECT_EQ((Told{seen[4], seen[5]}), (Told{{kOut, "/dev/hidraw2"}, {kOut, "/dev/hidraw3"}}));
    EXPECT_TRUE(hidseam::UnregisterNotification(handle));
    hidraw::SetSystemRoot("");
}
