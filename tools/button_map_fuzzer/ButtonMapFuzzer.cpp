// Fuzz target: the hardware button map file parser.
//
// Input: the whole content of a HardwareButtonMap.ini, written to a file of this process's own and
// loaded with LoadHardwareButtonMap as the driver loads the real one.
//
// Besides crashes it checks: every key of the section that has a readable value has its code in
// the map, mapped to the value of the first key (in file order) with that code, and the map holds
// no other codes; and each key's and value's text converts by atoi's rules as the C
// library converts it (strtoll, clamped to the int32 range).
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "HardwareButtonMap.h"
#include "ProfileFile.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::string& FileName() {
    static std::string name = [] {
        char pattern[] = "/tmp/tovusb-map-fuzz-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd < 0) std::abort();
        close(fd);
        return std::string(pattern);
    }();
    return name;
}

// atoi's conversion by the C library: a key text without a NUL inside, as the platform's profile
// call would return it.
int32_t LibraryConversion(const std::string& text) {
    errno = 0;
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& name = FileName();
    FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) std::abort();
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);

    HardwareButtonMap map;
    LoadHardwareButtonMap(name, map);

    std::vector<std::string> keys;
    ReadProfileKeyNames(name, "HardwareButtonMap", keys);
    std::set<int32_t> codes;
    for (const std::string& key : keys) {
        std::string value;
        if (!ReadProfileString(name, "HardwareButtonMap", key, value)) continue;
        const int32_t code = ParseProfileInteger(key);
        Check(map.count(code) == 1);
        if (codes.insert(code).second) Check(map[code] == ParseProfileInteger(value));
        if (key.find('\0') == std::string::npos) Check(code == LibraryConversion(key));
        if (value.find('\0') == std::string::npos) Check(ParseProfileInteger(value) == LibraryConversion(value));
    }
    Check(map.size() == codes.size());
    return 0;
}
