#include "OverlappedWrite.h"

#include <windows.h>

bool WriteOverlapped(void* handle, const char* data, size_t length, const std::atomic<bool>* stop,
                     uint32_t timeoutMilliseconds) {
    HANDLE file = static_cast<HANDLE>(handle);
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent) return false;
    DWORD written = 0;
    BOOL done = WriteFile(file, data, static_cast<DWORD>(length), &written, &overlapped);
    if (!done && GetLastError() == ERROR_IO_PENDING) {
        // A stop asked before the write began found nothing to cancel: it is seen here instead.
        if (stop && stop->load()) {
            CancelIoEx(file, &overlapped);
        } else if (WaitForSingleObject(overlapped.hEvent, timeoutMilliseconds) != WAIT_OBJECT_0) {
            CancelIoEx(file, &overlapped);
        }
        // Until this returns the system may still read data and write the record.
        done = GetOverlappedResult(file, &overlapped, &written, TRUE);
    }
    const DWORD error = GetLastError();
    CloseHandle(overlapped.hEvent);
    if (!done) {
        SetLastError(error);
        return false;
    }
    if (written != length) {
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}
