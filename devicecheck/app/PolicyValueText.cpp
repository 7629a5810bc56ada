#include "PolicyValueText.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "RegistryValueType.h"

namespace devicecheck {

namespace {

PolicyValueText Unreadable(const std::string& problem) {
    PolicyValueText result;
    result.state = PolicyValueState::kUnreadable;
    result.problem = problem;
    return result;
}

}  // namespace

PolicyValueText ReadPolicyValueText(const std::string& key, const std::string& value) {
    PolicyValueText result;
    HKEY handle = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle);
    if (status == ERROR_FILE_NOT_FOUND) return result;
    if (status != ERROR_SUCCESS) return Unreadable("the key cannot be opened, error " + std::to_string(status));
    DWORD type = 0, size = 0;
    status = RegQueryValueExA(handle, value.c_str(), nullptr, &type, nullptr, &size);
    std::vector<char> data;
    if (status == ERROR_SUCCESS && size <= kMaxPolicyValueBytes) {
        // The value may change between the two calls: the second one is bounded by the buffer.
        data.assign(static_cast<size_t>(size) + 2, '\0');
        DWORD read = size;
        status = RegQueryValueExA(handle, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &read);
        size = read;
    }
    RegCloseKey(handle);
    if (status == ERROR_FILE_NOT_FOUND) return result;
    if (status == ERROR_MORE_DATA || size > kMaxPolicyValueBytes)
        return Unreadable("larger than " + std::to_string(kMaxPolicyValueBytes) + " bytes");
    if (status != ERROR_SUCCESS) return Unreadable("error " + std::to_string(status));
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
        return Unreadable("of type " + installer::RegistryTypeName(type) + ", not a string");

    result.state = PolicyValueState::kRead;
    const size_t length = size < data.size() ? size : data.size();
    if (type == REG_MULTI_SZ) {
        // Every rule of every string: each zero byte ends a line, and lines separate rules as ";"
        // does. An empty string inside the block ends nothing: what follows it is read too.
        for (size_t at = 0; at < length; ++at) result.text += data[at] == '\0' ? '\n' : data[at];
        while (!result.text.empty() && result.text.back() == '\n') result.text.pop_back();
    } else {
        result.text.assign(data.data(), strnlen(data.data(), length));
    }
    return result;
}

}  // namespace devicecheck
