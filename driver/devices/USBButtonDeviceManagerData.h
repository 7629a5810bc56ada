// The state of a button device manager: the HID manager that enumerates and receives notifications,
// and the descriptor given to each supported interface seen.
#pragma once

#include <list>
#include <map>

#include "DeviceNames.h"
#include "USBButtonDeviceDescriptor.h"
#include "USBHIDManager.h"

class CUSBButtonDeviceManager;

// Threads: the hooks (from DeliverDeviceChanges) and the listing run on the thread that
// constructed the manager; knownDevices is used only there and has no lock.
class CUSBButtonDeviceManagerData : public CUSBHIDManager {
public:
    explicit CUSBButtonDeviceManagerData(CUSBButtonDeviceManager* owner);
    ~CUSBButtonDeviceManagerData() override;

    void OnDeviceArrival(const USBHIDDeviceInfo& info) override;
    void OnDeviceRemoval(const USBHIDDeviceInfo& info) override;
    void OnDeviceChangeQueued() override;

    // Whether the interface is a supported device; if so fills the descriptor: the one stored for
    // this interface, or a new one (table name, copy of info, id as passed) that is then stored.
    bool ResolveDescriptor(const USBHIDDeviceInfo& info, USBButtonDeviceDescriptor& descriptor);
    void GetConnectedDevices(std::list<USBButtonDeviceDescriptor>& devices);

private:
    // The descriptor each supported interface got when first seen; kept while the path names the
    // same product, replaced when it names another (a reused hidraw node).
    std::map<USBHIDDeviceInfo, USBButtonDeviceDescriptor, USBHIDDeviceInfoLess> knownDevices;
    CUSBButtonDeviceManager* owner;  // not owned
};
