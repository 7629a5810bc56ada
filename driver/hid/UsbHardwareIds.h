// The USB values in Windows' device ids: a USB device's hardware ids ("USB\VID_0911&PID_0C1C&REV_0300")
// and a USB interface's compatible ids ("USB\Class_03&SubClass_01&Prot_01"), letters in any case.
// The ids come from the device's own descriptors through the system: untrusted text, read with bounds.
#pragma once

#include <string>
#include <vector>

#include "UsbDeviceFacts.h"

namespace hidseam {

// A REG_MULTI_SZ block (strings each ended by a zero byte, the block by an empty one) as its
// strings; reads at most `size` bytes and at most 64 strings.
std::vector<std::string> SplitMultiString(const char* block, size_t size);

// True for an id of a USB interface of a composite device ("USB\VID_0911&PID_0C1C&MI_00").
bool IsUsbInterfaceId(const std::string& id);

// Sets the vendor, product and release that the first id holding them gives; what no id gives stays
// as it was. False when no id is a USB device id ("USB\VID_...").
bool ReadUsbDeviceIds(const std::vector<std::string>& ids, UsbDeviceFacts& facts);

// The class, subclass and protocol of the most complete "USB\Class_.." id; what none gives stays unknown.
UsbInterfaceClass ReadUsbClassIds(const std::vector<std::string>& ids);

}  // namespace hidseam
