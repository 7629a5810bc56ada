// One HID device of the shipping backend on Wine's virtual keyboard: a real HID handle read with
// overlapped I/O, stopped while its read is pending, opened and closed many times.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "HIDDeviceIO_win32.h"
#include "HIDRecorders.h"
#include "ProcessStats.h"
#include "USBHIDDevice.h"
#include "WineHidFixture.h"

using namespace winehid;

namespace {

// The device as the button device would set it up: the keyboard's probed record.
void UseKeyboard(CUSBHIDDevice& device, const ProbedInterface& keyboard) {
    device.Info().devicePath = LowerCaseForTest(keyboard.path);
    device.Info().vendorID = keyboard.vendorID;
    device.Info().productID = keyboard.productID;
    device.Info().inputReportByteLength = keyboard.inputReportByteLength;
    device.Info().outputReportByteLength = keyboard.outputReportByteLength;
}

// Waits until the process has `count` threads (a thread that returned may take a moment to leave
// the system's list); the last count seen.
int WaitForThreads(int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int now = ProcessThreads();
    while (now != count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        now = ProcessThreads();
    }
    return now;
}

// The handles open in this process, found by asking for each handle value's flags (Wine's
// GetProcessHandleCount reports 0). Handle values are multiples of 4 and handed out lowest free
// first, so the table is dense: 256 unused values in a row end it.
int CountOpenHandles() {
    int open = 0;
    int unusedInARow = 0;
    for (uintptr_t value = 4; unusedInARow < 256; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++open;
            unusedInARow = 0;
        } else {
            ++unusedInARow;
        }
    }
    return open;
}

TEST_F(WineHidTest, KeyboardOpensWithAPendingReadThatCloseEnds) {
    const ProbedInterface* keyboard = FindKeyboard(Present());
    ASSERT_NE(keyboard, nullptr);
    const int threads = ProcessThreads();
    {
        RecordingHIDDevice device;
        UseKeyboard(device, *keyboard);
        // Wine grants both the overlapped read handle and the write handle on its keyboard.
        ASSERT_TRUE(device.Open());
        EXPECT_TRUE(device.IsOpen());
        ASSERT_EQ(WaitForThreads(threads + 1), threads + 1) << "the reader thread runs";
        // A headless keyboard sends nothing: the reader stays in its read until Close ends it.
        EXPECT_FALSE(device.WaitForReaderEnd(0)) << "the reader is still waiting";
        device.Close();
        EXPECT_FALSE(device.IsOpen());
        EXPECT_TRUE(device.WaitForReaderEnd(0)) << "Close returned before the reader ended";
        EXPECT_TRUE(device.Reports().empty());

        // Opened again, it reads again.
        ASSERT_TRUE(device.Open());
        ASSERT_EQ(WaitForThreads(threads + 1), threads + 1);
    }  // destroyed open: the destructor stops the reader
    EXPECT_EQ(WaitForThreads(threads), threads);
}

TEST_F(WineHidTest, ThousandOpenCloseCyclesLeaveNoThreadOrHandleBehind) {
    const ProbedInterface* keyboard = FindKeyboard(Present());
    ASSERT_NE(keyboard, nullptr);
    RecordingHIDDevice device;
    UseKeyboard(device, *keyboard);
    // One cycle first, so that whatever the system makes once per process is counted in.
    ASSERT_TRUE(device.Open());
    device.Close();
    const int threads = WaitForThreads(ProcessThreads());
    const int handles = CountOpenHandles();

    int opened = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        if (device.Open()) ++opened;
        device.Close();
        if (!device.WaitForReaderEnd(0)) break;
    }
    EXPECT_EQ(opened, 1000);
    EXPECT_TRUE(device.WaitForReaderEnd(0));
    EXPECT_EQ(WaitForThreads(threads), threads);
    EXPECT_EQ(CountOpenHandles(), handles);
}

// When the reader's wait itself fails, the message box shows that failure's error, not the one
// of the calls that cancel the read afterwards.
TEST_F(WineHidTest, AFailedWaitKeepsItsOwnError) {
    const ProbedInterface* keyboard = FindKeyboard(Present());
    ASSERT_NE(keyboard, nullptr);
    CHIDDeviceIOWin32 io;
    ASSERT_NO_THROW(io.Open(LowerCaseForTest(keyboard->path)));
    // The reader waits on a handle that is no longer valid; the read itself keeps its event.
    HANDLE stale = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), io.readEvent, GetCurrentProcess(), &stale, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    CloseHandle(stale);
    io.readEvent = stale;
    std::vector<char> report(keyboard->inputReportByteLength, 0);
    std::atomic<bool> stop(false);
    std::string thrown;
    unsigned long error = 0;
    try {
        io.Read(report, stop);
    } catch (const HIDReadFailure& failure) {
        error = failure.error;
        thrown = failure.text;
    }
    io.readEvent = io.overlapped.hEvent;
    io.Close();
    EXPECT_EQ(thrown, "WaitForSingleObject: Unknwon error");
    EXPECT_EQ(error, static_cast<unsigned long>(ERROR_INVALID_HANDLE));
}

}  // namespace
