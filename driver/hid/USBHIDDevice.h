// One HID interface opened for reading (on its own reader thread) and writing (on its own writer
// thread, or synchronously).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "USBHIDDeviceInfo.h"

class CHIDOpening;

// Called once per report queued with QueueWrite: on the device's writer thread after the write,
// with nullptr when the report was written and with the failure's text ("WriteFile to %s failed")
// when it was not (refused, or given up after its time-out or at a stop); or on the thread that
// stops the opening, with "Invalid file handle. Can not write to this device", when the device was
// closed before the write began. It must not throw (whatever it throws is dropped).
using HIDWriteDone = std::function<void(const std::string* failure)>;

// The one deadline a stop waits against: everything concerned is told to stop first, then all of it
// is waited for together until this time; what still runs then ends by itself.
using StopDeadline = std::chrono::steady_clock::time_point;
constexpr std::chrono::milliseconds kStopWait{250};
inline StopDeadline StopDeadlineFromNow() { return std::chrono::steady_clock::now() + kStopWait; }

// Each Open makes a new opening (CHIDOpening: handles, reader, writer, its copy of info), which the
// device holds while it is open and its threads hold while they run. A device that a shared_ptr owns
// is held by its openings too (SharedOwner), so a thread that outlives its stop reaches a live
// device, and a stop waits for the threads at most until its deadline. A device that nothing shares
// (owned alone by a test or the device check) is waited for without limit instead.
//
// Threads: every operation runs on the owner's thread (one thread: the dispatcher's, the engine
// thread in the driver); OnReport on the reader thread.
class CUSBHIDDevice {
public:
    CUSBHIDDevice();
    // Closes the device if open and waits for the threads of every opening it stopped.
    virtual ~CUSBHIDDevice();

    // One input report of exactly inputReportByteLength bytes, byte 0 the report ID.
    // Runs on the device's reader thread; this layer holds no lock while calling it.
    virtual void OnReport(std::vector<char>& report) = 0;

    // Stops the current opening (as Close), then opens info().devicePath for reading and writing at
    // once, whatever an earlier opening still does, and starts the reader thread; the result is that
    // of starting the thread. Throws std::string: "CreateEvent failed", "CreateFile of %s for reading
    // failed" (also for a path the platform does not list now), "CreateFile of %s for writing failed".
    bool Open();
    // RequestClose, then WaitForClose with a deadline kStopWait from now.
    void Close();
    // Tells the current opening's threads to stop and lets go of it, without waiting; the device
    // counts as closed from here on. Nothing when closed.
    void RequestClose();
    // Waits for the threads of the openings stopped since the last wait: at most until deadline
    // when this device is shared (SharedOwner), otherwise until they have ended.
    void WaitForClose(StopDeadline deadline);
    bool IsOpen() const;
    // Waits at most milliseconds for the current opening's reader to end; true when it ended or
    // never ran. The reader ends by itself when a read fails (the interface was unplugged).
    bool WaitForReaderEnd(uint32_t milliseconds);
    // Sends one output report and waits for it (bounded). Throws std::string: "Invalid file handle.
    // Can not write to this device", "Too small buffer (only %i bytes) to send. Required size is %i
    // bytes", "Too big buffer (%i bytes) to send. Required size is %i bytes", "WriteFile to %s failed".
    void Write(const std::vector<char>& report);
    // Sends one output report without waiting for it: checked as Write checks it (same texts), then
    // written on the opening's writer thread after the reports queued before it; done learns the
    // outcome. At most CHIDOpening::kMaxWaiting (32) reports wait behind the one being written; one
    // more throws "WriteFile to %s failed", as a failed write.
    void QueueWrite(const std::vector<char>& report, HIDWriteDone done);

    // The interface the next Open opens. An opening keeps its own copy, so this may be rewritten
    // at any time.
    USBHIDDeviceInfo& Info();
    const USBHIDDeviceInfo& Info() const;

    // Closes this device if open, copies the eight info fields, and opens this device when the
    // other one is open (each then has its own opening). Self-assignment: nothing.
    CUSBHIDDevice& operator=(const CUSBHIDDevice& other);
    CUSBHIDDevice(const CUSBHIDDevice&) = delete;

protected:
    // What keeps this device alive for its threads: a shared_ptr to the object that owns it, or
    // null when nothing shares it. The button device answers with its own owner.
    virtual std::shared_ptr<void> SharedOwner() { return nullptr; }

private:
    USBHIDDeviceInfo info;
    std::shared_ptr<CHIDOpening> opening;               // while open
    std::vector<std::shared_ptr<CHIDOpening>> stopped;  // stopped, not yet waited for
};
