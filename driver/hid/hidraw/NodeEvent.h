// One arrival or removal of a hidraw device node, as a device monitor reports it.
#pragma once

#include <cstddef>
#include <string>

namespace hidraw {

struct NodeEvent {
    // kLost: the monitor lost events (its socket overflowed, or a receive failed); what is present
    // has to be listed again. node is empty then.
    enum Kind { kArrival, kRemoval, kLost };
    Kind kind = kArrival;
    std::string node;  // "/dev/hidrawN"
};

// Reads one kernel uevent message (NETLINK_KOBJECT_UEVENT, group 1: "ACTION@DEVPATH", then
// NUL-separated KEY=VALUE pairs). True for an "add" or "remove" of the subsystem hidraw whose
// DEVNAME is "hidrawN"; false for every other message, a malformed one, or one longer than
// kMaxUeventSize.
constexpr size_t kMaxUeventSize = 8192;
bool ParseKernelUevent(const char* message, size_t size, NodeEvent& event);

// The event for a udev device's action and device node (from libudev); false unless the action is
// "add" or "remove" and the node has the form "/dev/hidrawN".
bool MakeNodeEvent(const char* action, const char* devnode, NodeEvent& event);

}  // namespace hidraw
