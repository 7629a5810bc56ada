#include "UsbRuleMatch.h"

#include <algorithm>

namespace devicecheck {

namespace {

enum class Match { kNo, kYes, kMaybe };

void AddOnce(std::vector<std::string>& list, const std::string& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

bool Allows(RuleAction action) { return action != RuleAction::kDeny; }

// A definite mismatch wins over an unknown value; unknown values and unevaluated tags make a
// would-be match a maybe, with the reasons in why.
Match MatchRule(const UsbRule& rule, const KnownValue (&values)[kFieldCount], std::vector<std::string>& why) {
    if (rule.malformed) return Match::kNo;
    std::vector<std::string> reasons;
    for (int f = 0; f < kFieldCount; ++f) {
        if (!rule.has[f]) continue;
        if (!values[f].known)
            reasons.push_back(std::string(RuleFieldName(static_cast<RuleField>(f))) + " unknown");
        else if (values[f].value != rule.value[f])
            return Match::kNo;
    }
    for (const std::string& tag : rule.otherTags) reasons.push_back("tag " + tag + " not evaluated");
    if (reasons.empty()) return Match::kYes;
    why = reasons;
    return Match::kMaybe;
}

InterfaceVerdict EvaluateInterface(const UsbRuleList& rules, const KnownValue (&values)[kFieldCount]) {
    struct Unsure {
        bool allows;
        std::vector<std::string> why;
    };
    std::vector<Unsure> unsure;  // rules before the deciding one that may match
    InterfaceVerdict verdict;
    bool decided = false;
    for (const UsbRuleList* list : {&rules, &DefaultUsbRules()}) {
        for (const UsbRule& rule : list->rules) {
            std::vector<std::string> why;
            const Match match = MatchRule(rule, values, why);
            if (match == Match::kMaybe) unsure.push_back({Allows(rule.action), why});
            if (match != Match::kYes) continue;
            verdict.rule = rule;
            verdict.allowed = Allows(rule.action);
            verdict.byDefaults = list != &rules;
            decided = true;
            break;
        }
        if (decided) break;
    }
    // The defaults end with a rule that matches everything, so a rule always decides.
    for (const Unsure& other : unsure)
        if (other.allows != verdict.allowed)
            for (const std::string& reason : other.why) AddOnce(verdict.dependsOn, reason);
    return verdict;
}

}  // namespace

DeviceVerdict EvaluateUsbRules(const UsbRuleList& rules, const UsbDeviceFacts& device) {
    std::vector<UsbInterfaceClass> interfaces = device.interfaces;
    if (interfaces.empty()) interfaces.push_back(UsbInterfaceClass{});  // the device has one, of unknown class
    DeviceVerdict verdict;
    verdict.allowed = true;
    bool deniedForSure = false;
    for (size_t i = 0; i < interfaces.size(); ++i) {
        const KnownValue values[kFieldCount] = {device.vendorID,         device.productID,         device.release,
                                                interfaces[i].usbClass, interfaces[i].subClass, interfaces[i].protocol};
        verdict.interfaces.push_back(EvaluateInterface(rules, values));
        const InterfaceVerdict& one = verdict.interfaces.back();
        if (!one.allowed && verdict.allowed) verdict.deciding = i;
        if (!one.allowed && one.dependsOn.empty() && !deniedForSure) {
            deniedForSure = true;
            verdict.deciding = i;
        }
        verdict.allowed = verdict.allowed && one.allowed;
    }
    if (deniedForSure) return verdict;  // one sure DENY keeps the whole device local
    for (const InterfaceVerdict& one : verdict.interfaces)
        for (const std::string& reason : one.dependsOn) AddOnce(verdict.dependsOn, reason);
    if (verdict.allowed && (!device.allInterfacesShown || device.interfaces.empty()))
        AddOnce(verdict.dependsOn, "interfaces the platform does not show");
    return verdict;
}

}  // namespace devicecheck
