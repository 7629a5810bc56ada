#include "DeviceCheckSession.h"

#include "CheckText.h"
#include "DateTime.h"
#include "FormatString.h"
#include "HardwareButtonMap.h"
#include "HardwareCodes.h"
#include "SupportedDeviceTable.h"
#include "USBButtonDevice.h"
#include "USBButtonDeviceManager.h"
#include "USBHIDManager.h"

namespace {
// The device check has no engine poll: a device change is delivered as soon as it is probed.
template <class Manager>
void DeliverWhenProbed(Manager& manager) {
    manager.WaitForProbes(std::chrono::steady_clock::now() + std::chrono::milliseconds(250));
    manager.DeliverDeviceChanges();
}
}  // namespace

// The selected device, connected as the driver connects it; its events go to the session.
class CDeviceCheckSession::Device : public CUSBButtonDevice {
public:
    Device(CDeviceCheckSession& session, const USBButtonDeviceDescriptor& descriptor)
        : session(session), productID(descriptor.hidInfo.productID) {}
    // The reader thread must end before this part goes.
    ~Device() override { Disconnect(); }
    // Reader thread.
    void OnButtonPressed(const int32_t& code, const int32_t& pressed) override {
        session.OnButton(productID, code, pressed != 0);
    }

private:
    CDeviceCheckSession& session;
    const int32_t productID;
};

// Announces supported arrivals and removals as the driver would send them to the server.
class CDeviceCheckSession::DeviceManager : public CUSBButtonDeviceManager {
public:
    explicit DeviceManager(CDeviceCheckSession& session) : session(session) {}
    void OnDeviceConnected(const USBButtonDeviceDescriptor& descriptor) override {
        session.AddLine("Device connected: " + DeviceLine(descriptor));
    }
    void OnDeviceDisconnected(const USBButtonDeviceDescriptor& descriptor) override {
        session.AddLine("Device disconnected: " + DeviceLine(descriptor));
    }
    void OnDeviceChangeQueued() override { DeliverWhenProbed(*this); }

private:
    CDeviceCheckSession& session;
};

// Every HID arrival and removal, supported or not, lists the devices again.
class CDeviceCheckSession::HIDWatcher : public CUSBHIDManager {
public:
    explicit HIDWatcher(CDeviceCheckSession& session) : session(session) {}
    void OnDeviceArrival(const USBHIDDeviceInfo&) override { session.Refresh(); }
    void OnDeviceRemoval(const USBHIDDeviceInfo&) override { session.Refresh(); }
    void OnDeviceChangeQueued() override { DeliverWhenProbed(*this); }

private:
    CDeviceCheckSession& session;
};

CDeviceCheckSession::CDeviceCheckSession(CDeviceCheckListener& listener)
    : listener(listener), manager(new DeviceManager(*this)), watcher(new HIDWatcher(*this)) {}

CDeviceCheckSession::~CDeviceCheckSession() {
    device.reset();
    watcher.reset();
    manager.reset();
}

void CDeviceCheckSession::Refresh() {
    listError.clear();
    std::list<USBButtonDeviceDescriptor> listed;
    std::list<USBHIDDeviceInfo> interfaces;
    try {
        manager->GetConnectedDevices(listed);
        watcher->GetHIDDevices(interfaces);
    } catch (const std::string& message) {
        listError = message;
        AddLine("Listing the HID devices failed: " + message);
    }
    int others = 0;
    for (const USBHIDDeviceInfo& info : interfaces) {
        if (!FindSupportedInterface(info)) ++others;
    }
    devices.swap(listed);
    otherHIDDevices = others;

    if (device) {
        const std::string path = device->GetDescriptor().hidInfo.devicePath;
        bool present = false;
        for (const USBButtonDeviceDescriptor& listedDevice : devices) {
            if (listedDevice.hidInfo.devicePath == path) present = true;
        }
        if (!present) {
            AddLine(device->GetDescriptor().name + " is gone: disconnected");
            device.reset();
        }
    }
    listener.OnDevicesChanged();
}

