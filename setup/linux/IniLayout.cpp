#include "IniLayout.h"

namespace linuxsetup {

bool IsSectionHeader(const std::string& text, std::string& name) {
    const std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed[0] != '[') return false;
    const size_t close = trimmed.find(']');
    if (close == std::string::npos) return false;
    name = Trim(trimmed.substr(1, close - 1));
    return true;
}

bool IsKeyLine(const std::string& text, std::string& key, std::string& value) {
    const std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#' || trimmed[0] == '[') return false;
    const size_t equals = trimmed.find('=');
    if (equals == std::string::npos) return false;
    key = Trim(trimmed.substr(0, equals));
    value = Trim(trimmed.substr(equals + 1));
    return true;
}

std::vector<IniSection> FindSections(const TextLines& lines) {
    std::vector<IniSection> sections;
    std::string name;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!IsSectionHeader(lines[i].text, name)) continue;
        if (!sections.empty()) sections.back().end = i;
        sections.push_back({name, i, lines.size()});
    }
    return sections;
}

const IniSection* FindSection(const std::vector<IniSection>& sections, const std::string& name) {
    for (const IniSection& section : sections)
        if (EqualsNoCase(section.name, name)) return &section;
    return nullptr;
}

size_t FindKey(const TextLines& lines, const IniSection& section, const std::string& key) {
    std::string k, v;
    for (size_t i = section.header + 1; i < section.end; ++i)
        if (IsKeyLine(lines[i].text, k, v) && EqualsNoCase(k, key)) return i;
    return std::string::npos;
}

std::string WithValue(const std::string& keyLine, const std::string& value) {
    const size_t equals = keyLine.find('=');
    if (equals == std::string::npos) return keyLine;
    size_t begin = equals + 1;
    while (begin < keyLine.size() && (keyLine[begin] == ' ' || keyLine[begin] == '\t')) ++begin;
    size_t end = keyLine.size();
    while (end > begin && (keyLine[end - 1] == ' ' || keyLine[end - 1] == '\t')) --end;
    return keyLine.substr(0, begin) + value + keyLine.substr(end);
}

}  // namespace linuxsetup
