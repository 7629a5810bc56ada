// The form of a Windows HID device-interface path, as SetupAPI lists the interfaces of the HID
// class: "\\?\hid#" followed by the device instance and the class GUID, e.g.
//   \\?\hid#vid_0911&pid_0c1c&mi_00#7&2a4c7e5&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}
// Shared by the backends whose paths have this form (SetupAPI and the simulated bus). It looks at
// the characters only; it never opens or resolves anything.
#pragma once

#include <cstddef>
#include <string>

#include "AsciiText.h"

namespace hidpathform {

// Longer than any interface path Windows hands out (device instance ids are at most 200
// characters); a longer text is not one.
constexpr size_t kMaxInterfacePathLength = 512;

inline bool IsWindowsHIDInterfacePathForm(const std::string& path) {
    static const char kPrefix[] = "\\\\?\\hid#";
    const size_t prefixLength = sizeof(kPrefix) - 1;
    if (path.size() <= prefixLength || path.size() > kMaxInterfacePathLength) return false;
    for (size_t i = 0; i < prefixLength; ++i) {
        if (LowerAscii(path[i]) != kPrefix[i]) return false;
    }
    // After the prefix: printable ASCII without a path separator, drive or stream colon, or a
    // wildcard, so the text names nothing but one object of the device namespace.
    for (size_t i = prefixLength; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (c <= 0x20 || c >= 0x7F) return false;
        switch (c) {
        case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
            return false;
        default:
            break;
        }
    }
    return true;
}

}  // namespace hidpathform
