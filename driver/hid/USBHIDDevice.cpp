#include "USBHIDDevice.h"

#include <utility>

#include "FormatString.h"
#include "HIDOpening.h"
#include "LastError.h"
#include "ListedHIDInterface.h"

CUSBHIDDevice::CUSBHIDDevice() = default;

CUSBHIDDevice::~CUSBHIDDevice() {
    RequestClose();
    WaitForClose(StopDeadlineFromNow());
}

bool CUSBHIDDevice::Open() {
    Close();
    // The path may come from the server (InitDevice, AssignDevice): only an interface the platform
    // lists now is opened. Anything else is refused as a path that cannot be opened, before any
    // call touches it.
    if (!IsListedHIDInterface(info.devicePath)) {
        SetLastErrorCode(kErrorFileNotFound);
        throw FormatString("CreateFile of %s for reading failed", info.devicePath.c_str());
    }
    opening = CHIDOpening::Create(info, this, SharedOwner());
    return opening->StartReader();
}

void CUSBHIDDevice::Close() {
    RequestClose();
    WaitForClose(StopDeadlineFromNow());
}

void CUSBHIDDevice::RequestClose() {
    if (!opening) return;
    opening->Stop();
    stopped.push_back(std::move(opening));
    opening.reset();
}

// Runs on the owner's thread, in the driver the ICA Client's engine thread, which must not be held:
// a shared device's threads keep what they use, so the wait ends at the deadline.
void CUSBHIDDevice::WaitForClose(StopDeadline deadline) {
    for (const std::shared_ptr<CHIDOpening>& old : stopped) {
        old->WaitUntil(old->KeepsSinkAlive() ? deadline : StopDeadline::max());
    }
    stopped.clear();
}

bool CUSBHIDDevice::IsOpen() const { return static_cast<bool>(opening); }

bool CUSBHIDDevice::WaitForReaderEnd(uint32_t milliseconds) {
    if (!opening) return true;
    return opening->WaitForReaderEnd(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds));
}

void CUSBHIDDevice::Write(const std::vector<char>& report) {
    if (!opening) throw std::string("Invalid file handle. Can not write to this device");
    opening->WriteNow(report);
}

void CUSBHIDDevice::QueueWrite(const std::vector<char>& report, HIDWriteDone done) {
    if (!opening) throw std::string("Invalid file handle. Can not write to this device");
    opening->QueueWrite(report, std::move(done));
}

USBHIDDeviceInfo& CUSBHIDDevice::Info() { return info; }
const USBHIDDeviceInfo& CUSBHIDDevice::Info() const { return info; }

CUSBHIDDevice& CUSBHIDDevice::operator=(const CUSBHIDDevice& other) {
    if (this == &other) return *this;
    Close();
    info = other.info;
    if (other.IsOpen()) Open();
    return *this;
}
