#include "DateTime.h"

#include "FormatString.h"

bool CDateTime::MillisecondsSince(const CDateTime& earlier, uint32_t& milliseconds) const {
    const int64_t diff = ticks - earlier.ticks;
    if (diff < 0 || diff > static_cast<int64_t>(UINT32_MAX)) return false;
    milliseconds = static_cast<uint32_t>(diff);
    return true;
}

std::string CDateTime::ToString() const {
    return FormatString("%04i/%02i/%02i %02i:%02i:%02i, %03ims", year, month, day, hour, minute,
                        second, millisecond);
}
