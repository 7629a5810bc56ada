// printf-style formatting of log lines of any length (the setup log shows whole registry values).
#pragma once

#include <string>

std::string FormatLogText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// One line of the setup program's numbered log as the dialog shows it and the command line's
// log file holds it: "<number>.\t<text>\r\n", or just "\r\n" for an empty text (which still
// uses up its number).
std::string FormatNumberedLogLine(int number, const std::string& text);
