#include "mime/HeaderFields.h"

#include "base/Ascii.h"
#include "base/FileTime.h"
#include <cstdio>
#include <ctime>
#include <vector>

namespace lumbrook {

namespace {

// The line at pos without its line end, and where the next one starts.
std::string_view lineAt(std::string_view text, std::size_t pos, std::size_t& next) {
    const std::size_t lf = text.find('\n', pos);
    std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    next = lf == std::string_view::npos ? text.size() : lf + 1;
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// Removes (comments), keeping "quoted strings" whole; unbalanced parts run to the end.
std::string dropComments(std::string_view s) {
    std::string out;
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (quoted || depth > 0)) {
            if (depth == 0) out.append(s.substr(i, 2));
            ++i;
        } else if (quoted) {
            out += c;
            if (c == '"') quoted = false;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        } else if (depth == 0) {
            if (c == '"') quoted = true;
            out += c;
        }
    }
    return out;
}

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int toNumber(std::string_view s) {
    int n = 0;
    for (char c : s.substr(0, 9)) n = n * 10 + (c - '0');
    return n;
}

int monthNumber(std::string_view token) {
    static constexpr std::string_view Months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                  "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3) return 0;
    for (int i = 0; i < 12; ++i)
        if (equalsNoCase(token.substr(0, 3), Months[i])) return i + 1;
    return 0;
}

// Offset east of UTC in minutes of a named zone; none when the name is no zone.
std::optional<int> namedZone(std::string_view token) {
    struct Zone { std::string_view name; int minutes; };
    static constexpr Zone Zones[] = {{"ut", 0},        {"utc", 0},       {"gmt", 0},
                                     {"z", 0},         {"est", -5 * 60}, {"edt", -4 * 60},
                                     {"cst", -6 * 60}, {"cdt", -5 * 60}, {"mst", -7 * 60},
                                     {"mdt", -6 * 60}, {"pst", -8 * 60}, {"pdt", -7 * 60}};
    for (const auto& zone : Zones)
        if (equalsNoCase(token, zone.name)) return zone.minutes;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> findHeaderField(std::string_view rawMessage, std::string_view name) {
    std::size_t pos = 0;
    while (pos < rawMessage.size()) {
        std::size_t next;
        const std::string_view line = lineAt(rawMessage, pos, next);
        if (line.empty()) return std::nullopt;
        pos = next;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos ||
            !equalsNoCase(trim(line.substr(0, colon), isBlankOrLineEnd), name) ||
            (colon > 0 && isBlankOrLineEnd(line[0])))
            continue;
        std::string value(line.substr(colon + 1));
        while (pos < rawMessage.size() && isBlank(rawMessage[pos])) {
            value.append(lineAt(rawMessage, pos, next));
            pos = next;
        }
        return value;
    }
    return std::nullopt;
}

std::string envelopeAddress(std::string_view fromValue) {
    const std::string plain = dropComments(fromValue);
    std::string_view address;
    // The angle-addr outside quoted strings wins; a display name may hold "<" itself.
    bool quoted = false;
    std::size_t open = std::string::npos;
    for (std::size_t i = 0; i < plain.size() && open == std::string::npos; ++i) {
        if (plain[i] == '\\' && quoted) ++i;
        else if (plain[i] == '"') quoted = !quoted;
        else if (plain[i] == '<' && !quoted) open = i;
    }
    if (open != std::string::npos) {
        const std::size_t close = plain.find('>', open + 1);
        address = std::string_view(plain).substr(
            open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
        // An obsolete source route "@relay,@relay:user@host" keeps only the address.
        if (!trim(address, isBlankOrLineEnd).empty() && trim(address, isBlankOrLineEnd).front() == '@') {
            const std::size_t colon = address.find(':');
            address = colon == std::string_view::npos ? std::string_view() : address.substr(colon + 1);
        }
    } else {
        address = plain;
        quoted = false;
        for (std::size_t i = 0; i < address.size(); ++i) {
            if (address[i] == '\\' && quoted) ++i;
            else if (address[i] == '"') quoted = !quoted;
            else if (address[i] == ',' && !quoted) {
                address = address.substr(0, i);
                break;
            }
        }
    }
    address = trim(address, isBlankOrLineEnd);
    if (address.empty()) return "MAILER-DAEMON";
    for (char c : address) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F || c == '<' || c == '>') return "MAILER-DAEMON";
    }
    return std::string(address);
}

