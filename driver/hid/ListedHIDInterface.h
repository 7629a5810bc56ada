// Whether a device path that came from outside the driver (the server, a caller) names a HID
// interface that the platform lists now. Nothing may be opened on a path before this holds: a
// path such as "\\host\share\x" or "\\.\pipe\x" would make an open connect to another machine with
// the user's credentials, or to a local pipe.
#pragma once

#include <string>

// True when path has the form of the backend's device-interface paths and equals, compared in
// lower case as the driver lower-cases paths, one path of the backend's present HID interface
// list (GetClassDevs and EnumDeviceInterface). False when the list cannot be read. Nothing is
// opened, probed or cached: the list is read again on every call, so the answer is that of the
// moment of the call and never that of an earlier enumeration.
bool IsListedHIDInterface(const std::string& path);
