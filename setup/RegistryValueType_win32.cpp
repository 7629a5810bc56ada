#include "RegistryValueType.h"

#include <windows.h>

#include <vector>

namespace installer {

namespace {

REGSAM ViewFlag(RegistryView view) {
    switch (view) {
        case RegistryView::k32Bit: return KEY_WOW64_32KEY;
        case RegistryView::k64Bit: return KEY_WOW64_64KEY;
        default: return 0;
    }
}

HKEY RootKey(int32_t root) { return root == kRegistryCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

}  // namespace

bool QueryValueType(int32_t root, RegistryView view, const std::string& key, const std::string& value, uint32_t& type) {
    HKEY handle;
    if (RegOpenKeyExA(RootKey(root), key.c_str(), 0, KEY_QUERY_VALUE | ViewFlag(view), &handle) != ERROR_SUCCESS)
        return false;
    DWORD stored = 0;
    const LONG result = RegQueryValueExA(handle, value.c_str(), nullptr, &stored, nullptr, nullptr);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return false;
    type = stored;
    return true;
}

bool KeyExists(int32_t root, RegistryView view, const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(RootKey(root), key.c_str(), 0, KEY_QUERY_VALUE | ViewFlag(view), &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

std::string ExpandEnvironmentReferences(const std::string& text) {
    // The first call tells the length (with the terminating zero); a folder path is far below the
    // bound, so anything longer is left as it is.
    const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0 || needed > 32768) return text;
    std::vector<char> buffer(needed + 1, '\0');
    const DWORD written = ExpandEnvironmentStringsA(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (written == 0 || written > buffer.size()) return text;
    return std::string(buffer.data());
}

}  // namespace installer
