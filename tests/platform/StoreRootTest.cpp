#include <gtest/gtest.h>

#include <map>
#include <string>

#include "PlatformTestSupport.h"
#include "base/Errors.h"
#include "platform/StoreRoot.h"

namespace lumbrook {
namespace {

VariableLookup environmentOf(std::map<std::string, std::string> vars) {
    return [vars](std::string_view name) -> std::optional<std::string> {
        for (const auto& [k, v] : vars) {
            if (k.size() == name.size() &&
                std::equal(k.begin(), k.end(), name.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) ==
                           std::tolower(static_cast<unsigned char>(b));
                })) {
                return v;
            }
        }
        return std::nullopt;
    };
}

std::string lookup(const std::string& regText, std::map<std::string, std::string> env = {}) {
    return lookupStoreRoot(RegistryFile::parse("Windows Registry Editor Version 5.00\n" + regText),
                           environmentOf(std::move(env)), "joe");
}

const std::string IdentityKeys =
    "[HKEY_CURRENT_USER\\Identities]\n"
    "\"Default User ID\"=\"{ABC}\"\n"
    "[HKEY_CURRENT_USER\\Identities\\{ABC}\\Software\\Microsoft\\Outlook Express\\5.0]\n"
    "\"Store Root\"=\"D:\\\\Identity Store\"\n";

TEST(StoreRoot, LookupOrder) {
    // The mail client's own value wins; the identities are then never read, so
    // even a "Default User ID" of the wrong type does no harm.
    EXPECT_EQ(lookup("[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n"
                     "\"Store Root\"=\"C:\\\\Direct\"\n"
                     "[HKEY_CURRENT_USER\\Identities]\n"
                     "\"Default User ID\"=dword:00000001\n"),
              "C:\\Direct");
    // Key present but no value, or an empty value: the default identity's value.
    EXPECT_EQ(lookup("[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n" + IdentityKeys),
              "D:\\Identity Store");
    EXPECT_EQ(lookup("[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n"
                     "\"Store Root\"=\"\"\n" +
                     IdentityKeys),
              "D:\\Identity Store");
    // Key missing altogether.
    EXPECT_EQ(lookup(IdentityKeys), "D:\\Identity Store");
    // Identity read case-blind, as the registry is.
    EXPECT_EQ(lookup("[HKEY_CURRENT_USER\\Identities]\n\"default user id\"=\"{abc}\"\n"
                     "[HKEY_CURRENT_USER\\Identities\\{ABC}\\Software\\Microsoft\\Outlook "
                     "Express\\5.0]\n\"Store Root\"=\"E:\\\\x\"\n"),
              "E:\\x");
    // An empty identity makes "\Identities\\Software\..." which opens nothing, even
    // when a key "\Identities\Software\..." exists.
    EXPECT_EQ(lookup("[HKEY_CURRENT_USER\\Identities]\n\"Default User ID\"=\"\"\n"
                     "[HKEY_CURRENT_USER\\Identities\\Software\\Microsoft\\Outlook Express\\5.0]\n"
                     "\"Store Root\"=\"C:\\\\Wrong\"\n"),
              "");
    // Identity key without the store value, and nothing at all.
    EXPECT_EQ(lookup("[HKEY_CURRENT_USER\\Identities]\n\"Default User ID\"=\"{ABC}\"\n"), "");
    EXPECT_EQ(lookup(""), "");
}

TEST(StoreRoot, ValueOfAnotherTypeIsAnError) {
    const std::pair<std::string, std::string> cases[] = {
        {"[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n"
         "\"Store Root\"=dword:00000001\n",
         "Store Root"},
        {"[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n"
         "\"Store Root\"=hex:43,3a\n",
         "Store Root"},
        {"[HKEY_CURRENT_USER\\Identities]\n\"Default User ID\"=hex(7):41,00,00,00,00,00\n",
         "Default User ID"},
        {"[HKEY_CURRENT_USER\\Identities]\n\"Default User ID\"=\"{ABC}\"\n"
         "[HKEY_CURRENT_USER\\Identities\\{ABC}\\Software\\Microsoft\\Outlook Express\\5.0]\n"
         "\"Store Root\"=dword:00000000\n",
         "Store Root"},
    };
    for (const auto& [reg, valueName] : cases) {
        try {
            lookup(reg);
            ADD_FAILURE() << "no error for " << reg;
        } catch (const LumbrookError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InvalidRegistryType);
            EXPECT_EQ(e.argument(), valueName);
        }
    }
}

