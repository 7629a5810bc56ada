// A text file as lines that keep their own line ends, so that an edit changes only the lines it
// touches and every other byte (CR LF or LF, a missing final line end) stays as it was.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace linuxsetup {

struct TextLine {
    std::string text;  // without the line end; a lone CR stays in the text
    std::string eol;   // "\n", "\r\n", or "" for a last line without a line end
};

using TextLines = std::vector<TextLine>;

// Splits at every LF; "" gives no lines, "a\n" one line.
TextLines SplitLines(const std::string& bytes);
// The bytes again: SplitLines then JoinLines gives back the input exactly.
std::string JoinLines(const TextLines& lines);

// The line end that new lines get: that of the first line that has one, else "\n".
std::string NewLineEnd(const TextLines& lines);

// Inserts a line before `index` (lines.size() appends). Appended after a last line without a line
// end, the old last line gets `eol` and the new one none, so the file still ends without one.
void InsertLine(TextLines& lines, size_t index, const std::string& text, const std::string& eol);
// Removes line `index`; removing a last line without a line end takes the line end off the line
// before, so that InsertLine followed by EraseLine gives back the lines as they were.
void EraseLine(TextLines& lines, size_t index);

// The text without blanks and tabs at either end.
std::string Trim(const std::string& text);
// ASCII letters compared without regard to case.
bool EqualsNoCase(const std::string& a, const std::string& b);

}  // namespace linuxsetup
