// The system's text for the calling thread's last error.
#pragma once

#include <string>

// Windows: FormatMessage from the system for GetLastError (inserts ignored, neutral/default
// language), as the system writes it (usually ending in a line break). Natively: strerror(errno).
// Empty when the system has no text.
std::string LastErrorText();

// The calling thread's last error as a number (GetLastError; natively errno), and setting it. A
// failure's error is kept as a number where it must outlive later calls or a C++ throw (the
// runtime may reset the thread's last error while an exception travels) and set back where it
// is reported.
unsigned long LastErrorCode();
void SetLastErrorCode(unsigned long code);
