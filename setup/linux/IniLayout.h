// Where the sections and keys of an INI text lie: the reading that the module.ini editor and the
// status checks share.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "TextLines.h"

namespace linuxsetup {

struct IniSection {
    std::string name;   // between the brackets, blanks around it removed
    size_t header = 0;  // index of the "[name]" line
    size_t end = 0;     // index of the next header, or the number of lines
};

// "[name]" (blanks around it allowed; anything after the closing bracket ignored).
bool IsSectionHeader(const std::string& text, std::string& name);
// "key = value" outside a comment (";" or "#" first); key and value without blanks around them.
bool IsKeyLine(const std::string& text, std::string& key, std::string& value);

// The sections in file order.
std::vector<IniSection> FindSections(const TextLines& lines);
// The first section of that name (letter case ignored), or nullptr.
const IniSection* FindSection(const std::vector<IniSection>& sections, const std::string& name);
// Index of the first line of the section with that key (letter case ignored), or npos.
size_t FindKey(const TextLines& lines, const IniSection& section, const std::string& key);

// Replaces the value of a key line, keeping the key, the "=" and the blanks around the value.
std::string WithValue(const std::string& keyLine, const std::string& value);

}  // namespace linuxsetup
