#include "Registry.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

const REGSAM kWriteAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;  // 0x2001F
const DWORD kValueNameBufferLength = 10000;

HKEY RootKey(int32_t root) {
    switch (root) {
    case kRegistryCurrentUser: return HKEY_CURRENT_USER;
    case kRegistryClassesRoot: return HKEY_CLASSES_ROOT;
    default: return HKEY_LOCAL_MACHINE;
    }
}

// The access flag that selects the view; none for the program's own view.
REGSAM ViewFlag(RegistryView view) {
    switch (view) {
    case RegistryView::k32Bit: return KEY_WOW64_32KEY;
    case RegistryView::k64Bit: return KEY_WOW64_64KEY;
    default: return 0;
    }
}

// Closes the key when it goes out of scope.
class OpenKey {
public:
    OpenKey() = default;
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey() {
        if (handle) RegCloseKey(handle);
    }
    HKEY handle = nullptr;
};

bool OpenForReading(int32_t root, RegistryView view, const std::string& path, OpenKey& key) {
    if (path.empty()) return false;
    return RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_READ | ViewFlag(view), &key.handle) ==
           ERROR_SUCCESS;
}

// Opens an existing key or creates it with all missing parents.
bool OpenForWriting(int32_t root, RegistryView view, const std::string& path, OpenKey& key) {
    if (path.empty()) return false;
    char keyClass[] = "Hey!";
    DWORD disposition = 0;
    return RegCreateKeyExA(RootKey(root), path.c_str(), 0, keyClass, REG_OPTION_NON_VOLATILE,
                           kWriteAccess | ViewFlag(view), nullptr, &key.handle, &disposition) == ERROR_SUCCESS;
}

bool EqualsIgnoringCase(const std::string& text, const char* other) {
    const size_t length = strlen(other);
    if (text.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char a = static_cast<unsigned char>(text[i]);
        const unsigned char b = static_cast<unsigned char>(other[i]);
        if (a != b && !(a < 128 && b < 128 && tolower(a) == tolower(b))) return false;
    }
    return true;
}

}  // namespace

bool CRegistry::ReadData(std::vector<unsigned char>& data, uint32_t& dataLength) const {
    OpenKey opened;
    if (!OpenForReading(root, view, GetKeyPath(), opened)) return false;
    DWORD longest = 0;
    if (RegQueryInfoKeyA(opened.handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, &longest, nullptr, nullptr) != ERROR_SUCCESS ||
        longest == 0)
        return false;
    // The key's longest value may be far larger than the one we want: the buffer stays bounded,
    // and a value that does not fit fails with ERROR_MORE_DATA below.
    data.assign(std::min<DWORD>(longest, kMaxValueBytes), 0);
    DWORD length = static_cast<DWORD>(data.size());
    if (RegQueryValueExA(opened.handle, valueName.c_str(), nullptr, nullptr, data.data(), &length) !=
        ERROR_SUCCESS)
        return false;
    dataLength = std::min<DWORD>(length, static_cast<DWORD>(data.size()));
    return true;
}

bool CRegistry::ReadString(std::string& text) const {
    std::vector<unsigned char> data;
    uint32_t length = 0;
    if (!ReadData(data, length)) return false;
    const unsigned char* end = std::find(data.data(), data.data() + length, 0);
    text.assign(reinterpret_cast<const char*>(data.data()), static_cast<size_t>(end - data.data()));
    return true;
}

bool CRegistry::WriteString(const std::string& text) {
    OpenKey opened;
    if (!OpenForWriting(root, view, GetKeyPath(), opened)) return false;
    if (text.size() >= MAXDWORD) return false;
    return RegSetValueExA(opened.handle, valueName.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool CRegistry::WriteString(const char* text) { return WriteString(std::string(text ? text : "")); }

bool CRegistry::ReadBool(bool& value) const {
    std::string text;
    if (!ReadString(text)) return false;
    value = EqualsIgnoringCase(text, "TRUE");
    return true;
}

bool CRegistry::WriteBool(bool value) { return WriteString(value ? "TRUE" : "FALSE"); }

bool CRegistry::ReadDWORD(uint32_t& value) const {
    std::vector<unsigned char> data;
    uint32_t length = 0;
    if (!ReadData(data, length) || length != 4) return false;
    memcpy(&value, data.data(), 4);
    return true;
}

bool CRegistry::WriteDWORD(uint32_t value) {
    OpenKey opened;
    if (!OpenForWriting(root, view, GetKeyPath(), opened)) return false;
    const DWORD data = value;
    return RegSetValueExA(opened.handle, valueName.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

bool CRegistry::ReadFileName(CFileName& name) const {
    std::string text;
    if (!ReadString(text)) return false;
    CFileName parsed(FileNameSyntax::Windows());
    if (!parsed.SetFullName(text)) return false;
    name = parsed;
    return true;
}

bool CRegistry::WriteFileName(const CFileName& name) { return WriteString(name.GetFullName()); }

bool CRegistry::ReadDateTime(CDateTime& time) const {
    std::string text;
    CDateTime parsed;
    if (!ReadString(text) || !ParseDateTimeText(text, parsed)) return false;
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(parsed.year);
    st.wMonth = static_cast<WORD>(parsed.month);
    st.wDay = static_cast<WORD>(parsed.day);
    st.wHour = static_cast<WORD>(parsed.hour);
    st.wMinute = static_cast<WORD>(parsed.minute);
    st.wSecond = static_cast<WORD>(parsed.second);
    st.wMilliseconds = static_cast<WORD>(parsed.millisecond);
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return false;  // also refuses days beyond the month
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    parsed.ticks = static_cast<int64_t>(u.QuadPart / 10000u);
    time = parsed;
    return true;
}

bool CRegistry::WriteDateTime(const CDateTime& time) { return WriteString(time.ToString()); }

bool CRegistry::GetValueNames(std::vector<std::string>& names) const {
    names.clear();
    OpenKey opened;
    if (!OpenForWriting(root, view, GetKeyPath(), opened)) return false;
    std::vector<char> buffer(kValueNameBufferLength);
    for (DWORD index = 0;; ++index) {
        DWORD length = kValueNameBufferLength;
        const LONG result = RegEnumValueA(opened.handle, index, buffer.data(), &length, nullptr,
                                          nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) return true;
        // Any other failure (a name longer than the buffer, for instance) would leave the list
        // incomplete: report it rather than answer with part of the names.
        if (result != ERROR_SUCCESS) return false;
        names.emplace_back(buffer.data(), std::min<DWORD>(length, kValueNameBufferLength));
    }
}

bool CRegistry::DeleteValue() {
    OpenKey opened;
    if (!OpenForWriting(root, view, GetKeyPath(), opened)) return false;
    return RegDeleteValueA(opened.handle, valueName.c_str()) == ERROR_SUCCESS;
}

bool CRegistry::DeleteKey() {
    const std::string path = GetKeyPath();
    if (path.empty()) return false;
    if (view == RegistryView::kProgram) return RegDeleteKeyA(RootKey(root), path.c_str()) == ERROR_SUCCESS;
    return RegDeleteKeyExA(RootKey(root), path.c_str(), ViewFlag(view), 0) == ERROR_SUCCESS;
}
