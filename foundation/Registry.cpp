#include "Registry.h"

#include <cstdio>

namespace {

CFileName DefaultKey() {
    CFileName name(FileNameSyntax::Windows());
    name.AddFolder("Software");
    name.SetName("Korvesta");
    return name;
}

}  // namespace

CRegistry::CRegistry(int32_t root) : key(DefaultKey()), root(root) {}

CRegistry::CRegistry(int32_t root, const CFileName& key, const std::string& valueName, RegistryView view)
    : key(key), valueName(valueName), root(root), view(view) {}

bool CRegistry::Set(int32_t newRoot, const CFileName& newKey, const std::string& newValueName) {
    root = newRoot;
    key = newKey;
    valueName = newValueName;
    return true;
}

std::string CRegistry::GetKeyPath() const {
    std::string path = key.GetFullName();
    const std::string& separator = key.GetSyntax().separator;
    if (separator.empty()) return path;
    while (path.size() >= separator.size() &&
           path.compare(path.size() - separator.size(), separator.size(), separator) == 0)
        path.erase(path.size() - separator.size());
    while (path.compare(0, separator.size(), separator) == 0) path.erase(0, separator.size());
    return path;
}

bool ParseDateTimeText(const std::string& text, CDateTime& time) {
    CDateTime parsed;
    int consumed = 0;
    if (sscanf(text.c_str(), "%4d/%2d/%2d %2d:%2d:%2d, %3dms%n", &parsed.year, &parsed.month,
               &parsed.day, &parsed.hour, &parsed.minute, &parsed.second, &parsed.millisecond,
               &consumed) != 7 ||
        static_cast<size_t>(consumed) != text.size())
        return false;
    if (parsed.year < 1601 || parsed.month < 1 || parsed.month > 12 || parsed.day < 1 ||
        parsed.day > 31 || parsed.hour > 23 || parsed.minute > 59 || parsed.second > 59 ||
        parsed.hour < 0 || parsed.minute < 0 || parsed.second < 0 || parsed.millisecond < 0 ||
        parsed.millisecond > 999)
        return false;
    time = parsed;
    return true;
}
