#include "LowerCase.h"

#include <windows.h>

std::string LowerCaseACP(const std::string& text) {
    std::string lower(text);
    // Converts in place in the ANSI code page; the length is given, so embedded NULs are kept.
    if (!lower.empty()) CharLowerBuffA(&lower[0], static_cast<DWORD>(lower.size()));
    return lower;
}
