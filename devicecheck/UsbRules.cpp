#include "UsbRules.h"

#include <cstdio>

#include "AsciiText.h"

namespace devicecheck {

namespace {

const char* const kFieldNames[kFieldCount] = {"VID", "PID", "REL", "CLASS", "SUBCLASS", "PROT"};
constexpr size_t kMaxRuleLength = 1024;
const uint32_t kFieldLimits[kFieldCount] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFF, 0xFF, 0xFF};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return i == a.size() && b[i] == '\0';
}

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// The rule as shown in a report: control characters become "?", and a long one is cut.
std::string ShownText(const std::string& text) {
    std::string shown;
    for (char c : text) {
        if (shown.size() == kMaxShownRuleText) return shown + "...";
        shown += (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) ? '?' : c;
    }
    return shown;
}

// One to four (two for 8-bit values) hexadecimal digits, optionally after "0x".
bool ParseHex(const std::string& text, uint32_t limit, uint16_t& value) {
    size_t at = 0;
    if (text.size() > 2 && text[0] == '0' && LowerAscii(text[1]) == 'x') at = 2;
    const size_t digits = limit == 0xFF ? 2 : 4;
    uint32_t number = 0;
    if (text.size() - at > digits || !ParseHexDigits(text, at, text.size(), number)) return false;
    value = static_cast<uint16_t>(number);
    return true;
}

void Malformed(UsbRule& rule, const std::string& problem) {
    if (rule.malformed) return;  // the first problem is the one reported
    rule.malformed = true;
    rule.problem = problem;
}

UsbRule ParseRule(const std::string& written, size_t number) {
    UsbRule rule;
    rule.number = number;
    rule.text = ShownText(written);
    const size_t colon = written.find(':');
    const std::string action = Trim(written.substr(0, colon == std::string::npos ? 0 : colon));
    if (colon == std::string::npos || action.empty()) {
        Malformed(rule, "it does not start with ALLOW:, DENY: or CONNECT:");
        return rule;
    }
    if (EqualsNoCase(action, "ALLOW")) {
        rule.action = RuleAction::kAllow;
    } else if (EqualsNoCase(action, "DENY")) {
        rule.action = RuleAction::kDeny;
    } else if (EqualsNoCase(action, "CONNECT")) {
        rule.action = RuleAction::kConnect;
    } else {
        Malformed(rule, "unknown action \"" + ShownText(action) + "\"");
        return rule;
    }
    const std::string tags = written.substr(colon + 1);
    size_t at = 0;
    while (at < tags.size() && !rule.malformed) {
        while (at < tags.size() && IsBlank(tags[at])) ++at;
        const size_t end = [&] {
            size_t e = at;
            while (e < tags.size() && !IsBlank(tags[e])) ++e;
            return e;
        }();
        if (end == at) break;
        const std::string token = tags.substr(at, end - at);
        at = end;
        const size_t equals = token.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == token.size()) {
            Malformed(rule, "\"" + ShownText(token) + "\" is not tag=value");
            break;
        }
        const std::string name = token.substr(0, equals);
        int field = kFieldCount;
        for (int f = 0; f < kFieldCount; ++f)
            if (EqualsNoCase(name, kFieldNames[f])) field = f;
        if (field == kFieldCount) {
            rule.otherTags.push_back(ShownText(token));
            continue;
        }
        if (rule.has[field]) {
            Malformed(rule, std::string(kFieldNames[field]) + " is given twice");
        } else if (!ParseHex(token.substr(equals + 1), kFieldLimits[field], rule.value[field])) {
            Malformed(rule, "\"" + ShownText(token) + "\" is no hexadecimal value of " +
                                (kFieldLimits[field] == 0xFF ? "2" : "4") + " digits at most");
        } else {
            rule.has[field] = true;
        }
    }
    return rule;
}

}  // namespace

const char* RuleFieldName(RuleField field) { return field >= 0 && field < kFieldCount ? kFieldNames[field] : "?"; }

UsbRuleList ParseUsbRules(const std::string& text, RuleSyntax syntax) {
    UsbRuleList list;
    const size_t length = text.size() < kMaxRuleTextBytes ? text.size() : kMaxRuleTextBytes;
    list.textTruncated = length < text.size();
    std::string current;  // the rule part of the segment being read (comment left out)
    bool inComment = false;
    bool tooLong = false;
    size_t number = 0;
    auto finish = [&] {
        const std::string written = Trim(current);
        const bool longRule = tooLong;
        current.clear();
        inComment = false;
        tooLong = false;
        if (written.empty() && !longRule) return true;
        if (list.rules.size() == kMaxRules) {
            list.rulesTruncated = true;
            return false;
        }
        list.rules.push_back(ParseRule(written, ++number));
        if (longRule) {
            list.rules.back().malformed = true;
            list.rules.back().problem = "it is longer than " + std::to_string(kMaxRuleLength) + " characters";
        }
        return true;
    };
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        const bool lineEnd = c == '\n' || c == '\r';
        const bool separator = lineEnd || (syntax == RuleSyntax::kGroupPolicy && c == ';');
        if (separator) {
            if (!finish()) return list;
        } else if (c == '#') {
            inComment = true;
        } else if (!inComment) {
            // A rule longer than any real one is read to its end, but not held beyond the bound.
            if (current.size() < kMaxRuleLength)
                current += c;
            else
                tooLong = true;
        }
    }
    finish();
    return list;
}

const UsbRuleList& DefaultUsbRules() {
    static const UsbRuleList* defaults = new UsbRuleList(ParseUsbRules(
        "DENY: class=09 # hubs;"
        "DENY: class=03 subclass=01 # boot keyboards and mice;"
        "DENY: class=0b # smart cards;"
        "DENY: class=e0 # wireless controllers;"
        "DENY: class=02 # CDC control;"
        "DENY: class=0a # CDC data;"
        "ALLOW: # everything else",
        RuleSyntax::kGroupPolicy));
    return *defaults;
}

std::string GroupPolicyDenyRule(uint16_t vendorID, uint16_t productID, const std::string& modelName) {
    char ids[40];
    std::snprintf(ids, sizeof ids, "DENY: vid=%04x pid=%04x", static_cast<unsigned>(vendorID),
                  static_cast<unsigned>(productID));
    return std::string(ids) + " # TovUSB: " + modelName + ";";
}

}  // namespace devicecheck
