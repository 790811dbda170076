// A store written on a Russian Windows, read with no code page named: its folder
// files are found, its texts come out in their letters, and the index never drops a
// folder it could not open.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/Charset.h"
#include "dbxwriter/DbxWriter.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/CliRunner.h"
#include "tests/support/OldDisk.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

TEST(CodePageTest, CyrillicStoreIsDetectedConvertedAndIndexedWithNoVariableSet) {
    test::TempDir root, outside, work;
    const test::OldDisk disk = test::makeOldDisk(root.str(), outside.str());
    const std::string prelude =
        "unset LUMBROOK_CODEPAGE; XDG_CACHE_HOME=" + test::shellQuote(work / "cache");
    const auto cli = [&](std::vector<std::string> args) {
        return test::runProgram(LUMBROOK_CLI, args, work.str(), prelude);
    };

    test::CliRun folders = cli({"--store", disk.ivanMain, "folders"});
    ASSERT_EQ(folders.status, 0) << folders.err;
    EXPECT_NE(folders.out.find("\"Name\":\"Входящие\""), std::string::npos) << folders.out;
    EXPECT_EQ(folders.out.find("Unlisted"), std::string::npos) << folders.out;

    test::CliRun convert = cli({"--store", disk.ivanMain, "convert", "--to", work / "mbox"});
    ASSERT_EQ(convert.status, 0) << convert.err;
    EXPECT_TRUE(fs::is_regular_file(fs::path(work / "mbox") / "Входящие"));
    EXPECT_TRUE(fs::is_regular_file(fs::path(work / "mbox") / "Отправленные"));

    test::CliRun index = cli({"--store", disk.ivanMain, "index"});
    ASSERT_EQ(index.status, 0) << index.err;
    test::CliRun search = cli({"--store", disk.ivanMain, "search", "Привет"});
    ASSERT_EQ(search.status, 0) << search.err;
    ASSERT_FALSE(search.out.empty());
    EXPECT_EQ(json::parse(search.out.substr(0, search.out.find('\n')))["Folder"],
              "Outlook Express/Входящие");

    // Told the wrong code page, the listed files are not there: the index keeps
    // what it had of them and says so.
    test::CliRun wrong = cli({"--codepage", "1252", "--store", disk.ivanMain, "index"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("Âõîäÿùèå.dbx"), std::string::npos) << wrong.err;
    EXPECT_NE(wrong.out.find(" 0 removed"), std::string::npos) << wrong.out;
    search = cli({"--store", disk.ivanMain, "search", "Привет"});
    EXPECT_FALSE(search.out.empty()) << search.err;

    // No file names to go by: the charsets the messages declare.
    const std::string subject = convertFromUtf8("Привет", "CP1251");
    DbxFileOptions list;
    list.kind = DbxFileKind::Folders;
    writeBytes(work / "plain/Folders.dbx",
               (fs::create_directories(fs::path(work / "plain")),
                buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                          folderRecord({10, 0, "Inbox", "Inbox.dbx", false})},
                         list)
                    .bytes));
    writeBytes(
        work / "plain/Inbox.dbx",
        buildDbx({messageRecord(
                     {1, "Ann", "Bob", subject, unixTimeToFileTime(0),
                      "Subject: " + subject +
                          "\r\nContent-Type: text/plain; charset=\"windows-1251\"\r\n\r\nx\r\n"})})
            .bytes);
    test::CliRun messages = cli({"--store", work / "plain", "messages", "Inbox.dbx"});
    ASSERT_EQ(messages.status, 0) << messages.err;
    EXPECT_EQ(json::parse(messages.out)["Subject"], "Привет");
}

}  // namespace
}  // namespace lumbrook
