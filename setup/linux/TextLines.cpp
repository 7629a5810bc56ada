#include "TextLines.h"

#include "AsciiText.h"

namespace linuxsetup {

TextLines SplitLines(const std::string& bytes) {
    TextLines lines;
    size_t begin = 0;
    while (begin < bytes.size()) {
        const size_t lf = bytes.find('\n', begin);
        if (lf == std::string::npos) {
            lines.push_back({bytes.substr(begin), ""});
            break;
        }
        size_t end = lf;
        std::string eol = "\n";
        if (end > begin && bytes[end - 1] == '\r') {
            --end;
            eol = "\r\n";
        }
        lines.push_back({bytes.substr(begin, end - begin), eol});
        begin = lf + 1;
    }
    return lines;
}

std::string JoinLines(const TextLines& lines) {
    size_t size = 0;
    for (const TextLine& line : lines) size += line.text.size() + line.eol.size();
    std::string bytes;
    bytes.reserve(size);
    for (const TextLine& line : lines) {
        bytes += line.text;
        bytes += line.eol;
    }
    return bytes;
}

std::string NewLineEnd(const TextLines& lines) {
    for (const TextLine& line : lines)
        if (!line.eol.empty()) return line.eol;
    return "\n";
}

void InsertLine(TextLines& lines, size_t index, const std::string& text, const std::string& eol) {
    if (index >= lines.size()) {
        if (!lines.empty() && lines.back().eol.empty()) {
            lines.back().eol = eol;
            lines.push_back({text, ""});
        } else {
            lines.push_back({text, eol});
        }
        return;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(index), TextLine{text, eol});
}

void EraseLine(TextLines& lines, size_t index) {
    if (index >= lines.size()) return;
    if (index + 1 == lines.size() && lines[index].eol.empty() && index > 0) {
        // The line before becomes the file's unterminated last line again, as it was before a line
        // was added after it (InsertLine gave it the file's line end then). In a file of LF lines a
        // last line whose own text ended in a carriage return was read back as a CRLF line: that
        // carriage return is the line's text again.
        TextLine& previous = lines[index - 1];
        std::string fileEol = "\n";
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i != index - 1 && !lines[i].eol.empty()) {
                fileEol = lines[i].eol;
                break;
            }
        }
        if (previous.eol == "\r\n" && fileEol == "\n") previous.text += '\r';
        previous.eol.clear();
    }
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(index));
}

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return text.substr(begin, end - begin);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

}  // namespace linuxsetup