TEST(StoreRoot, EnvironmentExpansion) {
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n";
    const std::string expandRoot =  // "%UserProfile%\Mail" as regedit writes an expandable text
        "\"Store Root\"=hex(2):25,00,55,00,73,00,65,00,72,00,50,00,72,00,6f,00,66,00,69,00,"
        "6c,00,65,00,25,00,5c,00,4d,00,61,00,69,00,6c,00,00,00\n";
    EXPECT_EQ(lookup(key + expandRoot, {{"USERPROFILE", "C:\\Documents and Settings\\joe"}}),
              "C:\\Documents and Settings\\joe\\Mail");
    // A plain text value is expanded too; an unknown name stays.
    EXPECT_EQ(lookup(key + "\"Store Root\"=\"%NOPE%\\\\%A%\"\n", {{"A", "x"}}), "%NOPE%\\x");
    // The registry's [Environment] comes after the process environment.
    const std::string userEnv =
        "[HKEY_CURRENT_USER\\Environment]\n\"USERPROFILE\"=\"C:\\\\FromRegistry\"\n"
        "\"B\"=str(2):\"%A%-%C%\"\n";
    EXPECT_EQ(lookup(key + expandRoot + userEnv, {{"USERPROFILE", "C:\\Process"}}),
              "C:\\Process\\Mail");
    EXPECT_EQ(lookup(key + expandRoot + userEnv), "C:\\FromRegistry\\Mail");
    EXPECT_EQ(lookup(key + "\"Store Root\"=\"%B%\"\n" + userEnv, {{"A", "a"}}), "a-%C%");
    // Without a Wine prefix there are no Wine variables.
    EXPECT_EQ(lookup(key + expandRoot), "%UserProfile%\\Mail");
}

TEST(StoreRoot, OverlongExpansionKeepsTheTextAsRead) {
    const std::string key =
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n"
        "\"Store Root\"=\"%LONG%\\\\x\"\n";
    // The buffer holds 1,024 characters with the terminating zero: 1,023 fit.
    const std::string fits(1021, 'a');
    EXPECT_EQ(lookup(key, {{"LONG", fits}}), fits + "\\x");
    EXPECT_EQ(lookup(key, {{"LONG", fits + "b"}}), "%LONG%\\x");
    // Characters, not bytes, count.
    std::string umlauts;
    for (int i = 0; i < 1021; ++i) umlauts += "\xC3\xA4";
    EXPECT_EQ(lookup(key, {{"LONG", umlauts}}), umlauts + "\\x");
}

TEST(StoreRoot, WineRegistryExpandsWineVariablesAndMapsOntoThePrefix) {
    test::TempDir prefix;
    prefix.makeDirs(
        "drive_c/users/joe/Local Settings/Application Data/Identities/{ABC}/"
        "Microsoft/Outlook Express");
    std::filesystem::create_directories(prefix / "dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", prefix / "dosdevices/c:");

    RegistryFile reg = RegistryFile::parse(
        "WINE REGISTRY Version 2\n"
        "[Identities] 1\n\"Default User ID\"=\"{ABC}\"\n"
        "[Identities\\\\{ABC}\\\\Software\\\\Microsoft\\\\Outlook Express\\\\5.0] 1\n"
        "\"Store Root\"=str(2):\"%UserProfile%\\\\local settings\\\\application "
        "data\\\\Identities\\\\{ABC}\\\\Microsoft\\\\Outlook Express\"\n");
    reg.setWinePrefix(prefix.str());
    const std::string expected = prefix /
                                 "dosdevices/c:/users/joe/Local Settings/"
                                 "Application Data/Identities/{ABC}/Microsoft/"
                                 "Outlook Express";
    EXPECT_EQ(lookupStoreRoot(reg, environmentOf({}), "joe"), expected);
    // The process environment still comes first.
    EXPECT_EQ(lookupStoreRoot(reg, environmentOf({{"USERPROFILE", "C:\\users\\JOE"}}), "nobody"), expected);

    // Wine's own variables, with the prefix's shell folders where it has them.
    RegistryFile shell = RegistryFile::parse(
        "WINE REGISTRY Version 2\n"
        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
        "\"AppData\"=\"C:\\\\users\\\\joe\\\\Application Data\"\n");
    EXPECT_EQ(wineDefaultVariable("appdata", shell, "joe"), "C:\\users\\joe\\Application Data");
    EXPECT_EQ(wineDefaultVariable("LOCALAPPDATA", shell, "joe"), "C:\\users\\joe\\AppData\\Local");
    EXPECT_EQ(wineDefaultVariable("Temp", shell, "joe"), "C:\\users\\joe\\AppData\\Local\\Temp");
    EXPECT_FALSE(wineDefaultVariable("HOME", shell, "joe"));
}

}  // namespace
}  // namespace lumbrook
