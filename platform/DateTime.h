#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumbrook {

// A local date and time as days since 30 December 1899, the time of day as the
// fraction (for dates before the epoch the fraction counts away from zero too).
using TDateTime = double;

struct TDateTimeFields {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// As Delphi's EncodeDateTime and DecodeDateTime. Encoding takes any field values,
// carrying those out of range into the next larger field; decoding rounds to the
// millisecond.
TDateTime EncodeDateTime(const TDateTimeFields& f);
TDateTimeFields DecodeDateTime(TDateTime value);

// Offset of local time from UTC, in seconds, as in force at this moment (daylight
// saving time of today included).
std::int64_t LocalOffsetNowSeconds();

// The user's short date and long time formats: nl_langinfo(D_FMT) and T_FMT of
// LC_TIME stand for the Windows locale settings.
std::string ShortDateFormat();
std::string LongTimeFormat();

// The one date text of the program: short date, a space and the long time; the
// space and time are left out when hour, minute and second are all zero.
std::string FormatDateText(TDateTime value);
// The same with the two formats (strftime codes) given instead of the locale's.
std::string FormatDateText(TDateTime value, std::string_view dateFormat,
                           std::string_view timeFormat);

}  // namespace lumbrook
