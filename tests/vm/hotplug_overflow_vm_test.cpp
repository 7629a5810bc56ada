// No hot-plug event is lost for good: the hidraw backend's HID manager on the kernel's own uevents
// (as on a system without udevd), whose socket overflows while nobody polls. Every uevent of the
// system competes for that socket, so a flood of other uevents between two polls drops the
// hand-set's own. The arrival and the removal must still be announced, from a new listing. Runs in
// the VM (scripts/test-steps/vm.sh) as root; the flood is "change" written to a device's uevent file.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DeviceMonitor.h"
#include "HidrawNotifications.h"
#include "UhidDevice.h"
#include "USBHIDManager.h"

using namespace uhidplayer;
using namespace std::chrono_literals;

namespace {

// What the kernel monitor's socket could hold once opened, before the test shrinks it.
int openedReceiveBuffer = 0;

// The kernel's uevents, with the socket's buffer then shrunk to the kernel's least, so that a
// flood of a few hundred uevents surely overflows it.
std::unique_ptr<hidraw::CDeviceMonitor> OpenShrunkKernelMonitor() {
    std::unique_ptr<hidraw::CDeviceMonitor> monitor = hidraw::CDeviceMonitor::CreateKernel();
    if (!monitor) return monitor;
    socklen_t size = sizeof openedReceiveBuffer;
    getsockopt(monitor->Descriptor(), SOL_SOCKET, SO_RCVBUF, &openedReceiveBuffer, &size);
    const int least = 1;
    setsockopt(monitor->Descriptor(), SOL_SOCKET, SO_RCVBUFFORCE, &least, sizeof least);
    return monitor;
}

class Recorder : public CUSBHIDManager {
public:
    void OnDeviceArrival(const USBHIDDeviceInfo& info) override { arrivals.push_back(info); }
    void OnDeviceRemoval(const USBHIDDeviceInfo& info) override { removals.push_back(info); }
    std::vector<USBHIDDeviceInfo> arrivals, removals;
};

// 300 "change" uevents of /dev/null, each sent to every uevent socket before the write returns.
void Flood() {
    for (int i = 0; i < 300; ++i) {
        std::ofstream uevent("/sys/class/mem/null/uevent");
        uevent << "change";
    }
}

// Polls as the engine does until done() holds, for at most 20 s: the backend hands the monitor's
// events to the manager, which delivers the arrivals its probe thread has probed.
bool PollUntil(CUSBHIDManager& manager, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
        hidraw::DeliverNotifications();
        manager.DeliverDeviceChanges();
        if (done()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

bool NodePresent(const std::string& node) { return access(("/sys/class/hidraw/" + node.substr(5)).c_str(), F_OK) == 0; }

TEST(HotplugOverflowVm, APlugAndAnUnplugLostInAnOverflowAreStillAnnounced) {
    hidraw::SetMonitorFactory(&OpenShrunkKernelMonitor);
    // A foot switch present before the manager: it must never be announced.
    UhidDevice before(*FindUhidModel("Footswitch"), 0);
    const std::string beforeNode = before.WaitForNode(10s);
    ASSERT_FALSE(beforeNode.empty());
    {
        Recorder manager;
        ASSERT_TRUE(manager.ReceivesNotifications());
        ASSERT_STREQ(hidraw::MonitorSource(), "kernel");
        // As root the buffer was forced to 16 MiB (the kernel reports twice what was set).
        EXPECT_GE(openedReceiveBuffer, 2 * hidraw::kWantedReceiveBuffer);

        // Nobody polls: the flood fills the socket, and the hand-set's uevents find no room.
        const unsigned long lostBefore = hidraw::LostEventReports();
        Flood();
        std::unique_ptr<UhidDevice> handset(new UhidDevice(*FindUhidModel("SpeechMikeIII"), 0));
        const std::string node = handset->WaitForNode(10s);
        ASSERT_FALSE(node.empty());
        EXPECT_TRUE(PollUntil(manager, [&] { return !manager.arrivals.empty(); })) << "the arrival was lost";
        EXPECT_GT(hidraw::LostEventReports(), lostBefore) << "the socket never overflowed";
        ASSERT_EQ(manager.arrivals.size(), 1u);
        EXPECT_EQ(manager.arrivals[0].devicePath, node);
        EXPECT_EQ(manager.arrivals[0].productID, 0x0C1C);

        // Again for the removal: flood, unplug, and only then poll.
        const unsigned long lostBeforeRemoval = hidraw::LostEventReports();
        Flood();
        handset->Destroy();
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (NodePresent(node) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
        ASSERT_FALSE(NodePresent(node));
        EXPECT_TRUE(PollUntil(manager, [&] { return !manager.removals.empty(); })) << "the removal was lost";
        EXPECT_GT(hidraw::LostEventReports(), lostBeforeRemoval) << "the socket never overflowed";
        ASSERT_EQ(manager.removals.size(), 1u);
        EXPECT_EQ(manager.removals[0].devicePath, node);
        EXPECT_EQ(manager.removals[0].productID, 0x0C1C);
        EXPECT_EQ(manager.arrivals.size(), 1u) << "something else was announced";
    }
    hidraw::SetMonitorFactory(nullptr);
}

}  // namespace
