#include "LastError.h"

#include <windows.h>

std::string LastErrorText() {
    const DWORD error = GetLastError();
    char buffer[1024] = {0};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                                        sizeof(buffer) - 1, nullptr);
    return std::string(buffer, length);
}

unsigned long LastErrorCode() { return GetLastError(); }

void SetLastErrorCode(unsigned long code) { SetLastError(code); }
