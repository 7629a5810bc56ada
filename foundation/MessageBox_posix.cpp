#include "MessageBox.h"

#include <cstdio>

// Natively there is nobody to click: the box becomes one line on stderr and counts as confirmed.
int ShowPlatformMessageBox(const char* text, const char* caption, unsigned type) {
    std::fprintf(stderr, "[%s] %s\n", caption, text);
    return 1;  // IDOK
}
