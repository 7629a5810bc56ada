// libudev's monitor, loaded with dlopen (see DeviceMonitor.h for why).
#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "DeviceMonitor.h"
#include "MonitorReceive.h"
#include "HidrawSysfs.h"

namespace hidraw {

namespace {

// The part of libudev's ABI the monitor uses; the structures stay opaque.
struct udev;
struct udev_monitor;
struct udev_device;

struct UdevLibrary {
    void* handle = nullptr;  // the dlopen reference; dropped when the monitor closes
    udev* (*newContext)();
    udev* (*unrefContext)(udev*);
    udev_monitor* (*newMonitor)(udev*, const char*);
    int (*addMatch)(udev_monitor*, const char*, const char*);
    int (*enableReceiving)(udev_monitor*);
    int (*monitorFd)(udev_monitor*);
    udev_device* (*receiveDevice)(udev_monitor*);
    udev_monitor* (*unrefMonitor)(udev_monitor*);
    const char* (*action)(udev_device*);
    const char* (*devnode)(udev_device*);
    udev_device* (*unrefDevice)(udev_device*);
};

template <typename F>
bool Resolve(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

// Loads libudev for one monitor: false, with nothing held, when it cannot be loaded or lacks a
// function. Each monitor holds its own reference and drops it as it closes, so that once the
// driver's last manager has gone (and the driver is unloaded) libudev is mapped only if the ICA
// Client itself loaded it.
bool LoadLibrary(UdevLibrary& library) {
    void* handle = dlopen("libudev.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    const bool resolved = Resolve(handle, "udev_new", library.newContext) &&
                          Resolve(handle, "udev_unref", library.unrefContext) &&
                          Resolve(handle, "udev_monitor_new_from_netlink", library.newMonitor) &&
                          Resolve(handle, "udev_monitor_filter_add_match_subsystem_devtype", library.addMatch) &&
                          Resolve(handle, "udev_monitor_enable_receiving", library.enableReceiving) &&
                          Resolve(handle, "udev_monitor_get_fd", library.monitorFd) &&
                          Resolve(handle, "udev_monitor_receive_device", library.receiveDevice) &&
                          Resolve(handle, "udev_monitor_unref", library.unrefMonitor) &&
                          Resolve(handle, "udev_device_get_action", library.action) &&
                          Resolve(handle, "udev_device_get_devnode", library.devnode) &&
                          Resolve(handle, "udev_device_unref", library.unrefDevice);
    if (!resolved) {
        dlclose(handle);
        return false;
    }
    library.handle = handle;
    return true;
}

class CUdevMonitor : public CDeviceMonitor {
public:
    CUdevMonitor(const UdevLibrary& library, udev* context, udev_monitor* monitor)
        : library(library), context(context), monitor(monitor) {}
    ~CUdevMonitor() override {
        library.unrefMonitor(monitor);
        library.unrefContext(context);
        dlclose(library.handle);
    }
    const char* Source() const override { return "udev"; }
    int Descriptor() const override { return library.monitorFd(monitor); }

    bool Receive(NodeEvent& event) override {
        return ReceiveOrReportLoss(lost, event, [this](NodeEvent& next) { return ReceiveOne(next); });
    }

private:
    MonitorMessage ReceiveOne(NodeEvent& event) {
        // Looked at with a zero timeout first: the receive itself is not made to wait.
        pollfd ready = {library.monitorFd(monitor), POLLIN, 0};
        if (poll(&ready, 1, 0) <= 0 || !(ready.revents & POLLIN)) return MonitorMessage::kNone;
        errno = 0;
        udev_device* device = library.receiveDevice(monitor);
        if (!device) {
            // A message libudev refused (not from udev, filtered out) leaves no error, or EAGAIN
            // once nothing else waits. Any other error is a failed receive (ENOBUFS: messages
            // were dropped).
            const bool failed = errno != 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK;
            return failed ? MonitorMessage::kFailed : MonitorMessage::kOther;
        }
        const bool wanted = !lost && MakeNodeEvent(library.action(device), library.devnode(device), event);
        library.unrefDevice(device);
        return wanted ? MonitorMessage::kEvent : MonitorMessage::kOther;
    }


    const UdevLibrary library;  // its own copy: the reference on libudev is this monitor's
    udev* context;
    udev_monitor* monitor;
    bool lost = false;  // a receive failed; the socket is being emptied
};

}  // namespace

bool UdevDaemonRuns() { return access((SystemRoot() + "/run/udev/control").c_str(), F_OK) == 0; }

std::unique_ptr<CDeviceMonitor> CDeviceMonitor::CreateUdev() {
    UdevLibrary library;
    if (!LoadLibrary(library)) return nullptr;
    udev* context = library.newContext();
    udev_monitor* monitor = context ? library.newMonitor(context, "udev") : nullptr;
    if (!monitor || library.addMatch(monitor, "hidraw", nullptr) < 0 || library.enableReceiving(monitor) < 0) {
        if (monitor) library.unrefMonitor(monitor);
        if (context) library.unrefContext(context);
        dlclose(library.handle);
        return nullptr;
    }
    EnlargeReceiveBuffer(library.monitorFd(monitor));
    return std::unique_ptr<CDeviceMonitor>(new CUdevMonitor(library, context, monitor));
}

}  // namespace hidraw
