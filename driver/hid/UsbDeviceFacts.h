// What the platform shows of the USB device a HID interface sits on: the device's ids and release,
// and the class, subclass and protocol of each of its USB interfaces. A value the platform does not
// show stays unknown; it is never read as 0, because a 0 could decide a rule that tests it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hidseam {

struct KnownValue {
    bool known = false;
    uint16_t value = 0;
};

inline KnownValue Known(uint16_t value) { return KnownValue{true, value}; }

struct UsbInterfaceClass {
    KnownValue usbClass, subClass, protocol;
};

struct UsbDeviceFacts {
    KnownValue vendorID, productID, release;
    // The device's interfaces, in the order the platform lists them (at most kMaxUsbInterfaces).
    std::vector<UsbInterfaceClass> interfaces;
    // False when the platform may not have shown every interface.
    bool allInterfacesShown = false;
};

constexpr size_t kMaxUsbInterfaces = 32;  // a USB configuration has at most 32 interfaces in practice

}  // namespace hidseam
