#include "HIDDeviceIO_win32.h"

#include "DeviceReportLength.h"
#include "FormatString.h"
#include "HIDSeam.h"

namespace {

// The HID seam opens a path and gives INVALID_HANDLE_VALUE on failure; that becomes null here.
HANDLE OpenDevicePath(const std::string& path, uint32_t access, uint32_t flags) {
    HANDLE handle = reinterpret_cast<HANDLE>(hidseam::OpenPath(path, access, hidseam::kShareReadWrite, flags));
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// The seam opened the device handles, so the seam closes them.
void CloseDevicePath(HANDLE& handle) {
    if (handle) hidseam::ClosePath(reinterpret_cast<hidseam::Handle>(handle));
    handle = nullptr;
}

}  // namespace

std::unique_ptr<CHIDDeviceIO> CHIDDeviceIO::Create() { return std::unique_ptr<CHIDDeviceIO>(new CHIDDeviceIOWin32()); }

CHIDDeviceIOWin32::~CHIDDeviceIOWin32() { Close(); }

void CHIDDeviceIOWin32::Open(const std::string& path) {
    Close();
    readEvent = CreateEventA(nullptr, TRUE, TRUE, "");
    if (!readEvent) throw std::string("CreateEvent failed");
    ZeroMemory(&overlapped, sizeof(overlapped));
    overlapped.hEvent = readEvent;
    readHandle = OpenDevicePath(path, hidseam::kGenericRead, hidseam::kFlagOverlapped);
    if (!readHandle) FailOpen(FormatString("CreateFile of %s for reading failed", path.c_str()));
    writeHandle = OpenDevicePath(path, hidseam::kGenericWrite, hidseam::kFlagOverlapped);
    if (!writeHandle) FailOpen(FormatString("CreateFile of %s for writing failed", path.c_str()));
    inputReportLength = QueryInputReportLength(reinterpret_cast<hidseam::Handle>(readHandle));
}

// A Windows device interface path holds the vendor and product ids and an instance id of its own,
// and is not handed to another device the way a hidraw node number is; the handles are not asked.
bool CHIDDeviceIOWin32::OpenedAs(const USBHIDDeviceInfo&) const { return true; }

void CHIDDeviceIOWin32::FailOpen(const std::string& text) {
    const DWORD error = GetLastError();
    Close();
    SetLastError(error);
    throw text;
}

void CHIDDeviceIOWin32::Close() {
    CloseDevicePath(readHandle);
    CloseDevicePath(writeHandle);
    if (readEvent) CloseHandle(readEvent);
    readEvent = nullptr;
    overlapped.hEvent = nullptr;
    inputReportLength = 0;
}

void CHIDDeviceIOWin32::WakeReader() {
    if (readEvent) SetEvent(readEvent);
}

bool CHIDDeviceIOWin32::CanWrite() const { return writeHandle != nullptr; }

bool CHIDDeviceIOWin32::Write(const std::vector<char>& report, size_t length, const std::atomic<bool>& stop,
                              uint32_t timeoutMilliseconds) {
    return writeHandle && hidseam::WriteOutputReport(reinterpret_cast<hidseam::Handle>(writeHandle), report.data(),
                                                     length, stop, timeoutMilliseconds);
}

void CHIDDeviceIOWin32::CancelWrite() {
    if (writeHandle) hidseam::CancelOutputReport(reinterpret_cast<hidseam::Handle>(writeHandle));
}

// The event may have been set by WakeReader rather than by the read, so it is reset first; a read
// that completes after the reset sets it again, and one that completed before is seen as complete
// without a wait. Afterwards the system no longer writes into the report buffer.
void CHIDDeviceIOWin32::CancelRead() {
    CancelIo(readHandle);
    ResetEvent(overlapped.hEvent);
    DWORD transferred = 0;
    GetOverlappedResult(readHandle, &overlapped, &transferred, TRUE);
}

bool CHIDDeviceIOWin32::Read(std::vector<char>& report, const std::atomic<bool>& stopRequested) {
    if (!readHandle) return false;
    overlapped.Offset = 0;
    overlapped.OffsetHigh = 0;
    DWORD transferred = 0;
    if (!ReadFile(readHandle, report.data(), static_cast<DWORD>(report.size()), &transferred, &overlapped)) {
        if (GetLastError() != ERROR_IO_PENDING) return false;
    }
    if (stopRequested) {
        CancelRead();
        return false;
    }
    const DWORD waited = WaitForSingleObject(readEvent, INFINITE);
    if (stopRequested || waited == WAIT_TIMEOUT) {
        CancelRead();
        return false;
    }
    if (waited == WAIT_OBJECT_0) {
        // A read that completed with an error (the interface went away during the read, for
        // instance) is no report: the loop ends as after a failed ReadFile.
        if (!GetOverlappedResult(readHandle, &overlapped, &transferred, FALSE)) {
            if (GetLastError() == ERROR_IO_INCOMPLETE) CancelRead();
            return false;
        }
        return true;
    }
    // The wait itself failed. Its error is what the reader's message box reports, so it is taken
    // before the calls that finish the read (which set errors of their own).
    const DWORD error = GetLastError();
    CancelRead();
    throw HIDReadFailure{"WaitForSingleObject: Unknwon error", error};
}
