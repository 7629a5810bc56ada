#include "USBHIDDevice.h"

#include <atomic>
#include <deque>
#include <utility>

#include "FormatString.h"
#include "LastError.h"
#include "ListedHIDInterface.h"
#include "MessageBox.h"
#include "USBHIDDeviceImpl.h"

CUSBHIDDevice::CUSBHIDDevice() : impl(new CUSBHIDDeviceImpl(this)) {}

CUSBHIDDevice::~CUSBHIDDevice() {
    if (impl->isOpen) impl->Close();
    delete impl;
    impl = nullptr;
}

bool CUSBHIDDevice::Open() { return impl->Open(); }
void CUSBHIDDevice::Close() { impl->Close(); }
bool CUSBHIDDevice::IsOpen() const { return impl->isOpen; }
void CUSBHIDDevice::Write(const std::vector<char>& report) { impl->Write(report); }
USBHIDDeviceInfo& CUSBHIDDevice::Info() { return impl->info; }
const USBHIDDeviceInfo& CUSBHIDDevice::Info() const { return impl->info; }
void CUSBHIDDevice::QueueWrite(const std::vector<char>& report, HIDWriteDone done) {
    impl->QueueWrite(report, std::move(done));
}
bool CUSBHIDDevice::WaitForReaderEnd(uint32_t milliseconds) { return impl->thread.WaitForEnd(milliseconds); }
bool CUSBHIDDevice::WaitForThreadsEnd(uint32_t milliseconds) { return impl->WaitForThreadsEnd(milliseconds); }
bool CUSBHIDDevice::ReleaseWhenThreadsEnd(std::function<void()> release) {
    return impl->ReleaseWhenThreadsEnd(std::move(release));
}

namespace {

std::atomic<uint32_t> stopWaitMilliseconds{CThread::kEndWaitMilliseconds};

}  // namespace

void CUSBHIDDevice::SetStopWaitForTests(uint32_t milliseconds) { stopWaitMilliseconds = milliseconds; }

CUSBHIDDevice& CUSBHIDDevice::operator=(const CUSBHIDDevice& other) {
    if (this == &other) return *this;
    if (impl->isOpen) impl->Close();
    impl->info = other.impl->info;
    if (other.impl->isOpen) impl->Open();
    return *this;
}

CUSBHIDDeviceImpl::CUSBHIDDeviceImpl(CUSBHIDDevice* owner)
    : owner(owner),
      stopRequested(false),
      io(CHIDDeviceIO::Create()),
      thread(this),
      writer(this),
      isOpen(false) {}

CUSBHIDDeviceImpl::~CUSBHIDDeviceImpl() {
    if (isOpen) Close();
}

bool CUSBHIDDeviceImpl::Open() {
    if (isOpen) Close();
    // The reader or writer of an earlier opening that Close did not wait for still owns the
    // handles: the device stays closed, as when no reader can be started.
    if (thread.IsRunning() || writer.IsRunning()) return false;
    // The path may come from the server (InitDevice, AssignDevice): only an interface the platform
    // lists now is opened. Anything else is refused as a path that cannot be opened, before any
    // call touches it.
    if (!IsListedHIDInterface(info.devicePath)) {
        SetLastErrorCode(kErrorFileNotFound);
        throw FormatString("CreateFile of %s for reading failed", info.devicePath.c_str());
    }
    // A reader that ended by itself left the handles of the previous opening; Open replaces them.
    {
        CCriticalSectionLocker locker(endLock);
        handlesAbandoned = false;
    }
    io->Open(info.devicePath);
    // The interface numbers are handed out again: the path may now reach another device than the
    // one info describes (a foot switch on the node a hand-set had). Its reports would be decoded
    // with the wrong model's table, so it is refused as a path that cannot be opened.
    if (!io->OpenedAs(info)) {
        io->Close();
        SetLastErrorCode(kErrorFileNotFound);
        throw FormatString("CreateFile of %s for reading failed", info.devicePath.c_str());
    }
    isOpen = true;
    stopRequested = false;
    writer.Restart();
    {
        CCriticalSectionLocker locker(endLock);
        runningThreads = 1;
        releaseAtEnd = nullptr;
    }
    const bool started = thread.Start(0);
    if (!started) {
        CCriticalSectionLocker locker(endLock);
        runningThreads = 0;
    }
    return started;
}

// Runs on the owner's thread, in the driver the ICA Client's engine thread, which must not be held:
// the reader's wait is bounded, and a write under way is not waited for at all. Whatever still runs
// afterwards keeps the handles (see the class comment).
void CUSBHIDDeviceImpl::Close() {
    if (!isOpen) return;
    stopRequested = true;
    io->WakeReader();
    std::deque<std::pair<std::vector<char>, HIDWriteDone>> dropped;
    const bool writeUnderWay = writer.Stop(dropped);
    thread.WaitForEnd(stopWaitMilliseconds);
    // An idle writer ends as soon as it sees the stop.
    if (!writeUnderWay) writer.WaitForEnd(stopWaitMilliseconds);
    bool closeNow = false;
    {
        CCriticalSectionLocker locker(endLock);
        closeNow = runningThreads == 0;
        handlesAbandoned = !closeNow;
    }
    if (closeNow) io->Close();
    isOpen = false;
    // The reports that never reached the device are reported as written to a closed device.
    const std::string notWritten = "Invalid file handle. Can not write to this device";
    for (auto& report : dropped) {
        if (!report.second) continue;
        try {
            report.second(&notWritten);
        } catch (...) {
        }
    }
}

bool CUSBHIDDeviceImpl::ReleaseWhenThreadsEnd(std::function<void()> release) {
    CCriticalSectionLocker locker(endLock);
    if (runningThreads == 0) return false;
    releaseAtEnd = std::move(release);
    return true;
}

