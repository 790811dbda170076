#include <gtest/gtest.h>

#include <string>

#include "PlatformTestSupport.h"
#include "base/Charset.h"
#include "platform/Registry.h"

namespace lumbrook {
namespace {

using Kind = RegistryFile::ValueKind;

void expectValue(const RegistryFile& reg, std::string_view key, std::string_view name, Kind kind,
                 const std::string& data) {
    auto v = reg.readValue(key, name);
    ASSERT_TRUE(v) << key << " / " << name;
    EXPECT_EQ(v->kind, kind) << key << " / " << name;
    EXPECT_EQ(v->data, data) << key << " / " << name;
}

const std::string Export5 =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\r\n"
    "\"Store Root\"=hex(2):25,00,55,00,73,00,65,00,72,00,50,00,72,00,6f,00,66,00,69,00,\\\r\n"
    "  6c,00,65,00,25,00,5c,00,4d,00,fc,00,6c,00,6c,00,3d,d8,00,de,00,00\r\n"
    "\"Plain\"=\"C:\\\\Dir \\\"quoted\\\" Z\u00fcrich \U0001F600\"\r\n"
    "\"Count\"=dword:00000010\r\n"
    "\"Blob\"=hex:01,02,ff\r\n"
    "@=\"default\"\r\n"
    "; a comment line\r\n"
    "\"Broken=\"unterminated\r\n"
    "\"After\" = \"still read\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Outlook Express]\r\n"
    "\"Machine\"=\"not the user's\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Identities]\r\n"
    "\"Default User ID\"=\"{1234}\"\r\n";

TEST(RegistryFile, ExportFormatInEveryFileEncoding) {
    // regedit writes its files as UTF-16LE with a byte order mark.
    const std::string utf16 = convertFromUtf8(Export5, "UTF-16LE");
    const std::string files[] = {"\xFF\xFE" + utf16, utf16, "\xEF\xBB\xBF" + Export5, Export5};
    for (const std::string& file : files) {
        SCOPED_TRACE(file.size());
        RegistryFile reg = RegistryFile::parse(file);
        const char* oe = "\\Software\\Microsoft\\Outlook Express";
        // hex(2) is UTF-16LE, continued over two lines, with a surrogate pair.
        expectValue(reg, oe, "Store Root", Kind::ExpandString,
                    "%UserProfile%\\M\xC3\xBCll\xF0\x9F\x98\x80");
        expectValue(reg, oe, "Plain", Kind::String,
                    "C:\\Dir \"quoted\" Z\xC3\xBCrich \xF0\x9F\x98\x80");
        expectValue(reg, oe, "Count", Kind::Other, std::string("\x10\0\0\0", 4));
        expectValue(reg, oe, "Blob", Kind::Other, "\x01\x02\xFF");
        expectValue(reg, oe, "", Kind::String, "default");
        expectValue(reg, oe, "After", Kind::String, "still read");
        EXPECT_FALSE(reg.readValue(oe, "Broken"));
        EXPECT_FALSE(reg.readValue(oe, "Machine"));
        EXPECT_FALSE(reg.keyExists("HKEY_LOCAL_MACHINE\\Software"));

        // Names fold case; a key implies its parents; paths with or without the
        // leading backslash.
        expectValue(reg, "software\\MICROSOFT\\outlook express", "STORE root", Kind::ExpandString,
                    "%UserProfile%\\M\xC3\xBCll\xF0\x9F\x98\x80");
        EXPECT_TRUE(reg.keyExists("\\Software"));
        EXPECT_TRUE(reg.keyExists("SOFTWARE\\Microsoft"));
        EXPECT_FALSE(reg.keyExists("\\Software\\Micro"));
        expectValue(reg, "\\identities", "default user id", Kind::String, "{1234}");
        // An empty component opens nothing.
        EXPECT_FALSE(reg.keyExists("\\Software\\\\Microsoft"));
        EXPECT_FALSE(reg.readValue("\\Software\\\\Microsoft\\Outlook Express", "Plain"));
    }
}

TEST(RegistryFile, Regedit4IsInTheAnsiCodePage) {
    RegistryFile reg = RegistryFile::parse(
        "REGEDIT4\n\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n"
        "\"Store Root\"=hex(2):25,54,45,4d,50,25,5c,fc,80,00\n"
        "\"Name\"=\"Z\xFCrich\"\n"
        "\"Odd\"=hex(1):41,00,42\n");
    expectValue(reg, "\\Software\\Microsoft\\Outlook Express", "Store Root", Kind::ExpandString,
                "%TEMP%\\\xC3\xBC\xE2\x82\xAC");
    expectValue(reg, "\\Software\\Microsoft\\Outlook Express", "Name", Kind::String,
                "Z\xC3\xBCrich");
    expectValue(reg, "\\Software\\Microsoft\\Outlook Express", "Odd", Kind::String, "A");

    // One stray code page byte leaves the UTF-8 lines of a file alone.
    RegistryFile mixed = RegistryFile::parse(
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n"
        "\"u\"=\"M\xC3\xBCll\"\n\"a\"=\"M\xFCll\"\n");
    expectValue(mixed, "A", "u", Kind::String, "M\xC3\xBCll");
    expectValue(mixed, "A", "a", Kind::String, "M\xC3\xBCll");

    // In the code page asked for.
    RegistryFile cyrillic = RegistryFile::parse(
        "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"t\"=\"\xC0\"\n\"h\"=hex(1):c0,00\n",
        CodePage::fromSetting("1251"));
    expectValue(cyrillic, "A", "t", Kind::String, "\xD0\x90");
    expectValue(cyrillic, "A", "h", Kind::String, "\xD0\x90");
}

TEST(RegistryFile, WineFormatWithEscapes) {
    RegistryFile reg = RegistryFile::parse(
        "WINE REGISTRY Version 2\n"
        ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
        "\n"
        "#arch=win64\n"
        "\n"
        "[Software\\\\Microsoft\\\\Outlook Express] 1234567890\n"
        "#time=1d0a2b3c4d5e6f7\n"
        "\"Store Root\"=str(2):\"%USERPROFILE%\\\\Local Settings\\\\Outlook Express\"\n"
        "\"Escapes\"=\"a\\\\b\\\"c\\nd\\t|caf\\xe9|\\x00e9f|\\xd83d\\xde00|\\x4e2dX\"\n"
        "\"Octal\"=\"\\101\\0hidden\"\n"
        "\"Lone\"=\"\\xd83dz\"\n"
        "\"Bin\"=hex:01,02,\\\n"
        "  03\n"
        "\"Multi\"=str(7):\"a\\0b\\0\"\n"
        "\"Hex2\"=hex(2):41,00,42,00,00,00\n"
        "\"Num\"=dword:0000002a\n"
        "@=\"dflt\"\n"
        "\n"
        "[Identities] 1234\n"
        "\"Default User ID\"=\"{ABC}\"\n"
        "\n"
        "[Key\\\\With\\]Bracket] 1\n"
        "\"v\"=\"1\"\n");
    const char* oe = "\\Software\\Microsoft\\Outlook Express";
    expectValue(reg, oe, "Store Root", Kind::ExpandString,
                "%USERPROFILE%\\Local Settings\\Outlook Express");
    // \xNNNN takes up to four digits; two escapes make a surrogate pair.
    expectValue(reg, oe, "escapes", Kind::String,
                "a\\b\"c\nd\t|caf\xC3\xA9|\xC3\xA9"
                "f|\xF0\x9F\x98\x80|\xE4\xB8\xADX");
    // A string ends at its first zero character.
    expectValue(reg, oe, "Octal", Kind::String, "A");
    expectValue(reg, oe, "Lone", Kind::String, "\xEF\xBF\xBDz");
    expectValue(reg, oe, "Bin", Kind::Other, "\x01\x02\x03");
    expectValue(reg, oe, "Multi", Kind::Other, "a");
    expectValue(reg, oe, "Hex2", Kind::ExpandString, "AB");
    expectValue(reg, oe, "Num", Kind::Other, std::string("\x2a\0\0\0", 4));
    expectValue(reg, oe, "", Kind::String, "dflt");
    expectValue(reg, "\\IDENTITIES", "Default User ID", Kind::String, "{ABC}");
    expectValue(reg, "\\Key\\With]Bracket", "V", Kind::String, "1");
    EXPECT_TRUE(reg.keyExists("\\Key"));
}

TEST(RegistryFile, UnknownOrEmptyTextGivesEmptyRegistry) {
    for (std::string_view text :
         {std::string_view(""), std::string_view("[HKEY_CURRENT_USER\\Software]\n\"a\"=\"b\"\n"),
          std::string_view("\xFF\xFE"), std::string_view("REGEDIT5\n[Software]\n")}) {
        RegistryFile reg = RegistryFile::parse(text);
        EXPECT_FALSE(reg.keyExists("\\Software")) << text;
        EXPECT_FALSE(reg.keyExists("\\")) << text;
    }
}

TEST(RegistryFile, LaterDefinitionsWinAndRemovalsApply) {
    RegistryFile reg = RegistryFile::parse(
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\"y\"=\"1\"\n"
        "[hkey_current_user\\a]\n\"X\"=\"2\"\n\"y\"=-\n"
        "[-HKEY_CURRENT_USER\\A]\n\"z\"=\"ignored\"\n"
        "[HKEY_CURRENT_USER_LOCAL_SETTINGS\\A]\n\"w\"=\"ignored\"\n");
    expectValue(reg, "A", "x", Kind::String, "2");
    EXPECT_FALSE(reg.readValue("A", "y"));
    EXPECT_FALSE(reg.readValue("A", "z"));
    EXPECT_FALSE(reg.readValue("A", "w"));
}

TEST(RegistryFile, LoadCurrentUserFindsTheFileAndThePrefix) {
    test::TempDir tmp;
    const std::string wine = "WINE REGISTRY Version 2\n[Software\\\\Test] 1\n\"Where\"=\"%s\"\n";
    auto regText = [&](const char* where) {
        std::string t = wine;
        return t.replace(t.find("%s"), 2, where);
    };
    tmp.makeDirs("home/.wine/dosdevices");
    tmp.write("home/.wine/user.reg", regText("home"));
    tmp.makeDirs("prefix/dosdevices");
    tmp.write("prefix/user.reg", regText("prefix"));
    tmp.makeDirs("plain");
    tmp.write("plain/user.reg", regText("plain"));
    tmp.write("exported.reg", regText("named"));

    test::EnvGuard home("HOME", tmp / "home");
    auto where = [](const RegistryFile& reg) {
        auto v = reg.readValue("Software\\Test", "Where");
        return v ? v->data : std::string("<none>");
    };
    {
        test::EnvGuard named("LUMBROOK_REGISTRY", std::nullopt);
        test::EnvGuard prefix("WINEPREFIX", std::nullopt);
        RegistryFile reg = RegistryFile::loadCurrentUser(CodePage());
        EXPECT_EQ(where(reg), "home");
        EXPECT_EQ(reg.winePrefix(), tmp / "home/.wine");
    }
    {
        test::EnvGuard named("LUMBROOK_REGISTRY", "");
        test::EnvGuard prefix("WINEPREFIX", tmp / "prefix/");
        RegistryFile reg = RegistryFile::loadCurrentUser(CodePage());
        EXPECT_EQ(where(reg), "prefix");
        EXPECT_EQ(reg.winePrefix(), tmp / "prefix");
    }
    {
        test::EnvGuard prefix("WINEPREFIX", tmp / "prefix");
        {
            test::EnvGuard named("LUMBROOK_REGISTRY", tmp / "exported.reg");
            RegistryFile reg = RegistryFile::loadCurrentUser(CodePage());
            EXPECT_EQ(where(reg), "named");
            EXPECT_EQ(reg.winePrefix(), "");
        }
        {
            // A user.reg beside dosdevices/ is a prefix's; without it, just a file.
            test::EnvGuard named("LUMBROOK_REGISTRY", tmp / "prefix/user.reg");
            EXPECT_EQ(RegistryFile::loadCurrentUser(CodePage()).winePrefix(), tmp / "prefix");
        }
        {
            test::EnvGuard named("LUMBROOK_REGISTRY", tmp / "plain/user.reg");
            RegistryFile reg = RegistryFile::loadCurrentUser(CodePage());
            EXPECT_EQ(where(reg), "plain");
            EXPECT_EQ(reg.winePrefix(), "");
        }
        {
            test::EnvGuard named("LUMBROOK_REGISTRY", tmp / "missing.reg");
            RegistryFile reg = RegistryFile::loadCurrentUser(CodePage());
            EXPECT_FALSE(reg.keyExists("Software"));
        }
        {
            test::EnvGuard named("LUMBROOK_REGISTRY", tmp.str());  // a directory
            EXPECT_FALSE(RegistryFile::loadCurrentUser(CodePage()).keyExists("Software"));
        }
    }
}

}  // namespace
}  // namespace lumbrook
