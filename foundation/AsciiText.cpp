#include "AsciiText.h"

std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHexDigits(const std::string& text, size_t begin, size_t end, uint32_t& value) {
    if (begin >= end || end > text.size() || end - begin > 8) return false;
    uint32_t number = 0;
    for (size_t at = begin; at < end; ++at) {
        const int digit = HexDigitValue(text[at]);
        if (digit < 0) return false;
        number = number * 16 + static_cast<uint32_t>(digit);
    }
    value = number;
    return true;
}
