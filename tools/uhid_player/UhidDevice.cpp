#include "UhidDevice.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace uhidplayer {

namespace {

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

std::string UniqueUniq() {
    static std::atomic<unsigned> counter{0};
    return "tovuhid-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

std::atomic<UhidDevice::Opener> g_opener{nullptr};

void CopyString(char* dest, size_t size, const std::string& text) {
    std::strncpy(dest, text.c_str(), size - 1);
    dest[size - 1] = 0;
}

}  // namespace

void UhidDevice::SetOpener(Opener opener) { g_opener = opener; }

UhidDevice::UhidDevice(const DeviceIdentity& identityIn, const UhidInterface& ifaceIn)
    : identity(identityIn), iface(ifaceIn) {
    if (iface.descriptor.size() > HID_MAX_DESCRIPTOR_SIZE) throw std::runtime_error("report descriptor too long");
    const Opener opener = g_opener.load();
    fd = opener ? opener() : ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error(Errno("open /dev/uhid"));
    stopFd = eventfd(0, EFD_CLOEXEC);
    if (stopFd < 0) {
        ::close(fd);
        fd = -1;
        throw std::runtime_error(Errno("eventfd"));
    }
    uhid_event ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.type = UHID_CREATE2;
    CopyString(reinterpret_cast<char*>(ev.u.create2.name), sizeof(ev.u.create2.name), identity.name);
    CopyString(reinterpret_cast<char*>(ev.u.create2.phys), sizeof(ev.u.create2.phys), "tovusb-uhid-player");
    CopyString(reinterpret_cast<char*>(ev.u.create2.uniq), sizeof(ev.u.create2.uniq), identity.uniq);
    ev.u.create2.rd_size = static_cast<uint16_t>(iface.descriptor.size());
    ev.u.create2.bus = identity.bus;
    ev.u.create2.vendor = identity.vendorID;
    ev.u.create2.product = identity.productID;
    ev.u.create2.version = identity.version;
    std::memcpy(ev.u.create2.rd_data, iface.descriptor.data(), iface.descriptor.size());
    try {
        Write(&ev, sizeof(ev));
    } catch (...) {
        ::close(fd);
        ::close(stopFd);
        fd = stopFd = -1;
        throw;
    }
    reader = std::thread([this] { ReadEvents(); });
}

UhidDevice::UhidDevice(const UhidModel& model, size_t index)
    : UhidDevice(DeviceIdentity{model.name, 0x03, model.vendorID, model.productID, model.version, UniqueUniq()},
                 model.interfaces.at(index)) {}

UhidDevice::~UhidDevice() { Destroy(); }

void UhidDevice::Write(const void* event, size_t size) {
    const ssize_t n = ::write(fd, event, size);
    if (n < 0) throw std::runtime_error(Errno("write /dev/uhid"));
    if (static_cast<size_t>(n) != size) throw std::runtime_error("short write to /dev/uhid");
}

void UhidDevice::SendInput(const std::vector<uint8_t>& wireBytes) {
    if (fd < 0) throw std::runtime_error("the uhid device is destroyed");
    if (wireBytes.size() > UHID_DATA_MAX) throw std::runtime_error("input report too long");
    uhid_event ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.type = UHID_INPUT2;
    ev.u.input2.size = static_cast<uint16_t>(wireBytes.size());
    std::memcpy(ev.u.input2.data, wireBytes.data(), wireBytes.size());
    Write(&ev, sizeof(ev));
}

void UhidDevice::SendReport(const std::vector<uint8_t>& windowsBytes) {
    if (iface.reportId != 0 || windowsBytes.empty()) {
        SendInput(windowsBytes);
    } else {
        SendInput(std::vector<uint8_t>(windowsBytes.begin() + 1, windowsBytes.end()));
    }
}

void UhidDevice::Destroy() {
    if (fd < 0) return;
    uhid_event ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.type = UHID_DESTROY;
    (void)::write(fd, &ev, sizeof(ev));  // closing the descriptor destroys the device as well
    const uint64_t one = 1;
    (void)::write(stopFd, &one, sizeof(one));
    if (reader.joinable()) reader.join();
    ::close(fd);
    ::close(stopFd);
    fd = stopFd = -1;
    std::lock_guard<std::mutex> lock(mutex);
    open = false;
    changed.notify_all();
}

// Reader thread.
void UhidDevice::ReadEvents() {
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) {
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return;
            continue;
        }
        uhid_event ev;
        std::memset(&ev, 0, sizeof(ev));
        const ssize_t n = ::read(fd, &ev, sizeof(ev));
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            return;
        }
        std::unique_lock<std::mutex> lock(mutex);
        switch (ev.type) {
            case UHID_START: started = true; break;
            case UHID_STOP: started = false; break;
            case UHID_OPEN: open = true; ++opens; break;
            case UHID_CLOSE: open = false; break;
            case UHID_OUTPUT: {
                const size_t size = std::min<size_t>(ev.u.output.size, sizeof(ev.u.output.data));
                outputs.push_back({std::vector<uint8_t>(ev.u.output.data, ev.u.output.data + size), ev.u.output.rtype});
                break;
            }
            case UHID_GET_REPORT: {
                uhid_event reply;
                std::memset(&reply, 0, sizeof(reply));
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = ev.u.get_report.id;
                reply.u.get_report_reply.err = EIO;
                lock.unlock();
                (void)::write(fd, &reply, sizeof(reply));
                continue;
            }
            case UHID_SET_REPORT: {
                uhid_event reply;
                std::memset(&reply, 0, sizeof(reply));
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = ev.u.set_report.id;
                reply.u.set_report_reply.err = EIO;
                lock.unlock();
                (void)::write(fd, &reply, sizeof(reply));
                continue;
            }
            default: break;
        }
        changed.notify_all();
    }
}

