#pragma once

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "store/DbxReader.h"
#include "tests/platform/PlatformTestSupport.h"

namespace lumbrook::test {

inline std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A file time for a UTC calendar moment (tests run with TZ=UTC).
inline std::uint64_t fileTimeUtc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    const auto unix = static_cast<std::int64_t>(timegm(&tm));
    return static_cast<std::uint64_t>((unix + 11644473600LL) * 10000000LL + ms * 10000LL);
}

inline MessageInfo makeRecord(std::string subject, std::string from = "Ann <ann@a.example>",
                               std::string to = "Bob", std::uint64_t date = fileTimeUtc(2026, 12, 6, 14, 5, 9)) {
    MessageInfo m;
    m.subject = std::move(subject);
    m.from = std::move(from);
    m.to = std::move(to);
    m.date = date;
    m.dataOffset = 1;
    return m;
}

}  // namespace lumbrook::test
