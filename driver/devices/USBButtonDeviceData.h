// The state of one button device: the HID device that receives its reports, its descriptor and the
// buttons pressed at its last button report.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "CriticalSection.h"
#include "USBButtonDeviceDescriptor.h"
#include "USBHIDDevice.h"

class CUSBButtonDevice;

// Threads and the lock: OnReport runs on the reader thread; everything else on the caller's thread.
// `lock` guards pressedButtons, decoded, descriptor, buttonEventsEnabled and lastReport. The reader
// thread holds it while it tests and decodes a report and compares it with pressedButtons, and
// while it stores the new pressedButtons; it does not hold it while it calls OnButtonPressed. The
// caller's thread holds it only for short copies (Init, EnableButtonEvents, the LED calls, the
// pressed buttons in assignment) and never while it waits for the reader thread (Close, Open and
// the HID assignment run without it), so neither thread can wait for the other while holding it.
// The reader holds this object (through its owner, SharedOwner) while it runs.
class CUSBButtonDeviceData : public CUSBHIDDevice {
public:
    explicit CUSBButtonDeviceData(CUSBButtonDevice* owner);
    // Closes the device before the state its reader uses goes away (a reader still running then
    // holds the owner, unless nothing shares it, in which case the close waits for it).
    ~CUSBButtonDeviceData() override;
    CUSBButtonDeviceData(const CUSBButtonDeviceData&) = delete;
    CUSBButtonDeviceData& operator=(const CUSBButtonDeviceData&) = delete;

    // Reader thread: turns a button report into releases, then presses, for the owner.
    void OnReport(std::vector<char>& report) override;

    void Init(const USBButtonDeviceDescriptor& newDescriptor);
    const USBButtonDeviceDescriptor& GetDescriptor() const { return descriptor; }
    void EnableButtonEvents(bool enabled);
    void SendLEDReport(const std::list<LEDSetting>& settings);
    // The same report queued for the writer thread (CUSBButtonDevice::QueueLEDs).
    void QueueLEDReport(const std::list<LEDSetting>& settings, HIDWriteDone done);
    bool Connect();
    void Disconnect();
    // The HID device part and the pressed buttons of the other device.
    void AssignFrom(const CUSBButtonDeviceData& other);

protected:
    std::shared_ptr<void> SharedOwner() override;

private:
    // The LED report for settings; false when there is nothing to send (no setting, or a model
    // without LED reports).
    bool LEDReportFor(const std::list<LEDSetting>& settings, std::vector<char>& report) const;

    CUSBButtonDevice* owner;              // not owned
    std::vector<int32_t> pressedButtons;  // hardware codes at the last accepted button report
    std::vector<int32_t> decoded;         // OnReport's decoded codes, kept to reuse their room
    USBButtonDeviceDescriptor descriptor;
    bool buttonEventsEnabled = true;
    std::vector<char> lastReport;         // the previous accepted report (SonicMic decoding)
    mutable CCriticalSectionClass lock;
};
