// The system's text for the calling thread's last error.
#pragma once

#include <string>

// Windows: FormatMessage from the system for GetLastError (inserts ignored, neutral/default
// language), as the system writes it (usually ending in a line break). Natively: strerror(errno).
// Empty when the system has no text.
std::string LastErrorText();
