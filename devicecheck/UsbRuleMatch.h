// What the ICA Client's generic USB rules do to one USB device. The rules match per interface, each
// interface with the device's VID, PID and REL and its own CLASS, SUBCLASS and PROT: the first rule
// that matches decides, and where none of the administrator's rules matches, the client's defaults
// decide. A DENY on any interface keeps a composite device local; only when every interface is
// allowed can the whole device be redirected.
//
// A value the platform does not show is unknown, never 0: a rule that tests it may or may not match.
// The verdict is the one the rules give when every such rule is passed over, and it names the
// unknown values (and the tags the check does not evaluate) that could turn it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "UsbDeviceFacts.h"
#include "UsbRules.h"

namespace devicecheck {

using hidseam::Known;
using hidseam::KnownValue;
using hidseam::UsbDeviceFacts;
using hidseam::UsbInterfaceClass;

struct InterfaceVerdict {
    bool allowed = false;
    bool byDefaults = false;  // none of the administrator's rules matched: the client's defaults decided
    UsbRule rule;             // the first rule that matches
    // Why the verdict could be the other one: "SUBCLASS unknown", "tag intf=00 not evaluated".
    std::vector<std::string> dependsOn;
};

struct DeviceVerdict {
    bool allowed = false;  // the rules allow redirecting the whole device
    std::vector<InterfaceVerdict> interfaces;  // one per interface (one with unknown class when none is shown)
    size_t deciding = 0;  // the interface whose rule decides: the first denied one, else the first
    std::vector<std::string> dependsOn;  // empty when no unknown value can turn the verdict
    // The device could be redirected: allowed, or kept local only on the strength of a guess.
    bool CouldBeRedirected() const { return allowed || !dependsOn.empty(); }
};

DeviceVerdict EvaluateUsbRules(const UsbRuleList& rules, const UsbDeviceFacts& device);

}  // namespace devicecheck
