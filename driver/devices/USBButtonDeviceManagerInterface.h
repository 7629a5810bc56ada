// What users of a button device manager see: the supported devices present, and their arrival and
// removal.
#pragma once

#include <list>

#include "USBButtonDeviceDescriptor.h"

class CUSBButtonDeviceManagerInterface {
public:
    // Clears the list and fills it with the supported devices present now.
    virtual void GetConnectedDevices(std::list<USBButtonDeviceDescriptor>& devices) = 0;
    // A supported device arrived / was removed. Called on the thread that constructed the manager.
    virtual void OnDeviceConnected(const USBButtonDeviceDescriptor& descriptor) = 0;
    virtual void OnDeviceDisconnected(const USBButtonDeviceDescriptor& descriptor) = 0;
    virtual ~CUSBButtonDeviceManagerInterface() {}
};
