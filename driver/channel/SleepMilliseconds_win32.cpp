#include "SleepMilliseconds.h"

#include <windows.h>

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }
