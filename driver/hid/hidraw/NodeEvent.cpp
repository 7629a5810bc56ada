#include "NodeEvent.h"

#include <cstring>

#include "HidrawSysfs.h"

namespace hidraw {

namespace {

bool ActionKind(const std::string& action, NodeEvent::Kind& kind) {
    if (action == "add") {
        kind = NodeEvent::kArrival;
    } else if (action == "remove") {
        kind = NodeEvent::kRemoval;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool ParseKernelUevent(const char* message, size_t size, NodeEvent& event) {
    if (message == nullptr || size == 0 || size > kMaxUeventSize) return false;
    // The header "ACTION@DEVPATH" ends at the first NUL; messages of udev's daemon ("libudev"
    // header) do not have it and are refused.
    const char* end = message + size;
    const char* headerEnd = static_cast<const char*>(std::memchr(message, '\0', size));
    if (headerEnd == nullptr || std::memchr(message, '@', static_cast<size_t>(headerEnd - message)) == nullptr) {
        return false;
    }
    std::string action, subsystem, devname;
    for (const char* field = headerEnd + 1; field < end;) {
        const char* fieldEnd = static_cast<const char*>(std::memchr(field, '\0', static_cast<size_t>(end - field)));
        if (fieldEnd == nullptr) fieldEnd = end;  // the last pair without its NUL
        const std::string pair(field, fieldEnd);
        const size_t equals = pair.find('=');
        if (equals != std::string::npos) {
            const std::string key = pair.substr(0, equals);
            if (key == "ACTION") action = pair.substr(equals + 1);
            else if (key == "SUBSYSTEM") subsystem = pair.substr(equals + 1);
            else if (key == "DEVNAME") devname = pair.substr(equals + 1);
        }
        field = fieldEnd + 1;
    }
    if (subsystem != "hidraw") return false;
    // DEVNAME is relative to /dev for the kernel ("hidraw0"); udev's own form is the full node.
    const std::string node = devname.compare(0, 5, "/dev/") == 0 ? devname : "/dev/" + devname;
    return MakeNodeEvent(action.c_str(), node.c_str(), event);
}

bool MakeNodeEvent(const char* action, const char* devnode, NodeEvent& event) {
    if (action == nullptr || devnode == nullptr) return false;
    NodeEvent::Kind kind;
    if (!ActionKind(action, kind) || !IsHidrawNodePath(devnode)) return false;
    event.kind = kind;
    event.node = devnode;
    return true;
}

}  // namespace hidraw
