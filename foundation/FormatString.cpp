#include "FormatString.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {

// Counted at every format, on whichever thread formats; read only by FormattedTextCount.
std::atomic<uint64_t> formattedTexts{0};

// Formats into a stack buffer of limit + 1 bytes; true when 1..limit characters resulted.
bool FormatInto(std::string& out, const char* format, va_list args) {
    formattedTexts.fetch_add(1, std::memory_order_relaxed);
    char buffer[kFormatStringLimit + 1];
    const int n = vsnprintf(buffer, sizeof buffer, format, args);
    if (n <= 0 || n > kFormatStringLimit) return false;
    out.assign(buffer, static_cast<size_t>(n));
    return true;
}

}  // namespace

std::string FormatString(const char* format, ...) {
    std::string out;
    va_list args;
    va_start(args, format);
    FormatInto(out, format, args);
    va_end(args);
    return out;
}

bool FormatStringTo(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text;
    const bool ok = FormatInto(text, format, args);
    va_end(args);
    if (ok) out = std::move(text);
    return ok;
}

uint64_t FormattedTextCount() { return formattedTexts.load(std::memory_order_relaxed); }

std::string FormatBufferDump(const uint8_t* data, uint32_t size) {
    formattedTexts.fetch_add(1, std::memory_order_relaxed);
    std::string list;
    list.reserve(size * 4u);
    char item[8];
    for (uint32_t i = 0; i < size; ++i) {
        const int n = snprintf(item, sizeof item, i == 0 ? "%02d" : ",%02d",
                               static_cast<int>(static_cast<int8_t>(data[i])));
        list.append(item, static_cast<size_t>(n));
    }
    // The list itself may be longer than the format limit; FormatString then yields "".
    if (list.size() > static_cast<size_t>(kFormatStringLimit)) return std::string();
    return FormatString("bufferSize = %i, buffer = %s", static_cast<int>(size), list.c_str());
}
