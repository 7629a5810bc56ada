// Filling a CDateTime from a POSIX time (for the native sources only).
#pragma once

#include <ctime>

#include "DateTime.h"

// The UTC time `when` in local time; false when it cannot be converted.
bool ToLocalDateTime(const timespec& when, CDateTime& time);
