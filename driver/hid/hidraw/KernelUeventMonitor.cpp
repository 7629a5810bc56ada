// The kernel's own uevents (netlink group 1), for systems without udev's daemon.
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "DeviceMonitor.h"
#include "MonitorReceive.h"

namespace hidraw {

namespace {

constexpr unsigned kKernelGroup = 1;  // the kernel's uevents; udev's daemon re-sends on group 2

class CKernelUeventMonitor : public CDeviceMonitor {
public:
    explicit CKernelUeventMonitor(int fd) : fd(fd), buffer(kMaxUeventSize) {}
    ~CKernelUeventMonitor() override { close(fd); }
    const char* Source() const override { return "kernel"; }
    int Descriptor() const override { return fd; }

    bool Receive(NodeEvent& event) override {
        return ReceiveOrReportLoss(lost, event, [this](NodeEvent& next) { return ReceiveOne(next); });
    }

private:
    MonitorMessage ReceiveOne(NodeEvent& event) {
        sockaddr_nl sender = {};
        iovec part = {buffer.data(), buffer.size()};
        msghdr header = {};
        header.msg_name = &sender;
        header.msg_namelen = sizeof sender;
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        const ssize_t n = recvmsg(fd, &header, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) return MonitorMessage::kOther;
            // ENOBUFS: messages were dropped while the buffer was full; anything else (EAGAIN):
            // nothing waits.
            return errno == ENOBUFS ? MonitorMessage::kFailed : MonitorMessage::kNone;
        }
        if (lost) return MonitorMessage::kOther;  // discarded unread
        // Only the kernel (port 0) speaks on this group; a truncated message is not read.
        if (sender.nl_pid != 0 || (header.msg_flags & MSG_TRUNC)) return MonitorMessage::kOther;
        return ParseKernelUevent(buffer.data(), static_cast<size_t>(n), event) ? MonitorMessage::kEvent
                                                                             : MonitorMessage::kOther;
    }

    int fd;
    std::vector<char> buffer;
    bool lost = false;  // messages were dropped; the socket is being emptied
};

}  // namespace

void EnlargeReceiveBuffer(int fd) {
    const int wanted = kWantedReceiveBuffer;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &wanted, sizeof wanted) == 0) return;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);  // capped at rmem_max
}

std::unique_ptr<CDeviceMonitor> CDeviceMonitor::CreateKernel() {
    const int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) return nullptr;
    sockaddr_nl address = {};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kKernelGroup;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return nullptr;
    }
    EnlargeReceiveBuffer(fd);
    return std::unique_ptr<CDeviceMonitor>(new CKernelUeventMonitor(fd));
}

std::unique_ptr<CDeviceMonitor> CDeviceMonitor::Create() {
    if (UdevDaemonRuns()) {
        std::unique_ptr<CDeviceMonitor> udev = CreateUdev();
        if (udev) return udev;
    }
    return CreateKernel();
}

}  // namespace hidraw
