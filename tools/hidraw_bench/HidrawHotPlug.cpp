// hidraw_bench: what one engine poll costs on the hidraw backend when device nodes come and go,
// natively. A manager of the driver's HID layer registers for notifications as a session does; a
// fake /sys/class/hidraw and /dev under a scratch folder hold 8 nodes, and a ninth is plugged or
// unplugged before every poll (its class link made or removed, its event queued where the kernel's
// monitor would have it). Each poll is the driver's poll entry's hook: the event's delivery, the
// manager's probe of the arriving node (open, then the first hidraw ioctl, which a regular file
// refuses, so the descriptor is not read or parsed here) or its lookup of the departing one.
// Every 16th poll reports lost events instead, so the poll lists the nodes again. Prints the
// median, p99 and maximum in microseconds with the host's load; the real kernel's figure, ioctls
// and descriptor parse included, comes from the VM's bench.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EnginePollHook.h"
#include "HidrawNotifications.h"
#include "HidrawSysfs.h"
#include "USBHIDManager.h"

namespace {

std::deque<hidraw::NodeEvent> waiting;  // the bench's only thread

class QueueMonitor : public hidraw::CDeviceMonitor {
public:
    bool Receive(hidraw::NodeEvent& event) override {
        if (waiting.empty()) return false;
        event = waiting.front();
        waiting.pop_front();
        return true;
    }
    const char* Source() const override { return "bench"; }
};

std::unique_ptr<hidraw::CDeviceMonitor> OpenQueueMonitor() {
    return std::unique_ptr<hidraw::CDeviceMonitor>(new QueueMonitor);
}

class CountingManager : public CUSBHIDManager {
public:
    void OnDeviceArrival(const USBHIDDeviceInfo&) override { ++arrivals; }
    void OnDeviceRemoval(const USBHIDDeviceInfo&) override { ++removals; }
    int arrivals = 0;
    int removals = 0;
};

std::string root;
int deviceNumber = 0;  // the kernel's HID device numbers are never given twice

bool Plug(int node) {
    const std::string name = "hidraw" + std::to_string(node);
    const std::string dev = root + "/dev/" + name;
    std::ofstream(dev.c_str()).put('\0');
    char target[160];
    snprintf(target, sizeof(target), "../../devices/pci0000:00/usb1/1-1/1-1:1.0/0003:0911:0C1C.%04X/hidraw/%s",
             ++deviceNumber, name.c_str());
    return symlink(target, (root + "/sys/class/hidraw/" + name).c_str()) == 0;
}

bool Unplug(int node) {
    const std::string name = "hidraw" + std::to_string(node);
    unlink((root + "/dev/" + name).c_str());
    return unlink((root + "/sys/class/hidraw/" + name).c_str()) == 0;
}

void Queue(hidraw::NodeEvent::Kind kind, int node) {
    hidraw::NodeEvent event;
    event.kind = kind;
    if (kind != hidraw::NodeEvent::kLost) event.node = "/dev/hidraw" + std::to_string(node);
    waiting.push_back(event);
}

double Percentile(std::vector<double> sorted, double p) {
    const size_t index = static_cast<size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

int main() {
    char scratch[] = "/tmp/tovusb-hidraw-bench.XXXXXX";
    if (!mkdtemp(scratch)) return 1;
    root = scratch;
    for (const char* folder : {"/sys", "/sys/class", "/sys/class/hidraw", "/dev"}) {
        if (mkdir((root + folder).c_str(), 0700) != 0) return 1;
    }
    for (int node = 0; node < 8; ++node) {
        if (!Plug(node)) return 1;
    }
    hidraw::SetSystemRoot(root);
    hidraw::SetMonitorFactory(&OpenQueueMonitor);

    constexpr int kPolls = 2000;
    std::vector<double> micros;
    int plugs = 0, lostReports = 0;
    {
        CountingManager manager;
        if (!manager.ReceivesNotifications()) {
            fprintf(stderr, "hidraw_bench: the manager did not register for notifications\n");
            return 1;
        }
        bool present = false;
        for (int poll = 0; poll < kPolls; ++poll) {
            present = !present;
            if (!(present ? Plug(8) : Unplug(8))) return 1;
            ++plugs;
            if (poll % 16 == 15) {
                Queue(hidraw::NodeEvent::kLost, 0);
                ++lostReports;
            } else {
                Queue(present ? hidraw::NodeEvent::kArrival : hidraw::NodeEvent::kRemoval, 8);
            }
            const auto start = std::chrono::steady_clock::now();
            RunEnginePollHook();
            const auto end = std::chrono::steady_clock::now();
            micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        }
        if (!waiting.empty()) {
            fprintf(stderr, "hidraw_bench: %zu events were not delivered\n", waiting.size());
            return 1;
        }
        // The probe of a fake node fails at its first ioctl, so no arrival reaches the manager.
        printf("hidraw_bench: %d arrivals and %d removals reached the manager\n", manager.arrivals,
               manager.removals);
    }
    Unplug(8);
    for (int node = 0; node < 8; ++node) Unplug(node);
    for (const char* folder : {"/sys/class/hidraw", "/sys/class", "/sys", "/dev", ""}) rmdir((root + folder).c_str());

    std::sort(micros.begin(), micros.end());
    std::string load = "unknown";
    std::ifstream("/proc/loadavg") >> load;
    printf("hidraw backend, fake sysfs, 8 nodes, a ninth plugged or unplugged before each poll\n");
    printf("  (%d polls, %d plugs and unplugs, %d of them reported as lost events; load average %s)\n", kPolls,
           plugs, lostReports, load.c_str());
    printf("  VdPoll hook: median %.1f us, p99 %.1f us, max %.1f us\n", Percentile(micros, 0.5),
           Percentile(micros, 0.99), micros.back());
    return 0;
}
