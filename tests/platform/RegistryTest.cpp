#include <gtest/gtest.h>

#include <string>

#include "PlatformTestSupport.h"
#include "platform/Registry.h"

namespace lumbrook {
namespace {

using TKind = TRegistryFile::TValueKind;

// regedit writes its files as UTF-16LE with a byte order mark.
std::string Utf16Le(const std::u32string& text, bool bom) {
    std::string out = bom ? "\xFF\xFE" : "";
    auto unit = [&](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (char32_t c : text) {
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

void ExpectValue(const TRegistryFile& reg, std::string_view key, std::string_view name, TKind kind,
                 const std::string& data) {
    auto v = reg.ReadValue(key, name);
    ASSERT_TRUE(v) << key << " / " << name;
    EXPECT_EQ(v->Kind, kind) << key << " / " << name;
    EXPECT_EQ(v->Data, data) << key << " / " << name;
}

const std::u32string Export5 =
    U"Windows Registry Editor Version 5.00\r\n"
    U"\r\n"
    U"[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\r\n"
    U"\"Store Root\"=hex(2):25,00,55,00,73,00,65,00,72,00,50,00,72,00,6f,00,66,00,69,00,\\\r\n"
    U"  6c,00,65,00,25,00,5c,00,4d,00,fc,00,6c,00,6c,00,3d,d8,00,de,00,00\r\n"
    U"\"Plain\"=\"C:\\\\Dir \\\"quoted\\\" Z\u00fcrich \U0001F600\"\r\n"
    U"\"Count\"=dword:00000010\r\n"
    U"\"Blob\"=hex:01,02,ff\r\n"
    U"@=\"default\"\r\n"
    U"; a comment line\r\n"
    U"\"Broken=\"unterminated\r\n"
    U"\"After\" = \"still read\"\r\n"
    U"\r\n"
    U"[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Outlook Express]\r\n"
    U"\"Machine\"=\"not the user's\"\r\n"
    U"\r\n"
    U"[HKEY_CURRENT_USER\\Identities]\r\n"
    U"\"Default User ID\"=\"{1234}\"\r\n";

TEST(RegistryFile, ExportFormatInEveryFileEncoding) {
    std::string utf8;
    for (char32_t c : Export5) {
        // Only the test's own few non-ASCII characters need encoding here.
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c == U'\u00fc') {
            utf8 += "\xC3\xBC";
        } else {
            utf8 += "\xF0\x9F\x98\x80";
        }
    }
    const std::string files[] = {Utf16Le(Export5, true), Utf16Le(Export5, false),
                                 "\xEF\xBB\xBF" + utf8, utf8};
    for (const std::string& file : files) {
        SCOPED_TRACE(file.size());
        TRegistryFile reg = TRegistryFile::Parse(file);
        const char* oe = "\\Software\\Microsoft\\Outlook Express";
        // hex(2) is UTF-16LE, continued over two lines, with a surrogate pair.
        ExpectValue(reg, oe, "Store Root", TKind::ExpandString,
                    "%UserProfile%\\M\xC3\xBCll\xF0\x9F\x98\x80");
        ExpectValue(reg, oe, "Plain", TKind::String,
                    "C:\\Dir \"quoted\" Z\xC3\xBCrich \xF0\x9F\x98\x80");
        ExpectValue(reg, oe, "Count", TKind::Other, std::string("\x10\0\0\0", 4));
        ExpectValue(reg, oe, "Blob", TKind::Other, "\x01\x02\xFF");
        ExpectValue(reg, oe, "", TKind::String, "default");
        ExpectValue(reg, oe, "After", TKind::String, "still read");
        EXPECT_FALSE(reg.ReadValue(oe, "Broken"));
        EXPECT_FALSE(reg.ReadValue(oe, "Machine"));
        EXPECT_FALSE(reg.KeyExists("HKEY_LOCAL_MACHINE\\Software"));

        // Names fold case; a key implies its parents; paths with or without the
        // leading backslash.
        ExpectValue(reg, "software\\MICROSOFT\\outlook express", "STORE root", TKind::ExpandString,
                    "%UserProfile%\\M\xC3\xBCll\xF0\x9F\x98\x80");
        EXPECT_TRUE(reg.KeyExists("\\Software"));
        EXPECT_TRUE(reg.KeyExists("SOFTWARE\\Microsoft"));
        EXPECT_FALSE(reg.KeyExists("\\Software\\Micro"));
        ExpectValue(reg, "\\identities", "default user id", TKind::String, "{1234}");
        // An empty component opens nothing.
        EXPECT_FALSE(reg.KeyExists("\\Software\\\\Microsoft"));
        EXPECT_FALSE(reg.ReadValue("\\Software\\\\Microsoft\\Outlook Express", "Plain"));
    }
}

TEST(RegistryFile, Regedit4IsInTheAnsiCodePage) {
    test::TEnvGuard cp("LUMBROOK_CODEPAGE", std::nullopt);
    TRegistryFile reg = TRegistryFile::Parse(
        "REGEDIT4\n\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n"
        "\"Store Root\"=hex(2):25,54,45,4d,50,25,5c,fc,80,00\n"
        "\"Name\"=\"Z\xFCrich\"\n"
        "\"Odd\"=hex(1):41,00,42\n");
    ExpectValue(reg, "\\Software\\Microsoft\\Outlook Express", "Store Root", TKind::ExpandString,
                "%TEMP%\\\xC3\xBC\xE2\x82\xAC");
    ExpectValue(reg, "\\Software\\Microsoft\\Outlook Express", "Name", TKind::String,
                "Z\xC3\xBCrich");
    ExpectValue(reg, "\\Software\\Microsoft\\Outlook Express", "Odd", TKind::String, "A");

    // One stray code page byte leaves the UTF-8 lines of a file alone.
    TRegistryFile mixed = TRegistryFile::Parse(
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n"
        "\"u\"=\"M\xC3\xBCll\"\n\"a\"=\"M\xFCll\"\n");
    ExpectValue(mixed, "A", "u", TKind::String, "M\xC3\xBCll");
    ExpectValue(mixed, "A", "a", TKind::String, "M\xC3\xBCll");
}

TEST(RegistryFile, WineFormatWithEscapes) {
    TRegistryFile reg = TRegistryFile::Parse(
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
    ExpectValue(reg, oe, "Store Root", TKind::ExpandString,
                "%USERPROFILE%\\Local Settings\\Outlook Express");
    // \xNNNN takes up to four digits; two escapes make a surrogate pair.
    ExpectValue(reg, oe, "escapes", TKind::String,
                "a\\b\"c\nd\t|caf\xC3\xA9|\xC3\xA9"
                "f|\xF0\x9F\x98\x80|\xE4\xB8\xADX");
    // A string ends at its first zero character.
    ExpectValue(reg, oe, "Octal", TKind::String, "A");
    ExpectValue(reg, oe, "Lone", TKind::String, "\xEF\xBF\xBDz");
    ExpectValue(reg, oe, "Bin", TKind::Other, "\x01\x02\x03");
    ExpectValue(reg, oe, "Multi", TKind::Other, "a");
    ExpectValue(reg, oe, "Hex2", TKind::ExpandString, "AB");
    ExpectValue(reg, oe, "Num", TKind::Other, std::string("\x2a\0\0\0", 4));
    ExpectValue(reg, oe, "", TKind::String, "dflt");
    ExpectValue(reg, "\\IDENTITIES", "Default User ID", TKind::String, "{ABC}");
    ExpectValue(reg, "\\Key\\With]Bracket", "V", TKind::String, "1");
    EXPECT_TRUE(reg.KeyExists("\\Key"));
}

TEST(RegistryFile, UnknownOrEmptyTextGivesEmptyRegistry) {
    for (std::string_view text :
         {std::string_view(""), std::string_view("[HKEY_CURRENT_USER\\Software]\n\"a\"=\"b\"\n"),
          std::string_view("\xFF\xFE"), std::string_view("REGEDIT5\n[Software]\n")}) {
        TRegistryFile reg = TRegistryFile::Parse(text);
        EXPECT_FALSE(reg.KeyExists("\\Software")) << text;
        EXPECT_FALSE(reg.KeyExists("\\")) << text;
    }
}

TEST(RegistryFile, LaterDefinitionsWinAndRemovalsApply) {
    TRegistryFile reg = TRegistryFile::Parse(
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\"y\"=\"1\"\n"
        "[hkey_current_user\\a]\n\"X\"=\"2\"\n\"y\"=-\n"
        "[-HKEY_CURRENT_USER\\A]\n\"z\"=\"ignored\"\n"
        "[HKEY_CURRENT_USER_LOCAL_SETTINGS\\A]\n\"w\"=\"ignored\"\n");
    ExpectValue(reg, "A", "x", TKind::String, "2");
    EXPECT_FALSE(reg.ReadValue("A", "y"));
    EXPECT_FALSE(reg.ReadValue("A", "z"));
    EXPECT_FALSE(reg.ReadValue("A", "w"));
}

TEST(RegistryFile, LoadCurrentUserFindsTheFileAndThePrefix) {
    test::TTempDir tmp;
    const std::string wine = "WINE REGISTRY Version 2\n[Software\\\\Test] 1\n\"Where\"=\"%s\"\n";
    auto regText = [&](const char* where) {
        std::string t = wine;
        return t.replace(t.find("%s"), 2, where);
    };
    tmp.MakeDirs("home/.wine/dosdevices");
    tmp.Write("home/.wine/user.reg", regText("home"));
    tmp.MakeDirs("prefix/dosdevices");
    tmp.Write("prefix/user.reg", regText("prefix"));
    tmp.MakeDirs("plain");
    tmp.Write("plain/user.reg", regText("plain"));
    tmp.Write("exported.reg", regText("named"));

    test::TEnvGuard home("HOME", tmp / "home");
    auto where = [](const TRegistryFile& reg) {
        auto v = reg.ReadValue("Software\\Test", "Where");
        return v ? v->Data : std::string("<none>");
    };
    {
        test::TEnvGuard named("LUMBROOK_REGISTRY", std::nullopt);
        test::TEnvGuard prefix("WINEPREFIX", std::nullopt);
        TRegistryFile reg = TRegistryFile::LoadCurrentUser();
        EXPECT_EQ(where(reg), "home");
        EXPECT_EQ(reg.WinePrefix(), tmp / "home/.wine");
        EXPECT_EQ(TRegistryFile::CurrentUserFilePath(), tmp / "home/.wine/user.reg");
    }
    {
        test::TEnvGuard named("LUMBROOK_REGISTRY", "");
        test::TEnvGuard prefix("WINEPREFIX", tmp / "prefix/");
        TRegistryFile reg = TRegistryFile::LoadCurrentUser();
        EXPECT_EQ(where(reg), "prefix");
        EXPECT_EQ(reg.WinePrefix(), tmp / "prefix");
    }
    {
        test::TEnvGuard prefix("WINEPREFIX", tmp / "prefix");
        {
            test::TEnvGuard named("LUMBROOK_REGISTRY", tmp / "exported.reg");
            TRegistryFile reg = TRegistryFile::LoadCurrentUser();
            EXPECT_EQ(where(reg), "named");
            EXPECT_EQ(reg.WinePrefix(), "");
        }
        {
            // A user.reg beside dosdevices/ is a prefix's; without it, just a file.
            test::TEnvGuard named("LUMBROOK_REGISTRY", tmp / "prefix/user.reg");
            EXPECT_EQ(TRegistryFile::LoadCurrentUser().WinePrefix(), tmp / "prefix");
        }
        {
            test::TEnvGuard named("LUMBROOK_REGISTRY", tmp / "plain/user.reg");
            TRegistryFile reg = TRegistryFile::LoadCurrentUser();
            EXPECT_EQ(where(reg), "plain");
            EXPECT_EQ(reg.WinePrefix(), "");
        }
        {
            test::TEnvGuard named("LUMBROOK_REGISTRY", tmp / "missing.reg");
            TRegistryFile reg = TRegistryFile::LoadCurrentUser();
            EXPECT_FALSE(reg.KeyExists("Software"));
        }
        {
            test::TEnvGuard named("LUMBROOK_REGISTRY", tmp.Str());  // a directory
            EXPECT_FALSE(TRegistryFile::LoadCurrentUser().KeyExists("Software"));
        }
    }
}

}  // namespace
}  // namespace lumbrook
