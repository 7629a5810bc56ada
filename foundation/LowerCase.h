// Lower-casing of 8-bit ANSI text.
#pragma once

#include <string>

// Converts character by character with the C library's tolower while the character-type locale is
// switched to the ANSI code page (".ACP" on Windows; the "C" locale natively) and restores the
// previous character-type locale afterwards. Call it from one thread at a time: the locale is
// process-wide.
std::string LowerCaseACP(const std::string& text);
