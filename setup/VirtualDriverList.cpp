#include "VirtualDriverList.h"

#include "InstallerNames.h"
#include "LowerCase.h"

namespace installer {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// True when the occurrence at [begin, end) is a whole entry: only blanks lie between it and the
// previous comma (or the start) and between it and the next comma (or the end).
bool IsWholeEntry(const std::string& list, size_t begin, size_t end) {
    size_t before = begin;
    while (before > 0 && IsBlank(list[before - 1])) --before;
    if (before > 0 && list[before - 1] != ',') return false;
    size_t after = end;
    while (after < list.size() && IsBlank(list[after])) ++after;
    return after == list.size() || list[after] == ',';
}

}  // namespace

size_t FindInList(const std::string& list, const std::string& name) {
    if (name.empty()) return std::string::npos;
    const std::string lowerList = LowerCaseACP(list);
    const std::string lowerName = LowerCaseACP(name);
    for (size_t at = lowerList.find(lowerName); at != std::string::npos; at = lowerList.find(lowerName, at + 1))
        if (IsWholeEntry(lowerList, at, at + lowerName.size())) return at;
    return std::string::npos;
}

bool AddToList(std::string& list, const std::string& name) {
    if (FindInList(list, name) != std::string::npos) return false;
    if (!list.empty()) list += kListSeparator;
    list += name;
    return true;
}

bool RemoveFromList(std::string& list, const std::string& name) {
    if (name.empty()) return false;
    const std::string lowerList = LowerCaseACP(list);
    const std::string lowerName = LowerCaseACP(name);
    const std::string separator = kListSeparator;

    size_t first = std::string::npos;     // first whole entry
    size_t withSeparator = std::string::npos;  // first whole entry right after ", "
    for (size_t at = lowerList.find(lowerName); at != std::string::npos;
         at = lowerList.find(lowerName, at + 1)) {
        if (!IsWholeEntry(lowerList, at, at + lowerName.size())) continue;
        if (first == std::string::npos) first = at;
        if (at >= separator.size() &&
            lowerList.compare(at - separator.size(), separator.size(), separator) == 0) {
            withSeparator = at - separator.size();
            break;
        }
    }
    if (first == std::string::npos) return false;
    if (withSeparator != std::string::npos)
        list.erase(withSeparator, separator.size() + name.size());
    else
        list.erase(first, name.size());
    return true;
}

}  // namespace installer
