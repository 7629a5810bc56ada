// Lower-casing of 8-bit ANSI text.
#pragma once

#include <string>

// Lower-cases text without touching the process's locale, so it is safe on any thread and leaves
// the other threads of the host undisturbed. On Windows the ANSI code page's own conversion does
// the work (CharLowerBuffA); natively only the ASCII letters A to Z change (the paths it sees,
// /dev/hidrawN among them, are ASCII) and every other byte is kept as it is.
std::string LowerCaseACP(const std::string& text);
