#include "DateTime.h"

#include <ctime>

#include "LocalDateTime_posix.h"

CDateTime CDateTime::Now() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    CDateTime t;
    ToLocalDateTime(ts, t);
    return t;
}

bool ToLocalDateTime(const timespec& when, CDateTime& time) {
    tm local;
    if (!localtime_r(&when.tv_sec, &local)) return false;
    time.year = local.tm_year + 1900;
    time.month = local.tm_mon + 1;
    time.day = local.tm_mday;
    time.hour = local.tm_hour;
    time.minute = local.tm_min;
    time.second = local.tm_sec;
    time.millisecond = static_cast<int>(when.tv_nsec / 1000000);
    // Local time: shift the UTC seconds by the zone offset so differences follow the local clock.
    time.ticks = (static_cast<int64_t>(when.tv_sec) + local.tm_gmtoff) * 1000 + time.millisecond;
    return true;
}
