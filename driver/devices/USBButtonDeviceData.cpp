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

template <typename Codes>
bool Contains(const Codes& codes, int32_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Hardware codes on the stack: a report yields at most one code per row of its table.
class CodeList {
public:
    void Add(int32_t code) {
        if (count < kMaxDecodedCodes) codes[count++] = code;
    }
    const int32_t* begin() const { return codes; }
    const int32_t* end() const { return codes + count; }

private:
    int32_t codes[kMaxDecodedCodes];
    size_t count = 0;
};

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

CUSBButtonDeviceData::CUSBButtonDeviceData(CUSBButtonDevice* owner) : owner(owner) {
    // Room for every code a report can yield, so that handling a report allocates nothing.
    pressedButtons.reserve(kMaxDecodedCodes);
    decoded.reserve(kMaxDecodedCodes);
}

CUSBButtonDeviceData::~CUSBButtonDeviceData() { Close(); }

void CUSBButtonDeviceData::OnReport(std::vector<char>& report) {
    // The reader thread's path for every report: the lists below live on the stack and the decoded
    // codes in a member reserved at construction, so nothing here touches the heap.
    CodeList released;
    CodeList newlyPressed;
    CodeList previous;
    bool raiseEvents = false;
    {
        CCriticalSectionLocker locker(lock);
        const int32_t productID = descriptor.hidInfo.productID;
        if (!IsButtonReport(productID, report)) return;
        DecodeButtons(productID, report, lastReport, decoded);
        for (int32_t code : decoded) {
            if (!Contains(pressedButtons, code)) newlyPressed.Add(code);
        }
        for (int32_t code : pressedButtons) {
            if (!Contains(decoded, code)) released.Add(code);
            previous.Add(code);
        }
        raiseEvents = buttonEventsEnabled;
        // The new state is stored before the events are raised, so whoever has seen an event
        // (an assignment copying this device's pressed buttons, say) also sees the state after it.
        pressedButtons.assign(decoded.begin(), decoded.end());
    }
    // The hooks run without the lock (see the class comment). An exception from a hook leaves
    // pressedButtons as it was: only this reader thread writes them between reports.
    if (raiseEvents) {
        try {
            for (int32_t code : released) owner->OnButtonPressed(MapHardwareButton(code), 0);
            for (int32_t code : newlyPressed) owner->OnButtonPressed(MapHardwareButton(code), 1);
        } catch (...) {
            CCriticalSectionLocker locker(lock);
            pressedButtons.assign(previous.begin(), previous.end());
            throw;
        }
    }
}

void CUSBButtonDeviceData::Init(const USBButtonDeviceDescriptor& newDescriptor) {
    {
        CCriticalSectionLocker locker(lock);
        descriptor = newDescriptor;
    }
    // An opening keeps its own copy of the interface record: this is the one the next Connect opens.
    Info() = newDescriptor.hidInfo;
}

void CUSBButtonDeviceData::EnableButtonEvents(bool enabled) {
    CCriticalSectionLocker locker(lock);
    buttonEventsEnabled = enabled;
}

bool CUSBButtonDeviceData::LEDReportFor(const std::list<LEDSetting>& settings, std::vector<char>& report) const {
    if (settings.empty()) return false;
    int32_t vendorID = 0;
    int32_t productID = 0;
    {
        CCriticalSectionLocker locker(lock);
        vendorID = descriptor.hidInfo.vendorID;
        productID = descriptor.hidInfo.productID;
    }
    if (!SendsLEDReports(vendorID, productID)) return false;
    report = BuildLEDReport(productID, settings);
    return true;
}

void CUSBButtonDeviceData::SendLEDReport(const std::list<LEDSetting>& settings) {
    std::vector<char> report;
    if (LEDReportFor(settings, report)) Write(report);
}

void CUSBButtonDeviceData::QueueLEDReport(const std::list<LEDSetting>& settings, HIDWriteDone done) {
    std::vector<char> report;
    if (LEDReportFor(settings, report)) {
        QueueWrite(report, std::move(done));
    } else if (done) {
        done(nullptr);  // nothing to send: done at once
    }
}

bool CUSBButtonDeviceData::Connect() {
    Close();
    // The path comes from the server: open it only when it is a supported HID interface, and refuse
    // anything else as a path that cannot be opened.
    const std::string& devicePath = Info().devicePath;
    if (!IsSupportedHIDInterface(devicePath)) {
        throw FormatString("CreateFile of %s for reading failed", devicePath.c_str());
    }
    return Open();
}

void CUSBButtonDeviceData::Disconnect() { Close(); }

void CUSBButtonDeviceData::AssignFrom(const CUSBButtonDeviceData& other) {
    // Closes this device and opens it anew on the other's interface; no lock is held meanwhile.
    CUSBHIDDevice::operator=(other);
    std::vector<int32_t> otherPressed;
    {
        CCriticalSectionLocker locker(other.lock);
        otherPressed = other.pressedButtons;
    }
    CCriticalSectionLocker locker(lock);
    pressedButtons = otherPressed;
}

std::shared_ptr<void> CUSBButtonDeviceData::SharedOwner() { return owner->weak_from_this().lock(); }
