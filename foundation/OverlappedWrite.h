// Windows only: one write on a handle opened with FILE_FLAG_OVERLAPPED, bounded and cancellable.
#pragma once

#if defined(_WIN32)

#include <atomic>
#include <cstddef>
#include <cstdint>

// Writes length bytes from data on handle (a HANDLE) with an OVERLAPPED record of its own, and waits
// at most timeoutMilliseconds for the write to complete. A write still under way then, or once stop
// (may be null) is seen set after the write began, is cancelled with CancelIoEx; either way the call
// returns only after the write has completed or been cancelled, so the system no longer uses data
// or the record. Another thread stops a write by setting stop and then calling CancelIoEx on the
// handle. True when all length bytes were written; otherwise false with the last error set
// (ERROR_OPERATION_ABORTED for a cancelled write).
bool WriteOverlapped(void* handle, const char* data, size_t length, const std::atomic<bool>* stop,
                     uint32_t timeoutMilliseconds);

#endif