bool CDeviceCheckSession::Select(const std::string& devicePath) {
    if (device) {
        const std::string name = device->GetDescriptor().name;
        device.reset();
        AddLine("Disconnected " + name);
    }
    if (devicePath.empty()) return true;
    const USBButtonDeviceDescriptor* chosen = nullptr;
    for (const USBButtonDeviceDescriptor& listed : devices) {
        if (listed.hidInfo.devicePath == devicePath) chosen = &listed;
    }
    if (!chosen) {
        AddLine("The device is no longer listed");
        return false;
    }
    std::unique_ptr<Device> connecting(new Device(*this, *chosen));
    connecting->Init(*chosen);
    try {
        if (!connecting->Connect()) {
            AddLine("Could not connect " + chosen->name + ": its reader did not start");
            return false;
        }
    } catch (const std::string& message) {
        AddLine("Could not connect " + chosen->name + ": " + message);
        return false;
    }
    device = std::move(connecting);
    AddLine("Connected " + chosen->name + ": press its buttons");
    return true;
}

const USBButtonDeviceDescriptor* CDeviceCheckSession::Selected() const {
    return device ? &device->GetDescriptor() : nullptr;
}

LEDChoices CDeviceCheckSession::SelectedLEDs() const {
    if (!device) return LEDChoices();
    const USBHIDDeviceInfo& info = device->GetDescriptor().hidInfo;
    return GetLEDChoices(info.vendorID, info.productID);
}

bool CDeviceCheckSession::SendLEDs(const std::list<LEDSetting>& settings) {
    if (!device || settings.empty()) return false;
    try {
        device->SetLEDs(settings);
    } catch (const std::string& message) {
        AddLine("Setting the LEDs failed: " + message);
        return false;
    }
    return true;
}

bool CDeviceCheckSession::SetLED(int32_t led, bool on) {
    LEDSetting setting;
    setting.led = led;
    setting.value = on ? kLEDOn : kLEDOff;
    if (!SendLEDs(std::list<LEDSetting>(1, setting))) return false;
    AddLine(FormatString("LED %i %s", led, on ? "on" : "off"));
    return true;
}

bool CDeviceCheckSession::AllLEDsOff() {
    if (!SendLEDs(SelectedLEDs().allOff)) return false;
    AddLine("All LEDs off");
    return true;
}

void CDeviceCheckSession::OnButton(int32_t productID, int32_t reportedCode, bool pressed) {
    const std::vector<int32_t> hardware = HardwareCodesFor(productID, reportedCode, &MapHardwareButton);
    {
        CCriticalSectionLocker locker(linesLock);
        ++buttonEvents;
    }
    AppendLine(ButtonEventLine(CDateTime::Now(), pressed, hardware, reportedCode));
}

size_t CDeviceCheckSession::ButtonEvents() const {
    CCriticalSectionLocker locker(linesLock);
    return buttonEvents;
}

void CDeviceCheckSession::AddLine(const std::string& text) {
    AppendLine(ClockText(CDateTime::Now()) + "  " + text);
}

void CDeviceCheckSession::AppendLine(const std::string& line) {
    {
        CCriticalSectionLocker locker(linesLock);
        lines.push_back(line);
        ++newLines;
        if (lines.size() > kMaxLines) {
            lines.erase(lines.begin());
            if (newLines > lines.size()) newLines = lines.size();
        }
    }
    listener.OnLinesAdded();
}

std::vector<std::string> CDeviceCheckSession::TakeNewLines() {
    CCriticalSectionLocker locker(linesLock);
    std::vector<std::string> taken(lines.end() - static_cast<std::ptrdiff_t>(newLines), lines.end());
    newLines = 0;
    return taken;
}

std::vector<std::string> CDeviceCheckSession::AllLines() const {
    CCriticalSectionLocker locker(linesLock);
    return lines;
}
