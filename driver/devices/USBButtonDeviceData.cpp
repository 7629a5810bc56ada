#include "USBButtonDeviceData.h"

#include <algorithm>

#include "ButtonDecoding.h"
#include "FormatString.h"
#include "HardwareButtonMap.h"
#include "LEDReport.h"
#include "ListedHIDInterface.h"
#include "SupportedDeviceTable.h"
#include "USBButtonDevice.h"
#include "USBHIDManager.h"

namespace {

bool Contains(const std::vector<int32_t>& codes, int32_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Whether the path names a HID interface of a supported model: one the platform lists now (checked
// before anything touches the path), then the same query open, attributes and capabilities as the
// HID manager's probe, and a table row matching its ids and usage. A probe that throws counts as
// not supported.
bool IsSupportedHIDInterface(const std::string& devicePath) {
    if (!IsListedHIDInterface(devicePath)) return false;
    USBHIDDeviceInfo probed;
    try {
        if (!ProbeHIDInterface(devicePath, probed)) return false;
    } catch (const std::string&) {
        return false;
    }
    return FindSupportedInterface(probed) != nullptr;
}

}  // namespace

CUSBButtonDeviceData::CUSBButtonDeviceData(CUSBButtonDevice* owner) : owner(owner) {}

CUSBButtonDeviceData::~CUSBButtonDeviceData() { Close(); }

void CUSBButtonDeviceData::OnReport(std::vector<char>& report) {
    std::vector<int32_t> current;
    std::vector<int32_t> released;
    std::vector<int32_t> newlyPressed;
    std::vector<int32_t> previous;
    bool raiseEvents = false;
    {
        CCriticalSectionLocker locker(lock);
        const int32_t productID = descriptor.hidInfo.productID;
        if (!IsButtonReport(productID, report)) return;
        DecodeButtons(productID, report, lastReport, current);
        for (int32_t code : current) {
            if (!Contains(pressedButtons, code)) newlyPressed.push_back(code);
        }
        for (int32_t code : pressedButtons) {
            if (!Contains(current, code)) released.push_back(code);
        }
        raiseEvents = buttonEventsEnabled;
        // The new state is stored before the events are raised, so whoever has seen an event
        // (an assignment copying this device's pressed buttons, say) also sees the state after it.
        previous.swap(pressedButtons);
        pressedButtons = current;
    }
    // The hooks run without the lock (see the class comment). An exception from a hook leaves
    // pressedButtons as it was: only this reader thread writes them between reports.
    if (raiseEvents) {
        try {
            for (int32_t code : released) owner->OnButtonPressed(MapHardwareButton(code), 0);
            for (int32_t code : newlyPressed) owner->OnButtonPressed(MapHardwareButton(code), 1);
        } catch (...) {
            CCriticalSectionLocker locker(lock);
            pressedButtons = previous;
            throw;
        }
    }
}

void CUSBButtonDeviceData::Init(const USBButtonDeviceDescriptor& newDescriptor) {
    {
        CCriticalSectionLocker locker(lock);
        descriptor = newDescriptor;
    }
    if (IsOpen()) {
        infoPending = true;
    } else {
        Info() = newDescriptor.hidInfo;
        infoPending = false;
    }
}

void CUSBButtonDeviceData::EnableButtonEvents(bool enabled) {
    CCriticalSectionLocker locker(lock);
    buttonEventsEnabled = enabled;
}

void CUSBButtonDeviceData::SendLEDReport(const std::list<LEDSetting>& settings) {
    if (settings.empty()) return;
    int32_t vendorID = 0;
    int32_t productID = 0;
    {
        CCriticalSectionLocker locker(lock);
        vendorID = descriptor.hidInfo.vendorID;
        productID = descriptor.hidInfo.productID;
    }
    const std::vector<char> report = BuildLEDReport(productID, settings);
    if (SendsLEDReports(vendorID, productID)) Write(report);
}

bool CUSBButtonDeviceData::Connect() {
    if (IsOpen()) Close();
    ApplyPendingInfo();
    // The path comes from the server: open it only when it is a supported HID interface, and refuse
    // anything else as a path that cannot be opened.
    const std::string& devicePath = Info().devicePath;
    if (!IsSupportedHIDInterface(devicePath)) {
        throw FormatString("CreateFile of %s for reading failed", devicePath.c_str());
    }
    return Open();
}

void CUSBButtonDeviceData::Disconnect() {
    Close();
    ApplyPendingInfo();
}

void CUSBButtonDeviceData::AssignFrom(const CUSBButtonDeviceData& other) {
    // Closes this device (waiting for its reader) and reopens it on the other's interface; no lock
    // is held meanwhile.
    CUSBHIDDevice::operator=(other);
    infoPending = false;
    std::vector<int32_t> otherPressed;
    {
        CCriticalSectionLocker locker(other.lock);
        otherPressed = other.pressedButtons;
    }
    CCriticalSectionLocker locker(lock);
    pressedButtons = otherPressed;
}

void CUSBButtonDeviceData::ApplyPendingInfo() {
    if (!infoPending || IsOpen()) return;
    Info() = descriptor.hidInfo;  // descriptor is written only on this thread
    infoPending = false;
}
