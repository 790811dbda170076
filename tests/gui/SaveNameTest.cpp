// The file names saving gives under a German date format: no window needed.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "output/Output.h"
#include "listing/MessageLabels.h"
#include "output/OutputNaming.h"
#include "tests/platform/PlatformTestSupport.h"
#include "dbxwriter/DbxWriter.h"

namespace lumbrook {
namespace {

// Sets LC_TIME for the life of the guard, building the locale into a private
// directory when the system has its sources but not the compiled locale.
class GermanDates {
  public:
    GermanDates() {
        const char* current = std::setlocale(LC_TIME, nullptr);
        saved = current ? current : "C";
        if (std::setlocale(LC_TIME, "de_DE.UTF-8")) return;
        if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE")) return;
        generated.emplace();
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + (*generated / "de_DE.UTF-8") + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return;
        locPath.emplace("LOCPATH", generated->str());
        std::setlocale(LC_TIME, "de_DE.UTF-8");
    }
    ~GermanDates() { std::setlocale(LC_TIME, saved.c_str()); }
    bool active() const {
        const char* current = std::setlocale(LC_TIME, nullptr);
        return current && std::string(current) == "de_DE.UTF-8";
    }

  private:
    std::string saved;
    std::optional<test::TempDir> generated;
    std::optional<test::EnvGuard> locPath;
};

TEST(SaveName, GermanDateFormatInTheFileName) {
    GermanDates german;
    if (!german.active()) GTEST_SKIP() << "no de_DE locale and none can be built";
    MessageInfo record;
    record.subject = "Hello";
    // 6 December 2026, 14:05:09 (the tests run in UTC).
    record.date = unixTimeToFileTime(1'796'565'909);
    EXPECT_EQ(messageDateText(record), "06.12.2026 14:05:09");

    test::TempDir dir;
    const std::string out = prepareOutputDir(dir.str());
    EXPECT_EQ(saveMessageAsEml(out, record, "raw", true), out + "Hello 06_12_2026 14_05_09.eml");
    EXPECT_EQ(saveMessageAsEml(out, record, "raw", true), out + "Hello 06_12_2026 14_05_09_0.eml");
}

}  // namespace
}  // namespace lumbrook
