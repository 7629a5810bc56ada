// Whether the user who runs the device check may open the listed devices' hidraw nodes, as the
// driver in this user's session would (read and write). The udev rule of tovusb-setup gives the
// nodes of supported devices to the session's user; a node it does not give is refused with
// "Permission denied", which the device list then says next to the device.
#pragma once

#include <list>
#include <map>
#include <string>

#include "USBButtonDeviceDescriptor.h"

namespace devicecheck {

// The listed devices whose node this user may not open, each with the system's reason
// (strerror of EACCES or EPERM). A path that is no file (a simulated device) is not reported.
std::map<std::string, std::string> NodesThisUserCannotOpen(const std::list<USBButtonDeviceDescriptor>& devices);

}  // namespace devicecheck
