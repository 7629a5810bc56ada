#include "LogText.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string FormatLogText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        vsnprintf(buffer.data(), buffer.size(), format, args);
        text.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}

std::string FormatNumberedLogLine(int number, const std::string& text) {
    if (text.empty()) return "\r\n";
    return FormatLogText("%i.\t%s%s", number, text.c_str(), "\r\n");
}
