#include "HardwareButtonMap.h"

#include <climits>
#include <cstdint>
#include <vector>

#include "FileName.h"
#include "FileNameSyntax.h"
#include "ProfileFile.h"
#include "ProgramFolder.h"

namespace {

const char kSection[] = "HardwareButtonMap";

const HardwareButtonMap& LoadedMap() {
    // A function-local static is initialised exactly once, and a second thread that reaches it
    // meanwhile waits until the first has finished, so the whole load is complete before any
    // reader thread looks a code up. The map is never destroyed: reader threads may still look up
    // codes while the process exits.
    static const HardwareButtonMap* map = [] {
        HardwareButtonMap* loaded = new HardwareButtonMap;
        LoadHardwareButtonMap(HardwareButtonMapFileName(), *loaded);
        return loaded;
    }();
    return *map;
}

bool IsProfileSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int32_t ParseProfileInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsProfileSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t magnitude = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) magnitude = limit;  // clamp; keeps the product in range
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

std::string HardwareButtonMapFileName() {
    CFileName name(FileNameSyntax::Native());
    CFileName folder;
    if (GetProgramFolder(folder)) name = folder;
    name.SetName(kSection);
    name.SetExtension("ini");
    return name.GetFullName();
}

void LoadHardwareButtonMap(const std::string& fileName, HardwareButtonMap& map) {
    if (!ProfileFileExists(fileName)) return;
    const std::string resolved = ResolveProfileFileName(fileName);
    std::vector<std::string> keys;
    ReadProfileKeyNames(resolved, kSection, keys);
    for (const std::string& key : keys) {
        std::string value;
        if (!ReadProfileString(resolved, kSection, key, value)) continue;
        map.emplace(ParseProfileInteger(key), ParseProfileInteger(value));  // keeps an earlier entry
    }
}

int32_t MapHardwareButton(int32_t code) {
    const HardwareButtonMap& map = LoadedMap();
    HardwareButtonMap::const_iterator it = map.find(code);
    return it == map.end() ? code : it->second;
}
