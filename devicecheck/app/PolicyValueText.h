// A Group Policy value read as text whatever string type it is stored as: nobody documents which
// type the policy writes for DeviceRules, so REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ are all read,
// the strings of a REG_MULTI_SZ each on a line of their own. The value is the administrator's and
// read as untrusted: its size is asked first and bounded before anything is allocated.
#pragma once

#include <cstddef>
#include <string>

namespace devicecheck {

enum class PolicyValueState {
    kMissing,     // the key or the value is not there
    kRead,        // `text` holds it
    kUnreadable,  // there but not read; `problem` says why
};

struct PolicyValueText {
    PolicyValueState state = PolicyValueState::kMissing;
    std::string text;
    std::string problem;  // "larger than 1048576 bytes", "of type REG_DWORD, not a string"
};

// A value larger than this is not read (the rule parser reads no more than this either).
constexpr size_t kMaxPolicyValueBytes = 1024 * 1024;

// Reads HKEY_LOCAL_MACHINE\<key>\<value> (policy keys are the same in both registry views).
PolicyValueText ReadPolicyValueText(const std::string& key, const std::string& value);

}  // namespace devicecheck
