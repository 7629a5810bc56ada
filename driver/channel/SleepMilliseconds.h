// Suspends the calling thread.
#pragma once

#include <cstdint>

void SleepMilliseconds(uint32_t milliseconds);
