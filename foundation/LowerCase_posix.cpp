#include "LowerCase.h"

#include "AsciiText.h"

std::string LowerCaseACP(const std::string& text) { return LowerAscii(text); }
