// Profile file access for the native build: a small reader of the Windows initialisation-file
// format that keeps the rules of the Windows profile calls (see ProfileFile.h).
#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "ProfileFile.h"

namespace {

// The reader takes at most this much of a file; the rest is ignored. The map file holds a few lines.
constexpr size_t kMaximumFileSize = 1 << 20;

struct ProfileEntry {
    std::string key;
    std::string value;
    bool hasValue = false;  // the line had an '='
};

struct ProfileSection {
    std::string name;
    std::vector<ProfileEntry> entries;
};

bool IsProfileSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x1a;
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsProfileSpace(text[begin])) ++begin;
    while (end > begin && IsProfileSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool ReadFileText(const std::string& fileName, std::string& text) {
    FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) return false;
    text.clear();
    char chunk[4096];
    size_t count = 0;
    while (text.size() < kMaximumFileSize && (count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, count);
    }
    std::fclose(file);
    if (text.size() > kMaximumFileSize) text.resize(kMaximumFileSize);
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    return true;
}

// Sections in file order; lines before the first section header belong to a nameless section.
// A line "[name]" (up to its last ']') opens a section; any other non-empty line is an entry, split
// at its first '=' into a key and a value, both trimmed.
std::vector<ProfileSection> ParseProfile(const std::string& text) {
    std::vector<ProfileSection> sections(1);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close != std::string::npos) {
                ProfileSection section;
                section.name = line.substr(1, close - 1);
                sections.push_back(section);
                continue;
            }
        }
        ProfileEntry entry;
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            entry.key = line;
        } else {
            entry.key = Trim(line.substr(0, equals));
            entry.value = Trim(line.substr(equals + 1));
            entry.hasValue = true;
        }
        sections.back().entries.push_back(entry);
    }
    return sections;
}

// The first section of the name, or nullptr.
const ProfileSection* FindSection(const std::vector<ProfileSection>& sections,
                                  const std::string& name) {
    for (size_t i = 1; i < sections.size(); ++i) {
        if (SameName(sections[i].name, name)) return &sections[i];
    }
    return nullptr;
}

}  // namespace

namespace {

std::mutex searchMutex;
std::vector<std::string>& SearchFolders() {
    static std::vector<std::string>* folders = new std::vector<std::string>();
    return *folders;
}

bool IsFile(const std::string& fileName) {
    struct stat status;
    return stat(fileName.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

// The file a name denotes: a name with a folder as it stands; a bare name in the first search
// folder that holds it, or (with no search folders) relative to the current folder. Empty when
// the search finds nothing.
std::string LocateProfileFile(const std::string& fileName) {
    std::lock_guard<std::mutex> lock(searchMutex);
    if (SearchFolders().empty() || fileName.find('/') != std::string::npos) {
        return IsFile(fileName) ? fileName : std::string();
    }
    for (const std::string& folder : SearchFolders()) {
        const std::string candidate = folder + "/" + fileName;
        if (IsFile(candidate)) return candidate;
    }
    return std::string();
}

}  // namespace

void SetProfileSearchFolders(const std::vector<std::string>& folders) {
    std::lock_guard<std::mutex> lock(searchMutex);
    SearchFolders() = folders;
}

bool ProfileFileExists(const std::string& fileName) { return !LocateProfileFile(fileName).empty(); }

std::string ResolveProfileFileName(const std::string& fileName) {
    const std::string located = LocateProfileFile(fileName);
    return located.empty() ? fileName : located;
}

void ReadProfileKeyNames(const std::string& fileName, const std::string& section,
                         std::vector<std::string>& keys) {
    keys.clear();
    std::string text;
    if (!ReadFileText(fileName, text)) return;
    const std::vector<ProfileSection> sections = ParseProfile(text);
    const ProfileSection* found = FindSection(sections, Trim(section));
    if (found == nullptr) return;

    // Fill a buffer of the profile call's size as it does: each listed key NUL-terminated, the
    // list ended by a second NUL, the last key cut when the list does not fit. Comment lines (';')
    // and lines without '=' are not listed.
    std::vector<char> buffer(kProfileKeyListLength, '\0');
    size_t used = 0;
    size_t room = buffer.size();
    for (const ProfileEntry& entry : found->entries) {
        if (room <= 2) break;
        if (!entry.key.empty() && entry.key[0] == ';') continue;
        if (!entry.hasValue) continue;
        size_t length = entry.key.size() < room - 2 ? entry.key.size() : room - 2;
        entry.key.copy(buffer.data() + used, length);
        used += length + 1;
        room -= length + 1;
        if (room < 2) break;
    }
    SplitProfileKeyList(buffer.data(), used, keys);
}

bool ReadProfileString(const std::string& fileName, const std::string& section,
                       const std::string& key, std::string& value) {
    std::string text;
    if (!ReadFileText(fileName, text)) return false;
    const std::vector<ProfileSection> sections = ParseProfile(text);
    const ProfileSection* found = FindSection(sections, Trim(section));
    if (found == nullptr) return false;
    const std::string wanted = Trim(key);
    for (const ProfileEntry& entry : found->entries) {
        if (!SameName(entry.key, wanted)) continue;
        if (!entry.hasValue) return false;
        std::string result = entry.value;
        // A value in matching single or double quotes loses them.
        if (result.size() >= 2 && (result[0] == '"' || result[0] == '\'') &&
            result.back() == result[0]) {
            result = result.substr(1, result.size() - 2);
        }
        if (result.size() > kProfileValueLength - 1) result.resize(kProfileValueLength - 1);
        value = result;
        return true;
    }
    return false;
}
