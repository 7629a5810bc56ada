// printf-style formatting helpers used for trace lines, thrown messages and names.
#pragma once

#include <cstdint>
#include <string>

// Longest text the helpers produce; a longer (or empty) result counts as a failed format.
constexpr int kFormatStringLimit = 5000;

// Formats into a 5001-byte buffer. Returns "" when the text is empty or longer than 5000 characters.
std::string FormatString(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Same formatting; on success (1 to 5000 characters) assigns to out and returns true, otherwise
// leaves out unchanged and returns false.
bool FormatStringTo(std::string& out, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// "bufferSize = %i, buffer = %s": every byte as a signed 8-bit value, "%02d", comma separated.
// Passes through FormatString, so a dump longer than 5000 characters comes back empty.
std::string FormatBufferDump(const uint8_t* data, uint32_t size);

// How many texts the helpers above have formatted in this process, on any thread. Tests read it to
// prove that a path formats nothing (trace lines while the trace log is off, for instance).
uint64_t FormattedTextCount();
