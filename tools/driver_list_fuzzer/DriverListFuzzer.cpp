// Fuzz target: the setup program's edit of the ICA Client's "VirtualDriverEx" list.
//
// Input: the list's text. Install (AddToList) and uninstall (RemoveFromList) of "TovUSB" run on
// it as the installer runs them, and uninstall also on the list as it came.
//
// Besides crashes it checks: after an install the list holds "TovUSB" as an entry of its own; an
// uninstall changes the list only by taking out "TovUSB" (with the ", " before it); and on a list
// without a "TovUSB" entry (entries split on commas, blanks around them ignored, letter case
// ignored) install then uninstall gives back the list as it was.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "VirtualDriverList.h"

namespace {

const std::string kName = "TovUSB";

void Check(bool condition) {
    if (!condition) std::abort();
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether some comma-separated entry, blanks around it ignored, is the name in any letter case.
bool HasEntry(const std::string& list, const std::string& name) {
    size_t begin = 0;
    for (;;) {
        size_t end = list.find(',', begin);
        if (end == std::string::npos) end = list.size();
        size_t a = begin, b = end;
        while (a < b && IsBlank(list[a])) ++a;
        while (b > a && IsBlank(list[b - 1])) --b;
        if (b - a == name.size()) {
            bool same = true;
            for (size_t i = 0; i < name.size() && same; ++i) {
                same = std::tolower(static_cast<unsigned char>(list[a + i])) ==
                       std::tolower(static_cast<unsigned char>(name[i]));
            }
            if (same) return true;
        }
        if (end == list.size()) return false;
        begin = end + 1;
    }
}

// An uninstall of `before` that gave `after`: unchanged, or exactly the name (or ", " and the
// name) cut out at one place.
bool IsOneRemoval(const std::string& before, const std::string& after, bool changed) {
    if (!changed) return after == before;
    const size_t cut = before.size() - after.size();
    if (after.size() > before.size() || (cut != kName.size() && cut != kName.size() + 2)) return false;
    size_t at = 0;
    while (at < after.size() && after[at] == before[at]) ++at;
    return before.compare(at + cut, std::string::npos, after, at, std::string::npos) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string original(reinterpret_cast<const char*>(data), size);

    std::string installed = original;
    installer::AddToList(installed, kName);
    Check(HasEntry(installed, kName));
    Check((installer::FindInList(original, kName) != std::string::npos) == HasEntry(original, kName));

    std::string removed = original;
    const bool changed = installer::RemoveFromList(removed, kName);
    Check(IsOneRemoval(original, removed, changed));
    Check(changed == HasEntry(original, kName));

    if (!HasEntry(original, kName)) {
        std::string roundTrip = installed;
        installer::RemoveFromList(roundTrip, kName);
        Check(roundTrip == original);
    }
    return 0;
}
