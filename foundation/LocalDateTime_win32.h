// Filling a CDateTime from the Windows time records (for the Windows sources only).
#pragma once

#include <windows.h>

#include "DateTime.h"

// The local time `local`, whose FILETIME form is `localFileTime` (for the ticks).
CDateTime LocalDateTime(const SYSTEMTIME& local, const FILETIME& localFileTime);
// The UTC file time `utc` in local time; false when Windows cannot convert it.
bool ToLocalDateTime(const FILETIME& utc, CDateTime& time);
