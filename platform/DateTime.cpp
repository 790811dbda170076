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

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1 January 1970 in the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = floorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = floorDiv(z, 146097);
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
std::string formatTm(std::string_view format, const std::tm& t) {
    std::string fmt = " " + std::string(format);
    std::vector<char> buf(64 + fmt.size() * 4);
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::size_t n = std::strftime(buf.data(), buf.size(), fmt.c_str(), &t);
        if (n > 0) return std::string(buf.data() + 1, n - 1);
        buf.resize(buf.size() * 4);
    }
    return {};
}

std::string langInfoOr(nl_item item, const char* fallback) {
    const char* s = nl_langinfo(item);
    return s && *s ? s : fallback;
}

}  // namespace

DateTime encodeDateTime(const DateTimeFields& f) {
    // Fields out of their range carry over into the next larger one.
    std::int64_t monthIndex = std::int64_t{f.month} - 1;
    std::int64_t year = std::int64_t{f.year} + floorDiv(monthIndex, 12);
    int month = static_cast<int>(monthIndex - floorDiv(monthIndex, 12) * 12) + 1;
    std::int64_t ms =
        ((std::int64_t{f.hour} * 60 + f.minute) * 60 + f.second) * 1000 + f.millisecond;
    std::int64_t days = daysFromCivil(year, month, 1) + (std::int64_t{f.day} - 1) +
                        UnixEpochSerial + floorDiv(ms, MSecsPerDay);
    ms -= floorDiv(ms, MSecsPerDay) * MSecsPerDay;
    double time = static_cast<double>(ms) / MSecsPerDay;
    return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

DateTimeFields decodeDateTime(DateTime value) {
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

    DateTimeFields f;
    std::int64_t year;
    civilFromDays(days - UnixEpochSerial, year, f.month, f.day);
    f.year = static_cast<int>(year);
    f.hour = static_cast<int>(ms / 3'600'000);
    f.minute = static_cast<int>(ms / 60'000 % 60);
    f.second = static_cast<int>(ms / 1000 % 60);
    f.millisecond = static_cast<int>(ms % 1000);
    return f;
}

std::int64_t localOffsetNowSeconds() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) return 0;
    return local.tm_gmtoff;
}

std::string shortDateFormat() {
    return langInfoOr(D_FMT, "%m/%d/%y");
}

std::string longTimeFormat() {
    return langInfoOr(T_FMT, "%H:%M:%S");
}

std::string formatDateText(DateTime value) {
    return formatDateText(value, shortDateFormat(), longTimeFormat());
}

std::string formatDateText(DateTime value, std::string_view dateFormat,
                           std::string_view timeFormat) {
    const DateTimeFields f = decodeDateTime(value);
    std::tm t{};
    // The zone a format may name is the one the value was converted with: today's.
    std::time_t now = std::time(nullptr);
    localtime_r(&now, &t);
    t.tm_year = f.year - 1900;
    t.tm_mon = f.month - 1;
    t.tm_mday = f.day;
    t.tm_hour = f.hour;
    t.tm_min = f.minute;
    t.tm_sec = f.second;
    const std::int64_t day = daysFromCivil(f.year, f.month, f.day);
    t.tm_wday = static_cast<int>(day + 4 - floorDiv(day + 4, 7) * 7);  // 1 January 1970: Thursday
    t.tm_yday = static_cast<int>(day - daysFromCivil(f.year, 1, 1));

    std::string text = formatTm(dateFormat, t);
    if (f.hour != 0 || f.minute != 0 || f.second != 0) text += " " + formatTm(timeFormat, t);
    // Month and day names come in the locale's character set.
    if (!isValidUtf8(text)) text = codePageToUtf8(text, nl_langinfo(CODESET));
    return text;
}

}  // namespace lumbrook
