// What users of a button device see: its buttons (as events) and its LEDs.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "USBButtonDeviceDescriptor.h"

class CUSBButtonDeviceInterface {
public:
    // Sets the device's descriptor and the HID interface it connects to.
    virtual void Init(const USBButtonDeviceDescriptor& descriptor) = 0;
    virtual const USBButtonDeviceDescriptor& GetDescriptor() = 0;
    // While false, reports are still followed but no events are raised.
    virtual void EnableButtonEvents(bool enabled) = 0;
    // Builds the model's LED report with this one setting and sends it.
    virtual void SetLED(const int32_t& led, const int32_t& value) = 0;
    // Builds one LED report from all settings in order and sends it; nothing for an empty list.
    virtual void SetLEDs(const std::list<LEDSetting>& settings) = 0;
    // Opens the device and starts its reader thread.
    virtual bool Connect() = 0;
    virtual void Disconnect() = 0;
    virtual bool IsConnected() = 0;
    // A reported button code (after the hardware button map), pressed 1 or released 0. Called on
    // the device's reader thread.
    virtual void OnButtonPressed(const int32_t& code, const int32_t& pressed) = 0;
    virtual ~CUSBButtonDeviceInterface() {}
    // Initialises and connects to the first present supported device that matches (0 and "" match
    // anything); false when none does.
    virtual bool ConnectToDevice(int32_t vendorID, int32_t productID,
                                 const std::string& devicePath) = 0;
};
