#include "platform/DateTime.h"

#include <langinfo.h>

#include <cmath>
#include <ctime>
#include <vector>

#include "platform/CodePage.h"

namespace lumbrook {

namespace {

constexpr std::int64_t MSecsPerDay = 86'400'000;
// Days from 1 January 1970 back to 30 December 1899.
constexpr std::int64_t UnixEpochSerial = 25'569;
// Far beyond any date a file time can hold; keeps every conversion in range.
constexpr double MaxSerial = 1e9;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1 January 1970 in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = FloorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

// strftime cannot tell an empty result from a buffer too small; a leading space
// in the format tells them apart.
std::string FormatTm(std::string_view format, const std::tm& t) {
    std::string fmt = " " + std::string(format);
    std::vector<char> buf(64 + fmt.size() * 4);
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::size_t n = std::strftime(buf.data(), buf.size(), fmt.c_str(), &t);
        if (n > 0) return std::string(buf.data() + 1, n - 1);
        buf.resize(buf.size() * 4);
    }
    return {};
}

std::string LangInfoOr(nl_item item, const char* fallback) {
    const char* s = nl_langinfo(item);
    return s && *s ? s : fallback;
}

}  // namespace

TDateTime EncodeDateTime(const TDateTimeFields& f) {
    // Fields out of their range carry over into the next larger one.
    std::int64_t monthIndex = std::int64_t{f.Month} - 1;
    std::int64_t year = std::int64_t{f.Year} + FloorDiv(monthIndex, 12);
    int month = static_cast<int>(monthIndex - FloorDiv(monthIndex, 12) * 12) + 1;
    std::int64_t ms =
        ((std::int64_t{f.Hour} * 60 + f.Minute) * 60 + f.Second) * 1000 + f.Millisecond;
    std::int64_t days = DaysFromCivil(year, month, 1) + (std::int64_t{f.Day} - 1) +
                        UnixEpochSerial + FloorDiv(ms, MSecsPerDay);
    ms -= FloorDiv(ms, MSecsPerDay) * MSecsPerDay;
    double time = static_cast<double>(ms) / MSecsPerDay;
    return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

TDateTimeFields DecodeDateTime(TDateTime value) {
    if (!std::isfinite(value)) value = 0;
    if (value > MaxSerial) value = MaxSerial;
    if (value < -MaxSerial) value = -MaxSerial;
    // Rounded to the millisecond first, so that a value a hair below midnight is
    // the next day's 00:00 rather than 24:00. Before the epoch the fraction counts
    // away from zero: -1.25 is 29 December 1899, 06:00.
    const std::int64_t total = std::llround(value * MSecsPerDay);
    const std::int64_t days = total / MSecsPerDay;
    std::int64_t ms = total % MSecsPerDay;
    if (ms < 0) ms = -ms;

    TDateTimeFields f;
    std::int64_t year;
    CivilFromDays(days - UnixEpochSerial, year, f.Month, f.Day);
    f.Year = static_cast<int>(year);
    f.Hour = static_cast<int>(ms / 3'600'000);
    f.Minute = static_cast<int>(ms / 60'000 % 60);
    f.Second = static_cast<int>(ms / 1000 % 60);
    f.Millisecond = static_cast<int>(ms % 1000);
    return f;
}

std::int64_t LocalOffsetNowSeconds() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) return 0;
    return local.tm_gmtoff;
}

std::string ShortDateFormat() {
    return LangInfoOr(D_FMT, "%m/%d/%y");
}

std::string LongTimeFormat() {
    return LangInfoOr(T_FMT, "%H:%M:%S");
}

std::string FormatDateText(TDateTime value) {
    return FormatDateText(value, ShortDateFormat(), LongTimeFormat());
}

std::string FormatDateText(TDateTime value, std::string_view dateFormat,
                           std::string_view timeFormat) {
    const TDateTimeFields f = DecodeDateTime(value);
    std::tm t{};
    // The zone a format may name is the one the value was converted with: today's.
    std::time_t now = std::time(nullptr);
    localtime_r(&now, &t);
    t.tm_year = f.Year - 1900;
    t.tm_mon = f.Month - 1;
    t.tm_mday = f.Day;
    t.tm_hour = f.Hour;
    t.tm_min = f.Minute;
    t.tm_sec = f.Second;
    const std::int64_t day = DaysFromCivil(f.Year, f.Month, f.Day);
    t.tm_wday = static_cast<int>(day + 4 - FloorDiv(day + 4, 7) * 7);  // 1 January 1970: Thursday
    t.tm_yday = static_cast<int>(day - DaysFromCivil(f.Year, 1, 1));

    std::string text = FormatTm(dateFormat, t);
    if (f.Hour != 0 || f.Minute != 0 || f.Second != 0) text += " " + FormatTm(timeFormat, t);
    // Month and day names come in the locale's character set.
    if (!IsValidUtf8(text)) text = CodePageToUtf8(text, nl_langinfo(CODESET));
    return text;
}

}  // namespace lumbrook
