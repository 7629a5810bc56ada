// Where the hidraw backend learns of arriving and departing device nodes.
//
// Where udev's daemon runs (its control socket /run/udev/control exists), the monitor is libudev's
// "udev" monitor for the subsystem hidraw: udev announces a device only after its rules ran, so the
// node already has the permissions the rules give it when the driver opens it. libudev is loaded
// with dlopen ("libudev.so.1", the library's stable ABI) and the few functions are declared here,
// so the driver needs no libudev at build time (no development package for every architecture)
// and starts on a system without it.
// Without udev's daemon (a minimal thin-client image, a container) nobody would ever announce a
// device on udev's channel; the monitor then reads the kernel's own uevents (netlink group 1),
// sent after devtmpfs made the node with the kernel's default permissions (root only, unless the
// image changes them). Messages not sent by the kernel are ignored.
#pragma once

#include <memory>

#include "NodeEvent.h"

namespace hidraw {

class CDeviceMonitor {
public:
    virtual ~CDeviceMonitor() = default;
    // udev's monitor when its daemon runs and libudev loads, else the kernel's uevents; null when
    // neither can be opened.
    static std::unique_ptr<CDeviceMonitor> Create();
    static std::unique_ptr<CDeviceMonitor> CreateUdev();
    static std::unique_ptr<CDeviceMonitor> CreateKernel();

    // Takes the next waiting event without blocking; false when none is waiting. Messages that are
    // not hidraw arrivals or removals are consumed and skipped. When messages were lost (the
    // socket's buffer overflowed: ENOBUFS) or a receive failed, the event is a kLost.
    virtual bool Receive(NodeEvent& event) = 0;
    // "udev" or "kernel".
    virtual const char* Source() const = 0;
    // The descriptor that becomes readable when an event waits (for a program that sleeps in
    // poll() until something happens); -1 when the monitor has none.
    virtual int Descriptor() const { return -1; }
};

// Every uevent of the system competes for a monitor's socket between two polls of the engine, so its
// receive buffer is made as large as the process may: kWantedReceiveBuffer with SO_RCVBUFFORCE
// (which needs CAP_NET_ADMIN), else with SO_RCVBUF, which the kernel caps at net.core.rmem_max.
// The memory is taken only while messages wait.
constexpr int kWantedReceiveBuffer = 16 * 1024 * 1024;
void EnlargeReceiveBuffer(int fd);

// True when udev's daemon runs (its control socket exists).
bool UdevDaemonRuns();

}  // namespace hidraw
