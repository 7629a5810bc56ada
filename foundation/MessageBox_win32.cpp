#include "MessageBox.h"

#include <windows.h>

int ShowPlatformMessageBox(const char* text, const char* caption, unsigned type) {
    return MessageBoxA(nullptr, text, caption, type);
}
