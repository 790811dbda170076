#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumbrook {

// A local date and time as days since 30 December 1899, the time of day as the
// fraction (for dates before the epoch the fraction counts away from zero too).
using DateTime = double;

struct DateTimeFields {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// As Delphi's decodeDateTime: rounded to the millisecond.
DateTimeFields decodeDateTime(DateTime value);

// Offset of local time from UTC, in seconds, as in force at the moment given in
// seconds since 1970 (UTC): the zone's rule for that date, as localtime_r applies
// it, so that a May date has summer time whatever today is. 0 for a moment the
// system cannot place.
std::int64_t localOffsetSecondsAt(std::int64_t unixSeconds);

// A moment (seconds since 1970) as ISO 8601: in the user's zone with the offset in
// force at that moment ("2003-05-04T10:00:00+02:00"), or in UTC
// ("2003-05-04T08:00:00Z"). Empty for a moment outside the years 0 to 9999.
std::string isoLocalDateTime(std::int64_t unixSeconds);
std::string isoUtcDateTime(std::int64_t unixSeconds);

// The user's short date and long time formats: nl_langinfo(D_FMT) and T_FMT of
// LC_TIME stand for the Windows locale settings.
std::string shortDateFormat();
std::string longTimeFormat();

// The one date text of the program: short date, a space and the long time; the
// space and time are left out when hour, minute and second are all zero.
std::string formatDateText(DateTime value);
// The same with the two formats (strftime codes) given instead of the locale's.
std::string formatDateText(DateTime value, std::string_view dateFormat,
                           std::string_view timeFormat);

}  // namespace lumbrook
