#include <gtest/gtest.h>

#include "PlatformTestSupport.h"
#include "platform/Files.h"
#include "platform/TempFiles.h"

#include <sys/stat.h>

namespace lumbrook {
namespace {

TEST(Files, IncludeTrailingPathDelimiter) {
    EXPECT_EQ(includeTrailingPathDelimiter(""), "/");
    EXPECT_EQ(includeTrailingPathDelimiter("/"), "/");
    EXPECT_EQ(includeTrailingPathDelimiter("/a/b"), "/a/b/");
    EXPECT_EQ(includeTrailingPathDelimiter("/a/b/"), "/a/b/");
}

TEST(Files, FindFileNoCase) {
    test::TempDir tmp;
    tmp.write("Folders.DBX", "");
    tmp.write("folders.Dbx", "");
    tmp.write("Inbox.dbx", "");
    // Several candidates: the smallest name, whatever order the directory lists them in.
    EXPECT_EQ(findFileNoCase(tmp.str(), "folders.dbx"), tmp / "Folders.DBX");
    EXPECT_EQ(findFileNoCase(tmp.str() + "/", "FOLDERS.DBX"), tmp / "Folders.DBX");
    // An exact match wins.
    EXPECT_EQ(findFileNoCase(tmp.str(), "folders.Dbx"), tmp / "folders.Dbx");
    EXPECT_EQ(findFileNoCase(tmp.str(), "INBOX.DBX"), tmp / "Inbox.dbx");
    // No match: the name as asked, also for a missing directory.
    EXPECT_EQ(findFileNoCase(tmp.str(), "Outbox.dbx"), tmp / "Outbox.dbx");
    EXPECT_EQ(findFileNoCase(tmp / "nodir", "inbox.dbx"), tmp / "nodir/inbox.dbx");
    // Only ASCII letters fold.
    tmp.write("\xC3\x84rger.dbx", "");
    EXPECT_EQ(findFileNoCase(tmp.str(), "\xC3\xA4rger.dbx"), tmp / "\xC3\xA4rger.dbx");
    EXPECT_EQ(findFileNoCase(tmp.str(), "\xC3\x84RGER.DBX"), tmp / "\xC3\x84rger.dbx");
}

TEST(Files, MapWindowsPathMatchesEachComponentWithoutCase) {
    test::TempDir prefix;
    prefix.makeDirs("drive_c/Users/JOE/Local Settings/Outlook Express");
    prefix.makeDirs("dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", prefix / "dosdevices/c:");
    const std::string c = prefix / "dosdevices/c:";
    const struct {
        const char* in;
        std::string out;
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
    for (const auto& t : cases) EXPECT_EQ(mapWindowsPath(t.in, prefix.str()), t.out) << t.in;
    EXPECT_EQ(mapWindowsPath("C:\\users", ""), "C:\\users");
}

TEST(Files, ExistenceAndForceDirectories) {
    test::TempDir tmp;
    tmp.write("file", "x");
    EXPECT_TRUE(fileExists(tmp / "file"));
    EXPECT_FALSE(directoryExists(tmp / "file"));
    EXPECT_TRUE(directoryExists(tmp.str()));
    EXPECT_FALSE(fileExists(tmp.str()));
    EXPECT_FALSE(fileExists(tmp / "none"));
    EXPECT_FALSE(fileExists(""));
    EXPECT_FALSE(directoryExists(""));

    EXPECT_TRUE(forceDirectories(tmp / "a/b//c/"));
    EXPECT_TRUE(directoryExists(tmp / "a/b/c"));
    EXPECT_TRUE(forceDirectories(tmp / "a/b"));
    EXPECT_FALSE(forceDirectories(tmp / "file/sub"));
    EXPECT_FALSE(forceDirectories(tmp / "file"));
    EXPECT_FALSE(forceDirectories(""));

    // A working file holds a mail: it is the user's alone (the directories made
    // for it are, see the search index's test).
    tmp.write("mail.htm", "text");
    ::chmod((tmp / "mail.htm").c_str(), 0644);
    TempFiles().add(tmp / "mail.htm");
    struct stat st {};
    EXPECT_EQ(::stat((tmp / "mail.htm").c_str(), &st) == 0 ? st.st_mode & 0777 : 0, 0600u);
}

}  // namespace
}  // namespace lumbrook
