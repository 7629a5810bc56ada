// Local date and time with milliseconds: the part of the library's date class the driver uses.
#pragma once

#include <cstdint>
#include <string>

class CDateTime {
public:
    CDateTime() = default;

    // The current local time.
    static CDateTime Now();

    // Milliseconds from `earlier` to this time. False when the difference cannot be expressed as an
    // unsigned 32-bit number (negative, for instance after the clock was set back, or too large).
    bool MillisecondsSince(const CDateTime& earlier, uint32_t& milliseconds) const;

    // "%04i/%02i/%02i %02i:%02i:%02i, %03ims", for instance "2014/01/05 09:07:03, 042ms".
    std::string ToString() const;

    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;

    // Milliseconds since a fixed platform epoch, in local time; used for differences only.
    int64_t ticks = 0;
};
