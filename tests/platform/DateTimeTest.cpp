#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "PlatformTestSupport.h"
#include "platform/DateTime.h"

namespace lumbrook {
namespace {

DateTimeFields fields(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    DateTimeFields f;
    f.year = y, f.month = mo, f.day = d, f.hour = h, f.minute = mi, f.second = s,
    f.millisecond = ms;
    return f;
}

void expectFields(const DateTimeFields& got, const DateTimeFields& want, double value) {
    EXPECT_EQ(got.year, want.year) << value;
    EXPECT_EQ(got.month, want.month) << value;
    EXPECT_EQ(got.day, want.day) << value;
    EXPECT_EQ(got.hour, want.hour) << value;
    EXPECT_EQ(got.minute, want.minute) << value;
    EXPECT_EQ(got.second, want.second) << value;
    EXPECT_EQ(got.millisecond, want.millisecond) << value;
}

// The value a set of fields stands for, as the tests' reference computes it.
double encode(const DateTimeFields& f) {
    return test::dateTimeOf(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond);
}

TEST(DateTime, DecodeLikeDelphi) {
    const struct {
        DateTimeFields f;
        double value;
    } cases[] = {
        {fields(1899, 12, 30), 0.0},
        {fields(1899, 12, 30, 18), 0.75},
        {fields(1899, 12, 31), 1.0},
        {fields(1900, 1, 1), 2.0},
        {fields(1900, 3, 1), 61.0},  // 1900 was no leap year
        {fields(2000, 1, 1), 36526.0},
        {fields(2000, 2, 29, 12), 36585.5},
        // Before the epoch the time of day is subtracted.
        {fields(1899, 12, 29, 6), -1.25},
        {fields(1899, 12, 28, 12), -2.5},
        {fields(1601, 1, 1), -109205.0},
        {fields(1601, 1, 1, 1, 0, 0, 0), -109205.0 - 1.0 / 24},
        {fields(9999, 12, 31, 23, 59, 59, 999), 2958465.0 + 86399999.0 / 86400000},
        {fields(2024, 2, 29, 13, 45, 30, 250), 45351.0 + 49530250.0 / 86400000},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(encode(c.f), c.value) << c.value;
        expectFields(decodeDateTime(c.value), c.f, c.value);
    }
}

TEST(DateTime, DecodeRoundsToTheMillisecond) {
    const struct {
        double value;
        DateTimeFields f;
    } cases[] = {
        {0.999999, fields(1899, 12, 30, 23, 59, 59, 914)},
        // A hair below midnight is the next day, never 24:00.
        {0.99999999999, fields(1899, 12, 31)},
        {36526.0 - 1e-10, fields(2000, 1, 1)},
        {-0.99999999999, fields(1899, 12, 29)},
        {-1.0000000001, fields(1899, 12, 29)},
        // Between -1 and 0 the day is still the epoch's.
        {-0.25, fields(1899, 12, 30, 6)},
        {std::nan(""), fields(1899, 12, 30)},
        {HUGE_VAL, fields(1899, 12, 30)},
        {1e300, decodeDateTime(1e9)},
    };
    for (const auto& c : cases) expectFields(decodeDateTime(c.value), c.f, c.value);
}

TEST(DateTime, RoundTripKeepsEveryMillisecond) {
    // Odd steps over fifty thousand years touch every field, before and after the epoch.
    for (std::int64_t ms = -800'000'000'000'000; ms < 800'000'000'000'000;
         ms += 9'876'543'210'987) {
        std::int64_t days = ms / 86'400'000;
        std::int64_t rest = ms % 86'400'000;
        if (rest < 0) rest += 86'400'000;
        DateTimeFields f = decodeDateTime(static_cast<double>(days));
        f.hour = static_cast<int>(rest / 3'600'000);
        f.minute = static_cast<int>(rest / 60'000 % 60);
        f.second = static_cast<int>(rest / 1000 % 60);
        f.millisecond = static_cast<int>(rest % 1000);
        double v = encode(f);
        expectFields(decodeDateTime(v), f, v);
    }
}

TEST(DateTime, LocalOffsetAtAMoment) {
    {
        test::EnvGuard tz("TZ", "XST-5:30");
        EXPECT_EQ(localOffsetSecondsAt(0), 5 * 3600 + 1800);
    }
    test::EnvGuard tz("TZ", "EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(localOffsetSecondsAt(1'052'035'200), -4 * 3600);  // 4 May 2003
    EXPECT_EQ(localOffsetSecondsAt(1'070'236'800), -5 * 3600);  // 1 December 2003
}

TEST(DateTime, DateTextWithGivenFormats) {
    const double afternoon = encode(fields(2024, 2, 29, 13, 45, 30, 250));
    EXPECT_EQ(formatDateText(afternoon, "%d.%m.%Y", "%H:%M:%S"), "29.02.2024 13:45:30");
    EXPECT_EQ(formatDateText(afternoon, "%m/%d/%y", "%I:%M:%S %p"), "02/29/24 01:45:30 PM");
    EXPECT_EQ(formatDateText(afternoon, "%A %j", "%T"), "Thursday 060 13:45:30");
    // Midnight shows the date alone, milliseconds or not; a second past it does not.
    EXPECT_EQ(formatDateText(encode(fields(2024, 3, 1)), "%d.%m.%Y", "%T"), "01.03.2024");
    EXPECT_EQ(formatDateText(encode(fields(2024, 3, 1, 0, 0, 0, 999)), "%d.%m.%Y", "%T"),
              "01.03.2024");
    EXPECT_EQ(formatDateText(encode(fields(2024, 3, 1, 0, 0, 1)), "%d.%m.%Y", "%T"),
              "01.03.2024 00:00:01");
    // Far dates still print whole: the date of a record without a time stamp, and beyond 9999.
    EXPECT_EQ(formatDateText(encode(fields(1601, 1, 1)), "%d.%m.%Y", "%T"), "01.01.1601");
    EXPECT_EQ(formatDateText(encode(fields(30828, 9, 14, 2, 48, 5)), "%Y-%m-%d %a", "%T"),
              "30828-09-14 Thu 02:48:05");
    EXPECT_EQ(formatDateText(encode(fields(1, 1, 1)), "%Y-%m-%d %a", "%T"), "1-01-01 Mon");
    EXPECT_EQ(formatDateText(afternoon, "", "%T"), " 13:45:30");
}

// Sets LC_TIME for the test's life and puts it back.
class TimeLocale {
  public:
    TimeLocale() {
        const char* current = std::setlocale(LC_TIME, nullptr);
        saved = current ? current : "C";
    }
    ~TimeLocale() { std::setlocale(LC_TIME, saved.c_str()); }
    bool set(const char* name) { return std::setlocale(LC_TIME, name) != nullptr; }

  private:
    std::string saved;
};

TEST(DateTime, DateTextInTheCLocale) {
    TimeLocale locale;
    ASSERT_TRUE(locale.set("C"));
    EXPECT_EQ(shortDateFormat(), "%m/%d/%y");
    EXPECT_EQ(longTimeFormat(), "%H:%M:%S");
    EXPECT_EQ(formatDateText(encode(fields(2024, 2, 29, 13, 45, 30))), "02/29/24 13:45:30");
    EXPECT_EQ(formatDateText(encode(fields(2024, 2, 29))), "02/29/24");
}

TEST(DateTime, DateTextInAGermanLocale) {
    TimeLocale locale;
    std::optional<test::TempDir> generated;
    std::optional<test::EnvGuard> locpath;
    if (!locale.set("de_DE.UTF-8")) {
        // Not installed: build it into a private directory when the sources are there.
        if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE")) {
            GTEST_SKIP() << "no de_DE locale";
        }
        generated.emplace();
        std::string cmd =
            "localedef -i de_DE -f UTF-8 '" + (*generated / "de_DE.UTF-8") + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "de_DE locale cannot be built";
        locpath.emplace("LOCPATH", generated->str());
        if (!locale.set("de_DE.UTF-8")) GTEST_SKIP() << "de_DE locale does not load";
    }
    EXPECT_EQ(shortDateFormat(), "%d.%m.%Y");
    EXPECT_EQ(longTimeFormat(), "%T");
    EXPECT_EQ(formatDateText(encode(fields(2024, 2, 29, 13, 45, 30))),
              "29.02.2024 13:45:30");
    EXPECT_EQ(formatDateText(encode(fields(2024, 2, 29))), "29.02.2024");
    EXPECT_EQ(formatDateText(encode(fields(2024, 3, 1, 9)), "%d. %B %Y", "%T"),
              "01. M\xC3\xA4rz 2024 09:00:00");
}

}  // namespace
}  // namespace lumbrook
