// Windows I/O of one HID device: an overlapped read handle with its manual-reset event, and a
// synchronous write handle.
#include <windows.h>

#include "FormatString.h"
#include "USBHIDDeviceImpl.h"

static_assert(sizeof(OVERLAPPED) <= sizeof(CUSBHIDDeviceImpl::overlapped), "OVERLAPPED fits its storage");

namespace {

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }
intptr_t AsValue(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }
bool IsUsable(intptr_t value) { return value != 0 && AsHandle(value) != INVALID_HANDLE_VALUE; }

}  // namespace

hidseam::Handle CUSBHIDDeviceImpl::NoHandle() { return 0; }

bool CUSBHIDDeviceImpl::HasWriteHandle() const { return IsUsable(writeHandle); }

void CUSBHIDDeviceImpl::OpenHandles() {
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, "");
    if (!event) throw std::string("CreateEvent failed");
    readEvent = AsValue(event);
    OVERLAPPED* record = reinterpret_cast<OVERLAPPED*>(overlapped);
    ZeroMemory(record, sizeof(OVERLAPPED));
    record->hEvent = event;

    readHandle = hidseam::OpenPath(info.devicePath, hidseam::kGenericRead, hidseam::kShareReadWrite,
                                   hidseam::kFlagOverlapped);
    if (AsHandle(readHandle) == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        CloseHandles();
        SetLastError(error);
        throw FormatString("CreateFile of %s for reading failed", info.devicePath.c_str());
    }
    writeHandle = hidseam::OpenPath(info.devicePath, hidseam::kGenericWrite, hidseam::kShareReadWrite, 0);
    if (AsHandle(writeHandle) == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        CloseHandles();
        SetLastError(error);
        throw FormatString("CreateFile of %s for writing failed", info.devicePath.c_str());
    }
}

void CUSBHIDDeviceImpl::WakeReader() {
    if (readEvent) SetEvent(AsHandle(readEvent));
}

void CUSBHIDDeviceImpl::CloseHandles() {
    // The seam opened them, so the seam closes them.
    if (IsUsable(readHandle)) hidseam::ClosePath(readHandle);
    readHandle = 0;
    if (IsUsable(writeHandle)) hidseam::ClosePath(writeHandle);
    writeHandle = 0;
    if (readEvent) CloseHandle(AsHandle(readEvent));
    readEvent = 0;
}

bool CUSBHIDDeviceImpl::WriteHandle(const std::vector<char>& report) {
    DWORD written = 0;
    return WriteFile(AsHandle(writeHandle), report.data(), static_cast<DWORD>(info.outputReportByteLength), &written,
                     nullptr) != FALSE;
}

namespace {

// Cancels the outstanding read and waits until it has really finished, so that the system no
// longer writes into the report buffer when it is released. The event may have been set by Close
// rather than by the read, so it is reset first; a read that completes after the reset sets it
// again, and one that completed before is seen as complete without a wait.
void CancelAndFinishRead(HANDLE handle, OVERLAPPED* record) {
    CancelIo(handle);
    ResetEvent(record->hEvent);
    DWORD transferred = 0;
    GetOverlappedResult(handle, record, &transferred, TRUE);
}

}  // namespace

bool CUSBHIDDeviceImpl::ReadReport(std::vector<char>& report) {
    HANDLE handle = AsHandle(readHandle);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return false;
    const int32_t length = info.inputReportByteLength;
    if (length <= 0 || length > kMaxReportLength) return false;  // nothing sensible to read
    report.clear();
    report.resize(static_cast<size_t>(length), 0);
    OVERLAPPED* record = reinterpret_cast<OVERLAPPED*>(overlapped);
    record->Offset = 0;
    record->OffsetHigh = 0;
    DWORD transferred = 0;
    if (!ReadFile(handle, report.data(), static_cast<DWORD>(length), &transferred, record)) {
        if (GetLastError() != ERROR_IO_PENDING) return false;
    }
    if (stopRequested) {
        CancelAndFinishRead(handle, record);
        return false;
    }
    const DWORD waited = WaitForSingleObject(record->hEvent, INFINITE);
    if (stopRequested || waited == WAIT_TIMEOUT) {
        CancelAndFinishRead(handle, record);
        return false;
    }
    if (waited == WAIT_OBJECT_0) {
        // A read that completed with an error (the interface went away during the read, for
        // instance) is no report: the loop ends as after a failed ReadFile. A short read is a
        // report; the bytes it did not fill stay zero.
        if (!GetOverlappedResult(handle, record, &transferred, FALSE)) {
            if (GetLastError() == ERROR_IO_INCOMPLETE) CancelAndFinishRead(handle, record);
            return false;
        }
        return true;
    }
    CancelAndFinishRead(handle, record);
    throw std::string("WaitForSingleObject: Unknwon error");
}
