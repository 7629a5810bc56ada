#include "UsbRuleReport.h"

#include <cstdio>

namespace devicecheck {

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string RuleName(const InterfaceVerdict& verdict) {
    if (verdict.byDefaults) return "the ICA Client's default \"" + verdict.rule.text + "\"";
    return "rule " + std::to_string(verdict.rule.number) + " \"" + verdict.rule.text + "\"";
}

std::string HexText(const KnownValue& value) {
    if (!value.known) return "unknown";
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value.value));
    return text;
}

std::vector<std::string> SourceLines(const UsbRulesContent& content) {
    std::vector<std::string> lines;
    const std::string head = "USB redirection rules (" + content.source + "): ";
    if (!content.present) {
        lines.push_back(head + "none set, so the ICA Client's defaults apply");
        return lines;
    }
    if (!content.readError.empty()) {
        lines.push_back(head + "cannot be read (" + content.readError +
                        "); the verdicts below assume the ICA Client's defaults");
        return lines;
    }
    size_t malformed = 0;
    for (const UsbRule& rule : content.rules.rules) malformed += rule.malformed ? 1 : 0;
    std::string summary = std::to_string(content.rules.rules.size()) +
                          (content.rules.rules.size() == 1 ? " rule" : " rules");
    if (malformed > 0) summary += ", " + std::to_string(malformed) + " of them malformed and ignored by this check";
    lines.push_back(head + summary + "; where none matches, the ICA Client's defaults apply");
    for (const UsbRule& rule : content.rules.rules)
        if (rule.malformed)
            lines.push_back("  rule " + std::to_string(rule.number) + " \"" + rule.text + "\" is malformed: " +
                            rule.problem);
    if (content.rules.textTruncated)
        lines.push_back("  only the first " + std::to_string(kMaxRuleTextBytes) + " bytes were read");
    if (content.rules.rulesTruncated)
        lines.push_back("  only the first " + std::to_string(kMaxRules) + " rules were read");
    return lines;
}

std::vector<std::string> DeviceLines(const UsbRulesContent& content, const UsbRulesDevice& device) {
    std::vector<std::string> lines;
    const DeviceVerdict verdict = EvaluateUsbRules(content.rules, device.facts);
    std::string head = device.name + " (vendor " + HexText(device.facts.vendorID) + ", product " +
                       HexText(device.facts.productID) + ", release " + HexText(device.facts.release) + "): ";
    if (verdict.allowed)
        head += "the rules allow redirecting it as a whole USB device, away from TovUSB";
    else
        head += "the rules keep it local (" + RuleName(verdict.interfaces[verdict.deciding]) + ")";
    lines.push_back(head);
    if (!verdict.dependsOn.empty())
        lines.push_back("  this verdict depends on values the platform does not show: " + Joined(verdict.dependsOn));
    for (size_t i = 0; i < verdict.interfaces.size(); ++i) {
        const InterfaceVerdict& one = verdict.interfaces[i];
        std::string line = "  interface " + std::to_string(i + 1);
        if (device.facts.interfaces.empty()) {
            line += " (not shown by the platform)";
        } else {
            const UsbInterfaceClass& c = device.facts.interfaces[i];
            line += " (class " + KnownValueText(c.usbClass, 2) + ", subclass " + KnownValueText(c.subClass, 2) +
                    ", protocol " + KnownValueText(c.protocol, 2) + ")";
        }
        line += std::string(": ") + (one.allowed ? "allowed by " : "denied by ") + RuleName(one);
        if (!one.dependsOn.empty()) line += "; depends on " + Joined(one.dependsOn);
        lines.push_back(line);
    }
    if (verdict.CouldBeRedirected())
        lines.push_back("  to keep it for TovUSB, add " + content.denyWhere + ": " + device.denyRule);
    return lines;
}

}  // namespace

std::string KnownValueText(const KnownValue& value, int digits) {
    if (!value.known) return "unknown";
    char text[8];
    std::snprintf(text, sizeof text, digits == 2 ? "%02x" : "%04x", static_cast<unsigned>(value.value));
    return text;
}

std::vector<std::string> UsbRulesLines(const UsbRulesContent& content) {
    std::vector<std::string> lines = SourceLines(content);
    const bool readable = content.present && content.readError.empty();
    UsbRulesContent used = content;
    if (!readable) used.rules = UsbRuleList();  // the defaults alone
    if (content.devices.empty()) lines.push_back("No supported device present, so no verdict");
    for (const UsbRulesDevice& device : content.devices)
        for (const std::string& line : DeviceLines(used, device)) lines.push_back(line);
    lines.push_back(
        "The rules only say whether a device may be redirected: auto-connect (or the user connecting it from the "
        "toolbar) and the server's own USB rules decide the rest");
    return lines;
}

}  // namespace devicecheck
