// The input report length a HID device declares for itself, asked of an open handle.
#pragma once

#include <cstdint>

#include "HIDSeam.h"

// The InputReportByteLength of the handle's capabilities (report-id byte included), or 0 when the
// device does not answer. The report length a server names for the device may be any number up
// to 64 KB; this one is what a read of the device can really fill.
int32_t QueryInputReportLength(hidseam::Handle handle);
