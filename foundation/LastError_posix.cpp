#include "LastError.h"

#include <cerrno>
#include <cstring>

std::string LastErrorText() {
    const int error = errno;
    char buffer[256] = {0};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = strerror_r(error, buffer, sizeof(buffer));
    return text ? std::string(text) : std::string();
}

unsigned long LastErrorCode() { return static_cast<unsigned long>(errno); }

void SetLastErrorCode(unsigned long code) { errno = static_cast<int>(code); }
