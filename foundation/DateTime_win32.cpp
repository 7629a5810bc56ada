#include "DateTime.h"

#include <windows.h>

#include "LocalDateTime_win32.h"

CDateTime CDateTime::Now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return LocalDateTime(st, ft);
}

CDateTime LocalDateTime(const SYSTEMTIME& st, const FILETIME& ft) {
    CDateTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.millisecond = st.wMilliseconds;
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    t.ticks = static_cast<int64_t>(u.QuadPart / 10000u);  // 100 ns units to ms
    return t;
}

bool ToLocalDateTime(const FILETIME& utc, CDateTime& time) {
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return false;
    time = LocalDateTime(st, local);
    return true;
}
