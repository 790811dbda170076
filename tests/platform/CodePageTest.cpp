#include <gtest/gtest.h>

#include "PlatformTestSupport.h"
#include "platform/CodePage.h"

namespace lumbrook {
namespace {

std::string allBytes() {
    std::string s;
    for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
    return s;
}

TEST(CodePage, Windows1252ByDefault) {
    for (const CodePage& page : {CodePage(), CodePage::fromSetting(""), CodePage::fromSetting(" ")}) {
        EXPECT_EQ(page.number(), 1252);
        EXPECT_EQ(page.name(), "CP1252");
        EXPECT_EQ(page.label(), "windows-1252");
        EXPECT_EQ(page.toUtf8("Gr\xFC\xDF \x80 \x84x\x93"),
                  "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xE2\x80\x9Ex\xE2\x80\x9C");
        // The five holes map as Windows maps them, onto U+0081 etc.
        EXPECT_EQ(page.toUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
        EXPECT_TRUE(isValidUtf8(page.toUtf8(allBytes())));
    }
}

TEST(CodePage, SettingChoosesTheCodePage) {
    const CodePage cyrillic = CodePage::fromSetting("1251");
    EXPECT_EQ(cyrillic.number(), 1251);
    EXPECT_EQ(cyrillic.name(), "CP1251");
    EXPECT_EQ(cyrillic.label(), "windows-1251");
    EXPECT_EQ(cyrillic.toUtf8("\xC0\xE1 \x98"), "\xD0\x90\xD0\xB1 \xEF\xBF\xBD");
    EXPECT_TRUE(isValidUtf8(cyrillic.toUtf8(allBytes())));

    const CodePage central = CodePage::fromSetting(" windows-1250 ");
    EXPECT_EQ(central.number(), 1250);
    EXPECT_EQ(central.toUtf8("\x8A"), "\xC5\xA0");

    for (const char* unknown : {"NO-SUCH-CHARSET", "99999", "-5"}) {
        const CodePage page = CodePage::fromSetting(unknown);
        EXPECT_EQ(page.number(), 1252) << unknown;
        EXPECT_EQ(page.toUtf8("\x80"), "\xE2\x82\xAC") << unknown;
    }

    // Asked, the environment's unknown name is named; a known one says nothing.
    for (auto [setting, named] : {std::pair{"XYZ", "XYZ"}, std::pair{" 99999 ", "99999"}}) {
        test::EnvGuard bad("LUMBROOK_CODEPAGE", setting);
        std::string problem;
        EXPECT_EQ(CodePage::fromEnvironment(&problem).number(), 1252);
        EXPECT_EQ(problem, std::string("unknown code page '") + named + "' in LUMBROOK_CODEPAGE");
    }
    {
        test::EnvGuard good("LUMBROOK_CODEPAGE", "1250");
        std::string problem;
        EXPECT_EQ(CodePage::fromEnvironment(&problem).number(), 1250);
        EXPECT_EQ(problem, "");
    }

    const CodePage latin9 = CodePage::fromSetting("ISO-8859-15");
    EXPECT_EQ(latin9.number(), 0);
    EXPECT_EQ(latin9.label(), "iso-8859-15");
    EXPECT_EQ(latin9.toUtf8("\xA4"), "\xE2\x82\xAC");

    // The environment is read when the code page is made, and only then.
    test::EnvGuard setting("LUMBROOK_CODEPAGE", "1251");
    const CodePage fromEnvironment = CodePage::fromEnvironment();
    ::setenv("LUMBROOK_CODEPAGE", "1252", 1);
    EXPECT_EQ(fromEnvironment.number(), 1251);
    EXPECT_EQ(fromEnvironment.toUtf8("\xC0"), "\xD0\x90");
    // Copies share the converter and convert alike.
    const CodePage copy = fromEnvironment;
    EXPECT_EQ(copy.toUtf8("\xC0"), "\xD0\x90");
}

TEST(CodePage, Utf8CodePageRepairsInvalidBytes) {
    const CodePage page = CodePage::fromSetting("65001");
    EXPECT_EQ(page.number(), 65001);
    EXPECT_EQ(page.toUtf8("ok \xC3\xA4 \xC3 \xE4x \xED\xA0\x80"),
              "ok \xC3\xA4 \xEF\xBF\xBD \xEF\xBF\xBDx \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(CodePage, MultiByteCodePage) {
    const CodePage page = CodePage::fromSetting("932");
    if (page.name() != "CP932") GTEST_SKIP() << "iconv lacks CP932";
    // A lead byte at the very end, and one followed by a byte that cannot trail it.
    EXPECT_EQ(page.toUtf8("a\x82\xA0"
                          "b\x82"),
              "a\xE3\x81\x82"
              "b\xEF\xBF\xBD");
    std::string mixed = page.toUtf8("\x82\xA0\x82\x7F\x82\xA0");
    EXPECT_TRUE(isValidUtf8(mixed));
    EXPECT_EQ(mixed.substr(0, 3), "\xE3\x81\x82");
    EXPECT_EQ(mixed.substr(mixed.size() - 3), "\xE3\x81\x82");
    EXPECT_TRUE(isValidUtf8(page.toUtf8(allBytes())));

    // A four-byte sequence cut off: each byte refused is one U+FFFD, where mail's
    // conversion makes the whole end one.
    const CodePage gb18030 = CodePage::fromSetting("GB18030");
    if (gb18030.name() != "GB18030") GTEST_SKIP() << "iconv lacks GB18030";
    EXPECT_EQ(gb18030.toUtf8("a\x81\x30\x81"), "a\xEF\xBF\xBD" "0\xEF\xBF\xBD");
    EXPECT_EQ(convertToUtf8("a\x81\x30\x81", "GB18030"), "a\xEF\xBF\xBD");
}

TEST(CodePage, AsUtf8KeepsValidUtf8) {
    const CodePage page;
    EXPECT_EQ(page.asUtf8("\xC3\xA4"), "\xC3\xA4");
    EXPECT_EQ(page.asUtf8("\xE4"), "\xC3\xA4");
    EXPECT_EQ(page.asUtf8("\xC3\xA4\xE4"), "\xC3\x83\xC2\xA4\xC3\xA4");
}

TEST(CodePage, Utf16LeToUtf8) {
    using namespace std::string_literals;
    EXPECT_EQ(utf16LeToUtf8("A\0\xE4\0\xAC\x20"s), "A\xC3\xA4\xE2\x82\xAC");
    EXPECT_EQ(utf16LeToUtf8("\x3D\xD8\x00\xDE"s), "\xF0\x9F\x98\x80");
    EXPECT_EQ(utf16LeToUtf8("\x3D\xD8"
                            "A\0"s),
              "\xEF\xBF\xBD"
              "A");
    EXPECT_EQ(utf16LeToUtf8("\x00\xDE"s), "\xEF\xBF\xBD");
    EXPECT_EQ(utf16LeToUtf8("A\0B"s), "A\xEF\xBF\xBD");
}

}  // namespace
}  // namespace lumbrook
