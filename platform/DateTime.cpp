#include "platform/DateTime.h"

#include <langinfo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/CodePage.h"

namespace lumbrook {

namespace {

constexpr std::int64_t MSecsPerDay = 86'400'000;
constexpr std::chrono::sys_days Epoch{std::chrono::year{1899} / std::chrono::December / 30};
// Keeps every conversion inside the years a civil date can hold (to 32767), far
// beyond any date a file time can hold.
constexpr double MaxSerial = 11e6;

// The calendar day of a value and the milliseconds into it, rounded to the
// millisecond first, so that a value a hair below midnight is the next day's 00:00
// rather than 24:00. Before the epoch the fraction counts away from zero: -1.25 is
// 29 December 1899, 06:00.
struct SplitValue {
    std::chrono::sys_days day;
    std::int64_t ms;
};

SplitValue split(DateTime value) {
    if (!std::isfinite(value)) value = 0;
    value = std::clamp(value, -MaxSerial, MaxSerial);
    const std::int64_t total = std::llround(value * MSecsPerDay);
    const std::int64_t ms = total % MSecsPerDay;
    return {Epoch + std::chrono::days{total / MSecsPerDay}, ms < 0 ? -ms : ms};
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

DateTimeFields decodeDateTime(DateTime value) {
    const auto [day, ms] = split(value);
    const std::chrono::year_month_day date{day};
    DateTimeFields f;
    f.year = static_cast<int>(date.year());
    f.month = static_cast<int>(static_cast<unsigned>(date.month()));
    f.day = static_cast<int>(static_cast<unsigned>(date.day()));
    f.hour = static_cast<int>(ms / 3'600'000);
    f.minute = static_cast<int>(ms / 60'000 % 60);
    f.second = static_cast<int>(ms / 1000 % 60);
    f.millisecond = static_cast<int>(ms % 1000);
    return f;
}

std::int64_t localOffsetSecondsAt(std::int64_t unixSeconds) {
    const auto moment = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (!localtime_r(&moment, &local)) return 0;
    return local.tm_gmtoff;
}

namespace {
std::string isoText(const std::tm& t, bool utc) {
    if (t.tm_year + 1900 < 0 || t.tm_year + 1900 > 9999) return {};
    char text[40];
    const long offset = utc ? 0 : t.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.tm_year + 1900,
                                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    std::string out(text, static_cast<std::size_t>(n));
    if (utc) return out + "Z";
    std::snprintf(text, sizeof text, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return out + text;
}
}  // namespace

std::string isoLocalDateTime(std::int64_t unixSeconds) {
    const auto moment = static_cast<std::time_t>(unixSeconds);
    std::tm t{};
    if (!localtime_r(&moment, &t)) return {};
    return isoText(t, false);
}

std::string isoUtcDateTime(std::int64_t unixSeconds) {
    const auto moment = static_cast<std::time_t>(unixSeconds);
    std::tm t{};
    if (!gmtime_r(&moment, &t)) return {};
    return isoText(t, true);
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
    const std::chrono::sys_days day = split(value).day;
    std::tm t{};
    t.tm_year = f.year - 1900;
    t.tm_mon = f.month - 1;
    t.tm_mday = f.day;
    t.tm_hour = f.hour;
    t.tm_min = f.minute;
    t.tm_sec = f.second;
    t.tm_wday = static_cast<int>(std::chrono::weekday{day}.c_encoding());
    t.tm_yday = static_cast<int>(
        (day - std::chrono::sys_days{std::chrono::year{f.year} / std::chrono::January / 1}).count());
    // The zone a format may name (%Z, %z) is the one in force at that local time.
    std::tm zone = t;
    zone.tm_isdst = -1;
    if (std::mktime(&zone) != static_cast<std::time_t>(-1)) {
        t.tm_isdst = zone.tm_isdst;
        t.tm_gmtoff = zone.tm_gmtoff;
        t.tm_zone = zone.tm_zone;
    }

    std::string text = formatTm(dateFormat, t);
    if (f.hour != 0 || f.minute != 0 || f.second != 0) text += " " + formatTm(timeFormat, t);
    // Month and day names come in the locale's character set.
    if (!isValidUtf8(text)) text = CodePage::fromSetting(nl_langinfo(CODESET)).toUtf8(text);
    return text;
}

}  // namespace lumbrook
