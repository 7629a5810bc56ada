#include "DateTime.h"

#include <ctime>

CDateTime CDateTime::Now() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local;
    localtime_r(&ts.tv_sec, &local);
    CDateTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    // Local time: shift the UTC seconds by the zone offset so differences follow the local clock.
    t.ticks = (static_cast<int64_t>(ts.tv_sec) + local.tm_gmtoff) * 1000 + t.millisecond;
    return t;
}
