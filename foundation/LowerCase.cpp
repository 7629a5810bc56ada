#include "LowerCase.h"

#include <cctype>
#include <clocale>

namespace {
#ifdef _WIN32
const char* const kAnsiLocale = ".ACP";
#else
const char* const kAnsiLocale = "C";
#endif
}  // namespace

std::string LowerCaseACP(const std::string& text) {
    const char* current = setlocale(LC_CTYPE, nullptr);
    const std::string previous = current ? current : "C";
    setlocale(LC_CTYPE, kAnsiLocale);
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    setlocale(LC_CTYPE, previous.c_str());
    return lower;
}
