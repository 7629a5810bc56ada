// Giving back the hidraw nodes that the removed udev rules had opened to the seat's user or a group.
//
// udev (252) sets a node's owner, group and mode only when a rule names them, also on a triggered
// "change" or "add" event: once our rules are gone, a supported device that is still plugged in
// would keep its group's 0660 access (and the seat user's ACL) until it is unplugged. Uninstall
// therefore gives each such node the permissions the kernel creates a hidraw node with (root:root,
// 0600, no ACL) before udev is triggered, so that any other rule of the system can set its own again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DeviceModels.h"

namespace linuxsetup {

// The vendor and product id in the name of a HID device in sysfs ("0003:0911:149A.0001": bus,
// vendor, product, instance; the name udev's KERNELS match of our rules compares against).
bool ParseHidDeviceName(const std::string& name, uint16_t& vendorID, uint16_t& productID);

struct NodeReset {
    std::string node;   // "/dev/hidraw3"
    std::string model;  // the supported model's name
    bool done = false;
    std::string why;    // why it was left as it is, when not done
};

// Every hidraw node (below the hidraw backend's system root) whose HID device is one of the models,
// given back to root:root 0600 without an ACL. A node that is not the character device sysfs names
// for it is left alone and reported.
std::vector<NodeReset> ResetSupportedNodes(const std::vector<DeviceModel>& models);

}  // namespace linuxsetup
