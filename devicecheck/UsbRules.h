// The ICA Client's generic USB redirection rules, read as untrusted text: the Group Policy value
// DeviceRules on Windows (rules separated by ";" or line ends, "#" starts a comment that runs to
// the next ";") and $ICAROOT/usb.conf on Linux (one rule a line, "#" to the line's end). A rule is
//   ACTION: tag=value tag=value ...
// with ACTION ALLOW, DENY or CONNECT (an ALLOW that also connects the device) and the tags VID,
// PID, REL (16-bit) and CLASS, SUBCLASS, PROT (8-bit), values hexadecimal (an "0x" prefix is
// allowed), everything case-insensitive. Other tags (the client has a few more) are kept by name:
// the device check cannot evaluate them, so a verdict that rests on such a rule says so. A rule that
// cannot be read is kept as malformed, with the reason, and never matches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace devicecheck {

enum class RuleSyntax {
    kGroupPolicy,  // ";" and line ends separate rules; a comment ends at the next ";" or line end
    kUsbConf,      // line ends separate rules; a comment ends at the line's end
};

enum class RuleAction { kAllow, kDeny, kConnect };

// The tags the device check evaluates, in the order the rule texts usually give them.
enum RuleField { kFieldVendor, kFieldProduct, kFieldRelease, kFieldClass, kFieldSubClass, kFieldProtocol, kFieldCount };

// "VID", "PID", "REL", "CLASS", "SUBCLASS", "PROT".
const char* RuleFieldName(RuleField field);

struct UsbRule {
    size_t number = 0;  // position among the rules (1 = first), malformed ones counted
    std::string text;   // the rule as written, comment and surrounding blanks taken off (bounded)
    bool malformed = false;
    std::string problem;  // why it cannot be read, for a malformed rule
    RuleAction action = RuleAction::kDeny;
    bool has[kFieldCount] = {};
    uint16_t value[kFieldCount] = {};
    std::vector<std::string> otherTags;  // "split=01": tags the device check does not evaluate
};

struct UsbRuleList {
    std::vector<UsbRule> rules;  // in text order, malformed ones included
    bool textTruncated = false;  // the text was longer than read
    bool rulesTruncated = false;  // more than kMaxRules rules: the rest were not read
};

// Bounds on the untrusted text.
constexpr size_t kMaxRuleTextBytes = 1024 * 1024;  // read at most this much of the text
constexpr size_t kMaxRules = 4096;
constexpr size_t kMaxShownRuleText = 160;  // a rule's text is kept up to this length (then "...")

UsbRuleList ParseUsbRules(const std::string& text, RuleSyntax syntax);

// The ICA Client's published defaults, applied where no rule matches: DENY hubs (class 09), boot
// keyboards and mice (class 03 subclass 01), smart cards (0b), wireless controllers (e0), CDC (02,
// 0a); ALLOW everything else.
const UsbRuleList& DefaultUsbRules();

// The Group Policy rule that keeps a model for the driver, "DENY: vid=0911 pid=0c1c # TovUSB: Philips
// SpeechMike III;": the rule the Linux setup writes into usb.conf, ended with ";" so that its
// comment ends there and a rule after it is still read.
std::string GroupPolicyDenyRule(uint16_t vendorID, uint16_t productID, const std::string& modelName);

}  // namespace devicecheck