template <class Pred>
bool UhidDevice::WaitFor(std::chrono::milliseconds timeout, Pred pred) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, pred);
}

bool UhidDevice::WaitStarted(std::chrono::milliseconds timeout) {
    return WaitFor(timeout, [this] { return started; });
}

bool UhidDevice::WaitOpens(unsigned count, std::chrono::milliseconds timeout) {
    return WaitFor(timeout, [this, count] { return opens >= count; });
}

bool UhidDevice::WaitClosed(std::chrono::milliseconds timeout) {
    return WaitFor(timeout, [this] { return opens > 0 && !open; });
}

bool UhidDevice::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex);
    return open;
}

unsigned UhidDevice::Opens() const {
    std::lock_guard<std::mutex> lock(mutex);
    return opens;
}

bool UhidDevice::TakeOutput(OutputReport& report, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!changed.wait_for(lock, timeout, [this] { return !outputs.empty(); })) return false;
    report = outputs.front();
    outputs.erase(outputs.begin());
    return true;
}

size_t UhidDevice::PendingOutputs() const {
    std::lock_guard<std::mutex> lock(mutex);
    return outputs.size();
}

std::string UhidDevice::WaitForNode(std::chrono::milliseconds timeout) {
    // The HID device's uevent names our uniq string; its hidraw child names the node. sysfs offers
    // no event to wait on without udev, so this looks again every few milliseconds until the deadline.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const std::string wanted = "HID_UNIQ=" + identity.uniq;
    do {
        if (DIR* dir = opendir("/sys/class/hidraw")) {
            while (dirent* entry = readdir(dir)) {
                if (entry->d_name[0] == '.') continue;
                const std::string name = entry->d_name;
                std::ifstream uevent("/sys/class/hidraw/" + name + "/device/uevent");
                std::string line;
                while (std::getline(uevent, line)) {
                    if (line == wanted && access(("/dev/" + name).c_str(), F_OK) == 0) {
                        closedir(dir);
                        return "/dev/" + name;
                    }
                }
            }
            closedir(dir);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < deadline);
    return "";
}

}  // namespace uhidplayer
