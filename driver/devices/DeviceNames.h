// How the button device manager orders the interfaces it knows and names the devices it lists.
#pragma once

#include <list>

#include "USBButtonDeviceDescriptor.h"
#include "USBHIDDeviceInfo.h"

// The order of knownDevices: by vendor and then product id (unsigned) when both paths are empty,
// otherwise by path alone (byte-wise). In practice the key is the lower-cased path.
struct USBHIDDeviceInfoLess {
    bool operator()(const USBHIDDeviceInfo& a, const USBHIDDeviceInfo& b) const;
};

// Sorts by device path (stable) and gives each repeated name the next number of one counter shared
// by all names, starting at 2: "A", "B", "A (2)", "B (3)".
void MakeNamesUnique(std::list<USBButtonDeviceDescriptor>& devices);
