// ASCII text helpers that do not depend on the locale: lower-casing and hexadecimal numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// c with A to Z turned into a to z; every other byte as it is.
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
std::string LowerAscii(std::string text);

// The value of a hexadecimal digit (0-9, a-f, A-F), -1 for any other character.
int HexDigitValue(char c);
// text[begin, end) read as a hexadecimal number of at most eight digits: false when the range is
// empty or longer, or holds a character that is no hexadecimal digit (value is then untouched).
bool ParseHexDigits(const std::string& text, size_t begin, size_t end, uint32_t& value);
