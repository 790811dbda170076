// Converting a message's file time into seconds since 1970 and into the local
// date-time value.

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "base/FileTime.h"
#include "platform/DateTime.h"
#include "store/DbxReader.h"
#include "tests/support/RecordTestSupport.h"

namespace lumbrook {
namespace {

using test::dateTimeOf;

TEST(FileTime, UnixSecondsBothWaysWithinTheirLimits) {
    // Sun, 14 Sep 2003 16:02:05 UTC.
    EXPECT_EQ(fileTimeToUnix(127080289250000000ull), 1063555325);
    EXPECT_EQ(fileTimeToUnix(127080289259999999ull), 1063555325);
    EXPECT_EQ(fileTimeToUnix(1), -11644473600);
    EXPECT_EQ(fileTimeToUnix(~std::uint64_t(0)), 1833029933770);
    EXPECT_FALSE(fileTimeToUnix(0));

    EXPECT_EQ(unixToFileTime(1063555325), 127080289250000000ull);
    EXPECT_EQ(unixToFileTime(-11644473600), 0u);
    EXPECT_FALSE(unixToFileTime(-11644473601));
    EXPECT_EQ(unixToFileTime(910692730084), 9223372036840000000ull);
    EXPECT_FALSE(unixToFileTime(910692730085));
}

TEST(FileTimeToLocalDateTime, UtcValuesToTheMillisecond) {
    test::EnvGuard utc("TZ", "UTC");
    struct Case {
        std::uint64_t in;
        DateTime expected;
    };
    const Case cases[] = {
        {test::fileTimeUtc(2002, 3, 4, 5, 6, 7, 890), dateTimeOf(2002, 3, 4, 5, 6, 7, 890)},
        {test::fileTimeUtc(1899, 12, 30, 0, 0, 0), 0.0},
        {test::fileTimeUtc(1899, 12, 30, 18, 0, 0), 0.75},
        // Before the epoch the day count is negative and the time counts away from zero.
        {test::fileTimeUtc(1899, 12, 29, 6, 0, 0), -1.25},
        {test::fileTimeUtc(1601, 1, 1, 0, 0, 1), dateTimeOf(1601, 1, 1, 0, 0, 1)},
        {test::fileTimeUtc(9999, 12, 31, 23, 59, 59, 999), dateTimeOf(9999, 12, 31, 23, 59, 59, 999)},
        // 100 ns ticks below a millisecond are dropped, not rounded.
        {test::fileTimeUtc(2020, 1, 1, 0, 0, 0) + 9'999, dateTimeOf(2020, 1, 1)},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(fileTimeToLocalDateTime(c.in), c.expected) << c.in;

    // No date at all: 1 January 1601, the same in every zone.
    EXPECT_DOUBLE_EQ(fileTimeToLocalDateTime(0), dateTimeOf(1601, 1, 1));
    {
        test::EnvGuard west("TZ", "UTC+5");
        EXPECT_DOUBLE_EQ(fileTimeToLocalDateTime(0), dateTimeOf(1601, 1, 1));
    }
    // Damaged dates beyond the calendar stay inside it.
    EXPECT_DOUBLE_EQ(fileTimeToLocalDateTime(~std::uint64_t(0)),
                     dateTimeOf(9999, 12, 31, 23, 59, 59, 999));
}

TEST(FileTimeToLocalDateTime, TheOffsetInForceOnThatDateApplies) {
    // One hour east of UTC, no summer time.
    {
        test::EnvGuard east("TZ", "UTC-1");
        EXPECT_DOUBLE_EQ(fileTimeToLocalDateTime(test::fileTimeUtc(2023, 7, 1, 12, 0, 0)),
                         dateTimeOf(2023, 7, 1, 13, 0, 0));
        EXPECT_DOUBLE_EQ(fileTimeToLocalDateTime(test::fileTimeUtc(2023, 12, 31, 23, 30, 0)),
                         dateTimeOf(2024, 1, 1, 0, 30, 0));
    }
    // A zone with summer time: each date moves by its own offset, whatever today's,
    // also on the night the clocks go forward (01:00 UTC on 26 March 2023).
    test::EnvGuard cet("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_DOUBLE_EQ(fileTimeToLocalDateTime(test::fileTimeUtc(2023, 7, 1, 12, 0, 0)),
                     dateTimeOf(2023, 7, 1, 14, 0, 0));
    EXPECT_DOUBLE_EQ(fileTimeToLocalDateTime(test::fileTimeUtc(2023, 1, 15, 12, 0, 0)),
                     dateTimeOf(2023, 1, 15, 13, 0, 0));
    EXPECT_DOUBLE_EQ(fileTimeToLocalDateTime(test::fileTimeUtc(2023, 3, 26, 0, 59, 0)),
                     dateTimeOf(2023, 3, 26, 1, 59, 0));
    EXPECT_DOUBLE_EQ(fileTimeToLocalDateTime(test::fileTimeUtc(2023, 3, 26, 1, 0, 0)),
                     dateTimeOf(2023, 3, 26, 3, 0, 0));
}

}  // namespace
}  // namespace lumbrook
