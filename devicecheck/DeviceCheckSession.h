// The device side of the device check: lists the supported devices as the driver lists them to
// the server, counts the other HID interfaces, follows arrivals and removals, connects the
// selected device through the driver's button device and sets its LEDs.
//
// Threads: construct, use and destroy the session on one thread whose message loop runs (the
// dialog's). The notification hooks, and with them OnDevicesChanged, run on that thread. Button
// events arrive on the connected device's reader thread: they are added to the event lines under
// `linesLock` and announced with OnLinesAdded on that reader thread, so the listener must only
// wake its own thread there.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "CriticalSection.h"
#include "LEDChoices.h"
#include "USBButtonDeviceDescriptor.h"

class CDeviceCheckListener {
public:
    virtual ~CDeviceCheckListener() = default;
    // The device list changed (session thread).
    virtual void OnDevicesChanged() = 0;
    // New event lines wait in TakeNewLines (any thread).
    virtual void OnLinesAdded() = 0;
};

class CDeviceCheckSession {
public:
    // Most event lines kept; older ones are dropped.
    static constexpr size_t kMaxLines = 2000;

    explicit CDeviceCheckSession(CDeviceCheckListener& listener);
    ~CDeviceCheckSession();
    CDeviceCheckSession(const CDeviceCheckSession&) = delete;
    CDeviceCheckSession& operator=(const CDeviceCheckSession&) = delete;

    // Lists the devices again. A selected device that is gone is disconnected.
    void Refresh();
    // The supported devices, sorted and named as the driver lists them.
    const std::list<USBButtonDeviceDescriptor>& Devices() const { return devices; }
    // HID interfaces present that are no supported device.
    int OtherHIDDevices() const { return otherHIDDevices; }
    // The enumeration's message when the last listing failed, else "".
    const std::string& ListError() const { return listError; }

    // Connects the listed device with this path (disconnecting the one before); "" only
    // disconnects. False, with a line saying why, when it cannot be connected.
    bool Select(const std::string& devicePath);
    // The connected device's descriptor, or nullptr.
    const USBButtonDeviceDescriptor* Selected() const;
    // The LEDs of the connected device (none when no device is connected).
    LEDChoices SelectedLEDs() const;
    // One SetLEDs call on the connected device; false, with a line saying why, when it fails.
    bool SetLED(int32_t led, bool on);
    bool AllLEDsOff();

    // Event lines added since the last call, oldest first.
    std::vector<std::string> TakeNewLines();
    // All event lines kept, oldest first.
    std::vector<std::string> AllLines() const;
    // Adds a line with the current time (any thread).
    void AddLine(const std::string& text);
    // How many button events (presses and releases) have come since the session began (any
    // thread); a waiting front end compares it with the count it saw last.
    size_t ButtonEvents() const;

private:
    class Device;
    class DeviceManager;
    class HIDWatcher;
    friend class Device;
    friend class DeviceManager;
    friend class HIDWatcher;

    void OnButton(int32_t productID, int32_t reportedCode, bool pressed);  // reader thread
    bool SendLEDs(const std::list<LEDSetting>& settings);
    // Keeps the line (dropping the oldest beyond kMaxLines) and tells the listener (any thread).
    void AppendLine(const std::string& line);

    CDeviceCheckListener& listener;
    std::unique_ptr<DeviceManager> manager;
    std::unique_ptr<HIDWatcher> watcher;
    std::unique_ptr<Device> device;  // the connected device, or null
    std::list<USBButtonDeviceDescriptor> devices;
    int otherHIDDevices = 0;
    std::string listError;

    mutable CCriticalSectionClass linesLock;  // guards lines, newLines and buttonEvents
    std::vector<std::string> lines;
    size_t newLines = 0;  // how many of the last lines TakeNewLines has not returned
    size_t buttonEvents = 0;
};
