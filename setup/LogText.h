// printf-style formatting of log lines of any length (the setup log shows whole registry values).
#pragma once

#include <string>

std::string FormatLogText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