std::optional<std::int64_t> parseMailDate(std::string_view dateValue) {
    const std::string text = dropComments(dateValue);
    std::vector<std::string_view> tokens;
    {
        std::size_t pos = 0;
        const std::string_view all(text);
        while (pos < all.size() && tokens.size() < 16) {
            while (pos < all.size() && (isBlankOrLineEnd(all[pos]) || all[pos] == ',')) ++pos;
            const std::size_t start = pos;
            while (pos < all.size() && !isBlankOrLineEnd(all[pos]) && all[pos] != ',') ++pos;
            if (pos > start) tokens.push_back(all.substr(start, pos - start));
        }
    }
    int day = -1, month = 0, year = -1, hour = -1, minute = 0, second = 0;
    int zoneMinutes = 0;
    for (std::string_view token : tokens) {
        if (hour < 0 && token.find(':') != std::string_view::npos) {
            // hh:mm[:ss]
            std::string_view parts[3];
            std::size_t count = 0, start = 0;
            while (count < 3) {
                const std::size_t colon = token.find(':', start);
                parts[count++] = token.substr(start, colon == std::string_view::npos
                                                         ? std::string_view::npos
                                                         : colon - start);
                if (colon == std::string_view::npos) break;
                start = colon + 1;
            }
            if (count < 2) return std::nullopt;
            for (std::size_t i = 0; i < count; ++i)
                if (!allDigits(parts[i]) || parts[i].size() > 2) return std::nullopt;
            hour = toNumber(parts[0]);
            minute = toNumber(parts[1]);
            second = count == 3 ? toNumber(parts[2]) : 0;
        } else if ((token[0] == '+' || token[0] == '-') && token.size() == 5 &&
                   allDigits(token.substr(1))) {
            const int hhmm = toNumber(token.substr(1));
            zoneMinutes = (hhmm / 100) * 60 + hhmm % 100;
            if (token[0] == '-') zoneMinutes = -zoneMinutes;
        } else if (allDigits(token)) {
            if (day < 0 && token.size() <= 2 && hour < 0 && toNumber(token) >= 1 &&
                toNumber(token) <= 31)
                day = toNumber(token);
            else if (year < 0 && token.size() <= 4)
                year = toNumber(token);
            else
                return std::nullopt;
        } else if (month == 0 && monthNumber(token) != 0 && token.size() <= 9) {
            month = monthNumber(token);
        } else if (auto zone = namedZone(token)) {
            zoneMinutes = *zone;
        }
        // Weekday names and unknown zone names carry nothing we need.
    }
    if (day < 1 || month == 0 || year < 0 || hour < 0) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 60) return std::nullopt;
    if (year < 50) year += 2000;
    else if (year < 1000) year += 1900;
    const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month),
                                            static_cast<unsigned>(day));
    return days * 86400 + hour * 3600 + minute * 60 + second - zoneMinutes * 60LL;
}

std::optional<std::int64_t> messageTime(std::uint64_t fileTime, std::string_view rawMessage) {
    if (auto t = fileTimeToUnix(fileTime)) return t;
    if (auto date = findHeaderField(rawMessage, "Date")) return parseMailDate(*date);
    return std::nullopt;
}

std::int64_t messageUnixTime(std::uint64_t fileTime, std::string_view rawMessage) {
    return messageTime(fileTime, rawMessage).value_or(0);
}

std::string asctimeUtc(std::int64_t unixTime) {
    static constexpr const char* Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm utc{};
    const auto t = static_cast<std::time_t>(unixTime);
    if (::gmtime_r(&t, &utc) == nullptr || utc.tm_year + 1900 > 9999 || utc.tm_year + 1900 < 0) {
        const std::time_t epoch = 0;
        ::gmtime_r(&epoch, &utc);
    }
    char out[64];
    std::snprintf(out, sizeof out, "%s %s %2d %02d:%02d:%02d %d", Days[utc.tm_wday % 7],
                  Months[utc.tm_mon % 12], utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  utc.tm_year + 1900);
    return out;
}

}  // namespace lumbrook
