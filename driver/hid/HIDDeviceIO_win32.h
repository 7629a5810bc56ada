// The Windows handles of one HID device: an overlapped read handle whose OVERLAPPED record carries a
// manual-reset event, and an overlapped write handle whose writes the backend bounds and cancels.
#pragma once

#include <windows.h>

#include "HIDDeviceIO.h"

// A handle that is not open is null, whichever call made it (CreateFile's INVALID_HANDLE_VALUE
// is never stored).
class CHIDDeviceIOWin32 : public CHIDDeviceIO {
public:
    ~CHIDDeviceIOWin32() override;
    void Open(const std::string& path) override;
    bool OpenedAs(const USBHIDDeviceInfo& expected) const override;
    void Close() override;
    void WakeReader() override;
    bool CanWrite() const override;
    int32_t InputReportLength() const override { return inputReportLength; }
    bool Write(const std::vector<char>& report, size_t length, const std::atomic<bool>& stop,
               uint32_t timeoutMilliseconds) override;
    void CancelWrite() override;
    bool Read(std::vector<char>& report, const std::atomic<bool>& stopRequested) override;

    HANDLE readHandle = nullptr;
    HANDLE writeHandle = nullptr;
    // What the reader waits on: the event of the OVERLAPPED record, which the read completion
    // and WakeReader set.
    HANDLE readEvent = nullptr;
    OVERLAPPED overlapped = {};
    int32_t inputReportLength = 0;  // asked of readHandle at Open

private:
    // Throws text after closing everything, keeping the last error of the call that failed.
    [[noreturn]] void FailOpen(const std::string& text);
    // Cancels the outstanding read and waits until it has really finished.
    void CancelRead();
};
