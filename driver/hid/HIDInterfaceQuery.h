// What an open handle of a HID interface answers about itself: its HID attributes and capabilities,
// read with the calls of the HID seam on that very handle.
#pragma once

#include "HIDSeam.h"
#include "USBHIDDeviceInfo.h"

// Fills the ids, release number, usage type and report lengths of info from the open handle (the
// path and product string are left alone). False when the handle has no HID attributes; throws
// "HidD_GetPreparsedData failed" / "HidP_GetCaps failed" as the manager's probe does.
bool QueryHIDInterface(hidseam::Handle handle, USBHIDDeviceInfo& info);

// Whether the interface open on handle is the device that expected describes: the same vendor and
// product ids, top-level usage type and input and output report lengths. A device number (a hidraw
// node, say) is handed to the next device once the last one went, so a path alone does not say
// which device it reaches. A handle that cannot be queried answers false. The release number is
// not compared (it is no part of which model and report layout a device has).
bool HandleAnswersAs(hidseam::Handle handle, const USBHIDDeviceInfo& expected);
