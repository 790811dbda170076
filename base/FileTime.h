#pragma once

// Windows file times, as the store keeps its dates: 100 ns intervals since
// 1 January 1601 UTC, unsigned. Programs and mail dates count seconds since 1970.

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>

namespace lumbrook {

inline constexpr std::int64_t FileTimeTicksPerSecond = 10'000'000;
inline constexpr std::chrono::sys_days FileTimeStart{std::chrono::year{1601} /
                                                     std::chrono::January / 1};
inline constexpr std::int64_t FileTimeSecondsBefore1970 = 11'644'473'600;
static_assert(std::chrono::sys_days{std::chrono::year{1970} / std::chrono::January / 1} -
                  FileTimeStart ==
              std::chrono::seconds{FileTimeSecondsBefore1970});

// Whole seconds since 1970, rounded down. A file time of 0 is what a record without
// a date holds, so it is no moment at all.
constexpr std::optional<std::int64_t> fileTimeToUnix(std::uint64_t fileTime) {
    if (fileTime == 0) return std::nullopt;
    return static_cast<std::int64_t>(fileTime / FileTimeTicksPerSecond) - FileTimeSecondsBefore1970;
}

// None before 1601 and where the count would not fit a signed 64-bit number: such
// dates come from damaged or hostile text, and a wrapped count would be a wrong date.
constexpr std::optional<std::uint64_t> unixToFileTime(std::int64_t seconds) {
    constexpr std::int64_t Last =
        std::numeric_limits<std::int64_t>::max() / FileTimeTicksPerSecond -
        FileTimeSecondsBefore1970;
    if (seconds < -FileTimeSecondsBefore1970 || seconds >= Last) return std::nullopt;
    return static_cast<std::uint64_t>((seconds + FileTimeSecondsBefore1970) *
                                      FileTimeTicksPerSecond);
}

}  // namespace lumbrook
