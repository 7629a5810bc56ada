// Profile file access through the Windows profile calls and the file search path.
#include <windows.h>

#include <vector>

#include "ProfileFile.h"

namespace {

// Returned by the profile call when the key is absent; a value never holds this control character
// alone, so it tells an unreadable key from an empty value.
const char kMissingValue[] = "\x01";

}  // namespace

bool ProfileFileExists(const std::string& fileName) {
    DWORD attributes = GetFileAttributesA(fileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ResolveProfileFileName(const std::string& fileName) {
    char path[MAX_PATH + 1] = {0};
    DWORD length = SearchPathA(nullptr, fileName.c_str(), nullptr, MAX_PATH, path, nullptr);
    if (length == 0 || length >= MAX_PATH) return fileName;
    return std::string(path, length);
}

void ReadProfileKeyNames(const std::string& fileName, const std::string& section,
                         std::vector<std::string>& keys) {
    std::vector<char> buffer(kProfileKeyListLength, '\0');
    DWORD length = GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                                            static_cast<DWORD>(buffer.size()), fileName.c_str());
    if (length > buffer.size()) length = static_cast<DWORD>(buffer.size());
    SplitProfileKeyList(buffer.data(), length, keys);
}

bool ReadProfileString(const std::string& fileName, const std::string& section,
                       const std::string& key, std::string& value) {
    std::vector<char> buffer(kProfileValueLength, '\0');
    DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissingValue,
                                            buffer.data(), static_cast<DWORD>(buffer.size()),
                                            fileName.c_str());
    if (length >= buffer.size()) length = static_cast<DWORD>(buffer.size() - 1);
    std::string text(buffer.data(), length);
    if (text == kMissingValue) return false;
    value = text;
    return true;
}