std::function<void()> CUSBHIDDeviceImpl::EndThread() {
    std::function<void()> release;
    bool closeHandles = false;
    {
        CCriticalSectionLocker locker(endLock);
        if (runningThreads > 0) --runningThreads;
        if (runningThreads > 0) return release;
        closeHandles = handlesAbandoned;
        handlesAbandoned = false;
        release.swap(releaseAtEnd);
    }
    // The owner's thread touches io again only once this thread has ended (Open refuses before).
    if (closeHandles) io->Close();
    return release;
}

bool CUSBHIDDeviceImpl::WaitForThreadsEnd(uint32_t milliseconds) {
    const bool readerEnded = thread.WaitForEnd(milliseconds);
    return writer.WaitForEnd(milliseconds) && readerEnded;
}

// Checks on the owner's thread, as the synchronous write does; the write itself is the writer's.
void CUSBHIDDeviceImpl::Write(const std::vector<char>& report) {
    CheckWrite(report);
    if (!WriteNow(report)) throw FormatString("WriteFile to %s failed", info.devicePath.c_str());
}

void CUSBHIDDeviceImpl::QueueWrite(const std::vector<char>& report, HIDWriteDone done) {
    CheckWrite(report);
    const CHIDReportWriter::Queued queued = writer.Queue(report, info.devicePath, std::move(done));
    if (queued == CHIDReportWriter::Queued::kRefused) {
        throw FormatString("WriteFile to %s failed", info.devicePath.c_str());
    }
    if (queued == CHIDReportWriter::Queued::kStartWriter && !StartWriter()) {
        writer.Unqueue();
        throw FormatString("WriteFile to %s failed", info.devicePath.c_str());
    }
}

// The writer that emptied the queue last is past its last write and ending; waiting for it takes no
// device time.
bool CUSBHIDDeviceImpl::StartWriter() {
    if (!writer.WaitForEnd(stopWaitMilliseconds)) return false;
    {
        CCriticalSectionLocker locker(endLock);
        ++runningThreads;
    }
    if (writer.Start(0)) return true;
    CCriticalSectionLocker locker(endLock);
    --runningThreads;
    return false;
}

bool CUSBHIDDeviceImpl::WriteNow(const std::vector<char>& report) { return io->Write(report, report.size()); }

void CUSBHIDDeviceImpl::CheckWrite(const std::vector<char>& report) const {
    // After a Close the handles are not the owner's to use, even while a reader still holds them.
    if (!isOpen || !io->CanWrite()) throw std::string("Invalid file handle. Can not write to this device");
    const uint32_t size = static_cast<uint32_t>(report.size());
    const uint32_t required = static_cast<uint32_t>(info.outputReportByteLength);
    if (size < required) {
        throw FormatString("Too small buffer (only %i bytes) to send. Required size is %i bytes",
                           static_cast<int>(size), static_cast<int>(required));
    }
    if (size > required) {
        throw FormatString("Too big buffer (%i bytes) to send. Required size is %i bytes", static_cast<int>(size),
                           static_cast<int>(required));
    }
}

size_t CUSBHIDDeviceImpl::ReportLength() const {
    const int32_t length = info.inputReportByteLength;
    if (length <= 0 || length > kMaxReportLength) return 0;  // nothing sensible to read
    // The server names the length; a read never fills more than the device's own report, so the
    // buffer is no longer than that.
    const int32_t deviceLength = io->InputReportLength();
    return static_cast<size_t>(deviceLength > 0 && deviceLength < length ? deviceLength : length);
}

bool CUSBHIDDeviceImpl::ReadReport(std::vector<char>& report) {
    const size_t length = ReportLength();
    if (length == 0) return false;  // nothing sensible to read
    report.assign(length, 0);       // within the room the reader reserved at its start
    return io->Read(report, stopRequested);
}

CUSBDeviceThread::CUSBDeviceThread(CUSBHIDDeviceImpl* impl) : CThread(0, false), impl(impl) {}

CUSBDeviceThread::~CUSBDeviceThread() = default;

namespace {

// The reader's failure box. Shown on the reader's thread after its Run has returned: by then the
// thread counts as ended, so closing or deleting the device does not wait for whoever has to
// dismiss the box, and the box uses nothing but its own text.
void ShowReadFailure(const std::string& text) {
    ShowMessageBox(text, "USBHIDManager", kMessageBoxOk | kMessageBoxIconError);
}

}  // namespace

void CUSBDeviceThread::Run(int) {
    std::string failure;
    try {
        // One buffer for the whole opening, its room reserved once: a report allocates nothing.
        std::vector<char> report;
        report.reserve(impl->ReportLength());
        while (!impl->stopRequested) {
            if (!impl->ReadReport(report)) break;
            impl->owner->OnReport(report);
        }
    } catch (const HIDReadFailure& readFailure) {
        // The thrown text itself is not shown; the box carries the failed wait's system error.
        SetLastErrorCode(readFailure.error);
        failure = FormatString("Reading from USB deviced failed: %s", LastErrorText().c_str());
    } catch (...) {
        // The thrown text itself is not shown; the box carries the system's last error.
        failure = FormatString("Reading from USB deviced failed: %s", LastErrorText().c_str());
    }
    // The last use of impl: what the owner handed over is released once this thread counts as
    // ended, which may destroy impl and this thread object (the work keeps its own copies).
    std::function<void()> release = impl->EndThread();
    if (failure.empty() && !release) return;
    RunAfterEnd([failure, release] {
        if (release) release();
        if (!failure.empty()) ShowReadFailure(failure);
    });
}
