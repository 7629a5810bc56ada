// The native handles of one HID device: a descriptor read after poll() together with a wake-up
// descriptor (an eventfd) for stopping, and a second descriptor written through the backend (on the
// device's writer thread). The reads go
// through the backend (hidseam::ReadInputReport), which knows the device's report layout; a write
// takes the report as Windows does, report-id byte first, which is also what hidraw expects (0 for
// a device without numbered reports: the kernel's USB HID driver drops it before sending).
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "DeviceReportLength.h"
#include "FormatString.h"
#include "HIDDeviceIO.h"
#include "HIDInterfaceQuery.h"
#include "HIDSeam.h"

namespace {

// A descriptor that is not open is -1, whichever call made it.
class CHIDDeviceIOPosix : public CHIDDeviceIO {
public:
    ~CHIDDeviceIOPosix() override { Close(); }
    void Open(const std::string& path) override;
    bool OpenedAs(const USBHIDDeviceInfo& expected) const override {
        return HandleAnswersAs(readDescriptor, expected) && HandleAnswersAs(writeDescriptor, expected);
    }
    void Close() override;
    void WakeReader() override;
    bool CanWrite() const override { return writeDescriptor >= 0; }
    int32_t InputReportLength() const override { return inputReportLength; }
    bool Write(const std::vector<char>& report, size_t length, const std::atomic<bool>& stop,
               uint32_t timeoutMilliseconds) override;
    void CancelWrite() override {
        if (writeDescriptor >= 0) hidseam::CancelOutputReport(writeDescriptor);
    }
    bool Read(std::vector<char>& report, const std::atomic<bool>& stopRequested) override;

private:
    [[noreturn]] void FailOpen(const std::string& text);

    int readDescriptor = -1;
    int writeDescriptor = -1;
    int wakeDescriptor = -1;  // an eventfd: readable once WakeReader wrote to it
    int32_t inputReportLength = 0;
};

int OpenDevicePath(const std::string& path, uint32_t access, uint32_t flags) {
    const hidseam::Handle handle = hidseam::OpenPath(path, access, hidseam::kShareReadWrite, flags);
    return handle < 0 ? -1 : static_cast<int>(handle);
}

// The seam opened the device descriptors, so the seam closes them.
void CloseDevicePath(int& descriptor) {
    if (descriptor >= 0) hidseam::ClosePath(descriptor);
    descriptor = -1;
}

void CHIDDeviceIOPosix::Open(const std::string& path) {
    Close();
    wakeDescriptor = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeDescriptor < 0) throw std::string("CreateEvent failed");
    readDescriptor = OpenDevicePath(path, hidseam::kGenericRead, hidseam::kFlagOverlapped);
    if (readDescriptor < 0) FailOpen(FormatString("CreateFile of %s for reading failed", path.c_str()));
    writeDescriptor = OpenDevicePath(path, hidseam::kGenericWrite, 0);
    if (writeDescriptor < 0) FailOpen(FormatString("CreateFile of %s for writing failed", path.c_str()));
    inputReportLength = QueryInputReportLength(readDescriptor);
}

void CHIDDeviceIOPosix::FailOpen(const std::string& text) {
    const int error = errno;
    Close();
    errno = error;
    throw text;
}

void CHIDDeviceIOPosix::Close() {
    CloseDevicePath(readDescriptor);
    CloseDevicePath(writeDescriptor);
    if (wakeDescriptor >= 0) close(wakeDescriptor);
    wakeDescriptor = -1;
    inputReportLength = 0;
}

void CHIDDeviceIOPosix::WakeReader() {
    if (wakeDescriptor >= 0) {
        const uint64_t one = 1;
        ssize_t ignored = write(wakeDescriptor, &one, sizeof(one));
        (void)ignored;
    }
}

bool CHIDDeviceIOPosix::Write(const std::vector<char>& report, size_t length, const std::atomic<bool>& stop,
                              uint32_t timeoutMilliseconds) {
    return writeDescriptor >= 0 &&
           hidseam::WriteOutputReport(writeDescriptor, report.data(), length, stop, timeoutMilliseconds);
}

bool CHIDDeviceIOPosix::Read(std::vector<char>& report, const std::atomic<bool>& stopRequested) {
    if (readDescriptor < 0) return false;
    for (;;) {
        if (stopRequested) return false;
        pollfd waits[2] = {{readDescriptor, POLLIN, 0}, {wakeDescriptor, POLLIN, 0}};
        int ready;
        do {
            ready = poll(waits, 2, -1);
        } while (ready < 0 && errno == EINTR);
        if (stopRequested) return false;
        if (ready < 0) throw HIDReadFailure{"WaitForSingleObject: Unknwon error", static_cast<unsigned long>(errno)};
        if (waits[1].revents != 0) return false;
        // The backend reads one report in the Windows layout. A short report leaves the remaining
        // bytes zero; an error or the end of the stream (the interface went away: ENODEV, EIO) is
        // no report and ends the loop. Nothing to read after all: wait again, unless the
        // descriptor reported a hang-up or an error, which no later poll would clear.
        const long received = hidseam::ReadInputReport(readDescriptor, report.data(), report.size());
        if (received > 0) return true;
        if (received == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
        if (waits[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return false;
        std::fill(report.begin(), report.end(), 0);
    }
}

}  // namespace

std::unique_ptr<CHIDDeviceIO> CHIDDeviceIO::Create() { return std::unique_ptr<CHIDDeviceIO>(new CHIDDeviceIOPosix()); }
