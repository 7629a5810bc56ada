#include "WindowsBitness.h"

#include <windows.h>

bool IsWindows64Bit() {
    if (sizeof(void*) == 8) return true;
    // A 32-bit program runs on 64-bit Windows exactly when it runs under WOW64.
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}
