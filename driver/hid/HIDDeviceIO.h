// The handles of one open HID device: a read handle with what its reader waits on, and a write
// handle. Each platform keeps them in a class of its own (HIDDeviceIO_win32, HIDDeviceIO_posix);
// the device code sees only these operations.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "USBHIDDeviceInfo.h"

// Threads: Open runs on the thread that opens the device, before any thread of the opening starts;
// Read on the reader thread, Write on the writer thread (or the owner's, for a synchronous write),
// WakeReader and CancelWrite on the thread that stops the opening. Close runs in the destructor,
// once the last holder of the opening lets go, so no thread uses the handles any more.
// Thrown by CHIDDeviceIO::Read when waiting for the read failed: the text and the system's error
// of the failed wait, kept as a number because the C++ runtime may reset the thread's last error
// while the exception travels to the reader's handler.
struct HIDReadFailure {
    std::string text;
    unsigned long error;
};

class CHIDDeviceIO {
public:
    virtual ~CHIDDeviceIO() = default;
    // The platform's handles, nothing open yet.
    static std::unique_ptr<CHIDDeviceIO> Create();

    // Creates the reader's wake-up object and opens path for reading and for writing (both
    // overlapped on Windows). Throws std::string "CreateEvent failed", "CreateFile of %s for reading failed"
    // or "CreateFile of %s for writing failed"; then nothing is open and the system's last error is
    // that of the call that failed.
    virtual void Open(const std::string& path) = 0;
    // True when what Open opened answers as the device expected describes (HandleAnswersAs), asked
    // of the very handles that are then read and written: there is no gap between check and use.
    virtual bool OpenedAs(const USBHIDDeviceInfo& expected) const = 0;
    // Closes whatever is open.
    virtual void Close() = 0;
    // Wakes a reader waiting in Read; the caller has set the stop flag before.
    virtual void WakeReader() = 0;
    virtual bool CanWrite() const = 0;
    // The input report length the open device declares (asked of the read handle at Open); 0 when
    // it did not answer or nothing is open. Bounds the reader's report buffer.
    virtual int32_t InputReportLength() const = 0;
    // Writes length bytes of report at once and waits for the device to take them, at most
    // timeoutMilliseconds and no longer than until stop is set and CancelWrite called (the write
    // is then cancelled); false when the system refuses, or the write was given up.
    virtual bool Write(const std::vector<char>& report, size_t length, const std::atomic<bool>& stop,
                       uint32_t timeoutMilliseconds) = 0;
    // Cancels a write under way (after its stop flag was set); any thread.
    virtual void CancelWrite() = 0;
    // Waits for one input report and reads it into report, which holds the report's length in
    // zeros; a shorter report leaves the rest zero. False for no report: nothing open, stop asked,
    // or the read failed (the interface went away). When the wait itself fails, throws
    // HIDReadFailure: "WaitForSingleObject: Unknwon error" and the wait's error.
    virtual bool Read(std::vector<char>& report, const std::atomic<bool>& stopRequested) = 0;
};
