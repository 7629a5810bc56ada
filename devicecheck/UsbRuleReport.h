// The device check's lines on the ICA Client's generic USB redirection rules, for both programs:
// where the rules are and whether they could be read, the rules that cannot be read, and for each
// supported device present whether the rules allow redirecting it (per interface, with the first
// matching rule), which unknown values that verdict depends on, and the DENY rule that keeps it for
// the driver. The rules only say whether a device may be redirected; auto-connect (or the user
// connecting it from the toolbar) and the server's own rules decide the rest, which the lines say.
#pragma once

#include <string>
#include <vector>

#include "UsbRuleMatch.h"
#include "UsbRules.h"

namespace devicecheck {

struct UsbRulesDevice {
    std::string name;     // "Philips SpeechMike III"
    UsbDeviceFacts facts;
    std::string denyRule;  // the rule to add, as the source takes it
};

struct UsbRulesContent {
    std::string source;     // "Group Policy value HKLM\...\DeviceRules", "/opt/Citrix/ICAClient/usb.conf"
    bool present = false;   // the value is set, the file is there
    std::string readError;  // why the present source could not be read, "" when it was
    UsbRuleList rules;
    std::string denyWhere;  // "at the start of the DeviceRules value"
    std::vector<UsbRulesDevice> devices;
};

// "03", "unknown".
std::string KnownValueText(const KnownValue& value, int digits);

std::vector<std::string> UsbRulesLines(const UsbRulesContent& content);

}  // namespace devicecheck
