// Native I/O of one HID device: a descriptor read after poll() together with a wake-up descriptor
// (an eventfd) for stopping, and a second descriptor written synchronously.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "FormatString.h"
#include "USBHIDDeviceImpl.h"

namespace {

void CloseDescriptor(intptr_t& descriptor) {
    if (descriptor >= 0) close(static_cast<int>(descriptor));
    descriptor = -1;
}

// The seam opened the device descriptors, so the seam closes them.
void ClosePathDescriptor(intptr_t& descriptor) {
    if (descriptor >= 0) hidseam::ClosePath(descriptor);
    descriptor = -1;
}

}  // namespace

hidseam::Handle CUSBHIDDeviceImpl::NoHandle() { return -1; }

bool CUSBHIDDeviceImpl::HasWriteHandle() const { return writeHandle >= 0; }

void CUSBHIDDeviceImpl::OpenHandles() {
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) throw std::string("CreateEvent failed");
    readEvent = wake;
    readHandle = hidseam::OpenPath(info.devicePath, hidseam::kGenericRead, hidseam::kShareReadWrite,
                                   hidseam::kFlagOverlapped);
    if (readHandle < 0) {
        const int error = errno;
        CloseHandles();
        errno = error;
        throw FormatString("CreateFile of %s for reading failed", info.devicePath.c_str());
    }
    writeHandle = hidseam::OpenPath(info.devicePath, hidseam::kGenericWrite, hidseam::kShareReadWrite, 0);
    if (writeHandle < 0) {
        const int error = errno;
        CloseHandles();
        errno = error;
        throw FormatString("CreateFile of %s for writing failed", info.devicePath.c_str());
    }
}

void CUSBHIDDeviceImpl::WakeReader() {
    if (readEvent >= 0) {
        const uint64_t one = 1;
        ssize_t ignored = write(static_cast<int>(readEvent), &one, sizeof(one));
        (void)ignored;
    }
}

void CUSBHIDDeviceImpl::CloseHandles() {
    ClosePathDescriptor(readHandle);
    ClosePathDescriptor(writeHandle);
    CloseDescriptor(readEvent);
}

bool CUSBHIDDeviceImpl::WriteHandle(const std::vector<char>& report) {
    const size_t length = static_cast<size_t>(info.outputReportByteLength);
    const int descriptor = static_cast<int>(writeHandle);
    ssize_t written = send(descriptor, report.data(), length, MSG_NOSIGNAL);
    if (written < 0 && errno == ENOTSOCK) written = write(descriptor, report.data(), length);
    return written >= 0 && static_cast<size_t>(written) == length;
}

bool CUSBHIDDeviceImpl::ReadReport(std::vector<char>& report) {
    const int descriptor = static_cast<int>(readHandle);
    if (descriptor < 0) return false;
    const int32_t length = info.inputReportByteLength;
    if (length <= 0 || length > kMaxReportLength) return false;  // nothing sensible to read
    report.clear();
    report.resize(static_cast<size_t>(length), 0);
    if (stopRequested) return false;
    pollfd waits[2] = {{descriptor, POLLIN, 0}, {static_cast<int>(readEvent), POLLIN, 0}};
    int ready;
    do {
        ready = poll(waits, 2, -1);
    } while (ready < 0 && errno == EINTR);
    if (stopRequested) return false;
    if (ready < 0) throw std::string("WaitForSingleObject: Unknwon error");
    if (waits[1].revents != 0) return false;
    // Message boundaries are kept (SOCK_SEQPACKET): one receive is one report. A short report
    // leaves the remaining bytes zero; an error or the end of the stream (the interface went away)
    // is no report and ends the loop.
    const ssize_t received = recv(descriptor, report.data(), static_cast<size_t>(length), MSG_DONTWAIT);
    if (received <= 0) {
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadReport(report);
        return false;
    }
    return true;
}
