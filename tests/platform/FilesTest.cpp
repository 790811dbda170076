#include <gtest/gtest.h>

#include "PlatformTestSupport.h"
#include "platform/Files.h"

namespace lumbrook {
namespace {

TEST(Files, IncludeTrailingPathDelimiter) {
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/"), "/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a/b"), "/a/b/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a/b/"), "/a/b/");
}

TEST(Files, FindFileNoCase) {
    test::TTempDir tmp;
    tmp.Write("Folders.DBX", "");
    tmp.Write("folders.Dbx", "");
    tmp.Write("Inbox.dbx", "");
    // Several candidates: the smallest name, whatever order the directory lists them in.
    EXPECT_EQ(FindFileNoCase(tmp.Str(), "folders.dbx"), tmp / "Folders.DBX");
    EXPECT_EQ(FindFileNoCase(tmp.Str() + "/", "FOLDERS.DBX"), tmp / "Folders.DBX");
    // An exact match wins.
    EXPECT_EQ(FindFileNoCase(tmp.Str(), "folders.Dbx"), tmp / "folders.Dbx");
    EXPECT_EQ(FindFileNoCase(tmp.Str(), "INBOX.DBX"), tmp / "Inbox.dbx");
    // No match: the name as asked, also for a missing directory.
    EXPECT_EQ(FindFileNoCase(tmp.Str(), "Outbox.dbx"), tmp / "Outbox.dbx");
    EXPECT_EQ(FindFileNoCase(tmp / "nodir", "inbox.dbx"), tmp / "nodir/inbox.dbx");
    // Only ASCII letters fold.
    tmp.Write("\xC3\x84rger.dbx", "");
    EXPECT_EQ(FindFileNoCase(tmp.Str(), "\xC3\xA4rger.dbx"), tmp / "\xC3\xA4rger.dbx");
    EXPECT_EQ(FindFileNoCase(tmp.Str(), "\xC3\x84RGER.DBX"), tmp / "\xC3\x84rger.dbx");
}

TEST(Files, MapWindowsPathMatchesEachComponentWithoutCase) {
    test::TTempDir prefix;
    prefix.MakeDirs("drive_c/Users/JOE/Local Settings/Outlook Express");
    prefix.MakeDirs("dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", prefix / "dosdevices/c:");
    const std::string c = prefix / "dosdevices/c:";
    const struct {
        const char* In;
        std::string Out;
    } cases[] = {
        {"C:\\users\\joe\\local settings\\OUTLOOK EXPRESS",
         c + "/Users/JOE/Local Settings/Outlook Express"},
        {"c:/users/Joe\\\\Local Settings\\", c + "/Users/JOE/Local Settings"},
        // Components past the first missing one stay as written.
        {"C:\\users\\joe\\New\\local settings", c + "/Users/JOE/New/local settings"},
        {"C:\\users\\.\\nobody\\..\\joe\\..\\..\\..\\users", c + "/Users"},
        {"C:", c},
        {"C:\\", c},
        {"\\\\?\\C:\\USERS", c + "/Users"},
        // A drive the prefix lacks.
        {"D:\\Mail\\x", prefix / "dosdevices/d:/Mail/x"},
        // Not a drive path: unchanged.
        {"\\\\server\\share\\mail", "\\\\server\\share\\mail"},
        {"relative\\mail", "relative\\mail"},
        {"\\rooted\\mail", "\\rooted\\mail"},
        {"/home/joe/mail", "/home/joe/mail"},
        {"", ""},
    };
    for (const auto& t : cases) EXPECT_EQ(MapWindowsPath(t.In, prefix.Str()), t.Out) << t.In;
    EXPECT_EQ(MapWindowsPath("C:\\users", ""), "C:\\users");
}

TEST(Files, ExistenceAndForceDirectories) {
    test::TTempDir tmp;
    tmp.Write("file", "x");
    EXPECT_TRUE(FileExists(tmp / "file"));
    EXPECT_FALSE(DirectoryExists(tmp / "file"));
    EXPECT_TRUE(DirectoryExists(tmp.Str()));
    EXPECT_FALSE(FileExists(tmp.Str()));
    EXPECT_FALSE(FileExists(tmp / "none"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(DirectoryExists(""));

    EXPECT_TRUE(ForceDirectories(tmp / "a/b//c/"));
    EXPECT_TRUE(DirectoryExists(tmp / "a/b/c"));
    EXPECT_TRUE(ForceDirectories(tmp / "a/b"));
    EXPECT_FALSE(ForceDirectories(tmp / "file/sub"));
    EXPECT_FALSE(ForceDirectories(tmp / "file"));
    EXPECT_FALSE(ForceDirectories(""));
}

}  // namespace
}  // namespace lumbrook
