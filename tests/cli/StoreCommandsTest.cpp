// lumbrook-cli convert, index, search and recover on stores built with the writer.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/RecordTestSupport.h"
#include "tests/support/CliRunner.h"
#include "tests/support/DbxImageBuilder.h"
#include "dbxwriter/DamagedCorpus.h"
#include "dbxwriter/DbxWriter.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::CliRun;
using test::readFileBytes;
using test::TempDir;

const std::string FromLines =
    "From: Ann <ann@a.example>\r\nSubject: lines\r\n\r\nFrom here on\r\n>From there\r\nend\r\n";
const std::string Html =
    "From: bob@b.example\r\nSubject: html\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
    "<html><body><p>Gr\xC3\xBC\xC3\x9F" "e von Zoe M\xC3\xBCller</p><script>x()</script></body></html>\r\n";

class StoreCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        DbxFileOptions folders;
        folders.kind = DbxFileKind::Folders;
        writeBytes(store / "Folders.dbx",
                   buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                             folderRecord({10, 0, "Familie", "Familie.dbx", false}),
                             folderRecord({11, 10, "Urlaub 2003", "Urlaub.dbx", false}),
                             folderRecord({12, 0, "Archiv", "Archiv1.dbx", false}),
                             folderRecord({13, 0, "Archiv", "Archiv2.dbx", false})},
                            folders)
                       .bytes);
        DbxMessage lines{1, "Ann", "Bob", "lines", test::fileTimeUtc(2003, 9, 14, 16, 2), FromLines};
        lines.flags = 0x80 | 0x80000;  // read, replied
        DbxMessage html{2, "Bob", "Ann", "M\xFCller", test::fileTimeUtc(2004, 1, 2), Html};
        writeBytes(store / "Familie.dbx", buildDbx({messageRecord(lines)}).bytes);
        writeBytes(store / "Urlaub.dbx", buildDbx({messageRecord(html)}).bytes);
        writeBytes(store / "Archiv1.dbx", buildDbx({messageRecord(lines)}).bytes);
        writeBytes(store / "Archiv2.dbx", buildDbx({messageRecord(html)}).bytes);
    }

    CliRun cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--store", store.str()});
        return test::runProgram(LUMBROOK_CLI, args, work.str(),
                                "XDG_CACHE_HOME=" + test::shellQuote(work / "cache"));
    }
    static std::vector<std::string> filesUnder(const fs::path& dir) {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                out.push_back(fs::relative(e.path(), dir).string());
        std::sort(out.begin(), out.end());
        return out;
    }

    TempDir store, work;
};

TEST_F(StoreCommandsTest, ConvertKeepsTheTreeTheTextsAndTheStateAndAddsNothingTheSecondTime) {
    const fs::path out = fs::path(work.str()) / "mbox";
    CliRun run = cli({"convert", "--to", out.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const fs::path top = out;  // the store's root level is not a folder
    EXPECT_TRUE(fs::is_regular_file(top / "Familie"));
    EXPECT_TRUE(fs::is_regular_file(top / "Familie.sbd" / "Urlaub 2003"));
    EXPECT_TRUE(fs::is_regular_file(top / "Archiv"));
    EXPECT_TRUE(fs::is_regular_file(top / "Archiv (2)"));
    const std::string mbox = readFileBytes(top / "Familie");
    EXPECT_EQ(mbox.rfind("From ann@a.example Sun Sep 14 16:02:00 2003\n", 0), 0u) << mbox;
    EXPECT_NE(mbox.find("X-Mozilla-Status: 0003"), std::string::npos);  // read and replied
    EXPECT_NE(mbox.find("Status: RO\r\nX-Status: A\r\n"), std::string::npos);
    EXPECT_NE(mbox.find("\n>From here on\r\n>>From there\r\n"), std::string::npos);

    // A second run finds everything in place.
    run = cli({"convert", "--to", out.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("0 written, 4 already there"), std::string::npos) << run.out;
    EXPECT_EQ(readFileBytes(top / "Familie"), mbox);

    // Maildir and eml: each message file is the stored text byte for byte.
    for (const std::string format : {"maildir", "eml"}) {
        const fs::path dir = fs::path(work.str()) / format;
        run = cli({"convert", "--to", dir.string(), "--format", format, "--folder", "Familie"});
        ASSERT_EQ(run.status, 0) << run.err;
        const auto files = filesUnder(dir);
        ASSERT_EQ(files.size(), 2u) << format;  // Familie and Urlaub 2003 below it, no Archiv
        std::multiset<std::string> texts;
        for (const auto& f : files) texts.insert(readFileBytes(dir / f));
        EXPECT_EQ(texts, (std::multiset<std::string>{FromLines, Html})) << format;
        if (format == "maildir") {  // Familie's own message sorts after Familie/Urlaub 2003/
            EXPECT_EQ(files[1].rfind("Familie/cur/", 0), 0u) << files[1];
            EXPECT_EQ(files[1].substr(files[1].size() - 5), ":2,RS") << files[1];
        } else {
            EXPECT_EQ(files[0].rfind("Familie/2003-09-14 ", 0), 0u) << files[0];
            EXPECT_EQ(files[0].substr(files[0].size() - 10), " lines.eml") << files[0];
        }
    }
    EXPECT_EQ(cli({"convert", "--to", out.string(), "--format", "zip"}).status, 2);
}

TEST_F(StoreCommandsTest, WithoutAFolderListEveryFolderFileIsListedAndTheUserIsTold) {
    fs::remove(store / "Folders.dbx");
    const auto names = [](const std::string& out) {
        std::vector<std::string> found;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) found.push_back(json::parse(line)["Name"]);
        return found;
    };
    const std::string notice = "lumbrook-cli: no folder list " + (store / "folders.dbx") +
                               "; every .dbx folder file of the directory is listed by its file name\n";
    CliRun run = cli({"folders"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(names(run.out),
              (std::vector<std::string>{"Archiv1.dbx", "Archiv2.dbx", "Familie.dbx", "Urlaub.dbx"}));
    EXPECT_EQ(run.err, notice);
    run = cli({"messages", "Urlaub.dbx"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, notice);
    const fs::path out = fs::path(work.str()) / "eml";
    run = cli({"convert", "--to", out.string(), "--format", "eml"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find(notice), 0u) << run.err;
    EXPECT_EQ(run.err.find(notice, 1), std::string::npos) << run.err;
    EXPECT_EQ(filesUnder(out).size(), 4u);

    // A folder file named as the store is a store of that one folder, and no notice.
    run = test::runProgram(LUMBROOK_CLI, {"--store", store / "Familie.dbx", "folders"},
                           work.str());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(names(run.out), std::vector<std::string>{"Familie.dbx"});
    EXPECT_EQ(run.err, "");

    // A directory that holds no store at all (a disk, a profile) points to find.
    const fs::path empty = fs::path(work.str()) / "profile";
    fs::create_directories(empty);
    run = test::runProgram(LUMBROOK_CLI, {"--store", empty.string(), "folders"}, work.str());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("'lumbrook-cli find " + empty.string() + "'"), std::string::npos) << run.err;
}

TEST_F(StoreCommandsTest, SearchFindsWordsFieldsAndAccentsInEveryCharset) {
    CliRun run = cli({"index"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("4 indexed"), std::string::npos) << run.out;
    auto hits = [&](const std::string& query) {
        std::multiset<std::string> found;
        const CliRun r = cli({"search", query});
        EXPECT_EQ(r.status, 0) << query << ": " << r.err;
        std::istringstream in(r.out);
        for (std::string line; std::getline(in, line);)
            found.insert(json::parse(line)["Folder"].get<std::string>());
        return found;
    };
    const std::string urlaub = "Outlook Express/Familie/Urlaub 2003";
    const std::string archiv = "Outlook Express/Archiv";
    // "muller" finds "Müller" in a Windows-1252 subject and in a UTF-8 HTML body.
    EXPECT_EQ(hits("muller"), (std::multiset<std::string>{urlaub, archiv}));
    EXPECT_EQ(hits("subject:grusse"), std::multiset<std::string>{});
    EXPECT_EQ(hits("GRU\xC3\x9F" "E"), (std::multiset<std::string>{urlaub, archiv}));
    EXPECT_EQ(hits("from:ann lines"), (std::multiset<std::string>{"Outlook Express/Familie", archiv}));
    EXPECT_EQ(hits("lines folder:familie"), std::multiset<std::string>{"Outlook Express/Familie"});
    EXPECT_EQ(hits("after:2004-01-01 -script"), (std::multiset<std::string>{urlaub, archiv}));
    // Nothing of the page's script is text.
    EXPECT_EQ(hits("x"), std::multiset<std::string>{});
    const CliRun bad = cli({"search", "\"unclosed"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("column"), std::string::npos) << bad.err;

    // A changed folder file is read again, the others are not.
    DbxMessage more{3, "Cy", "Di", "Neu", test::fileTimeUtc(2005, 1, 1),
                    "Subject: neu\r\n\r\nzebra\r\n"};
    writeBytes(store / "Archiv1.dbx", buildDbx({messageRecord(more)}).bytes);
    run = cli({"index"});
    EXPECT_NE(run.out.find("1 indexed, 3 unchanged"), std::string::npos) << run.out;
    EXPECT_EQ(hits("zebra"), std::multiset<std::string>{archiv});
}

TEST_F(StoreCommandsTest, QueriesWithDashesAndFoldersOutsideTheStore) {
    // Once the query has begun, "-word" belongs to it; --limit goes anywhere.
    auto hitCount = [&](const std::vector<std::string>& args, int status = 0) {
        const CliRun r = cli(args);
        EXPECT_EQ(r.status, status) << r.err;
        return std::count(r.out.begin(), r.out.end(), '\n');
    };
    EXPECT_EQ(hitCount({"search", "lines", "-muller"}), 2);
    EXPECT_EQ(hitCount({"search", "lines", "-from"}), 0);  // "from" is in their bodies
    EXPECT_EQ(hitCount({"search", "--limit", "1", "lines", "-muller"}), 1);
    EXPECT_EQ(hitCount({"search", "lines", "-muller", "--limit=1"}), 1);
    EXPECT_EQ(hitCount({"search", "-muller", "lines"}, 2), 0);
    EXPECT_EQ(hitCount({"search", "--", "-muller", "lines"}), 2);

    // Folders whose files lie outside the store are never read; search still
    // prints what it found, names them and exits 1.
    fs::create_directories(work / "private");
    writeBytes(work / "private/Geheim.dbx",
               buildDbx({messageRecord({9, "x", "y", "zebra", 0, "Subject: zebra\r\n\r\nlines\r\n"})})
                   .bytes);
    fs::create_symlink(work / "private/Geheim.dbx", store / "Link.dbx");
    const std::string outsideName =
        fs::relative(work / "private/Geheim.dbx", store.str()).string();  // "../lumbrook-…"
    // The folder files the new list leaves out would be read as unlisted folders.
    for (const char* other : {"Urlaub.dbx", "Archiv1.dbx", "Archiv2.dbx"}) fs::remove(store / other);
    DbxFileOptions folders;
    folders.kind = DbxFileKind::Folders;
    writeBytes(store / "Folders.dbx",
               buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                         folderRecord({10, 0, "Familie", "Familie.dbx", false}),
                         folderRecord({14, 0, "Geheim", outsideName, false}),
                         folderRecord({15, 0, "Verlinkt", "Link.dbx", false})},
                        folders)
                   .bytes);
    CliRun run = cli({"search", "lines"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;  // Familie only
    EXPECT_NE(run.err.find("Outlook Express/Geheim"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Link.dbx"), std::string::npos) << run.err;
    EXPECT_EQ(hitCount({"search", "zebra"}, 1), 0);
    const fs::path converted = fs::path(work.str()) / "converted";
    run = cli({"convert", "--to", converted.string()});
    EXPECT_EQ(run.status, 1) << run.err;
    for (const auto& f : filesUnder(converted))
        EXPECT_EQ(readFileBytes(converted / f).find("zebra"), std::string::npos) << f;
}

TEST_F(StoreCommandsTest, AttachmentsAreListedWithDecodedNamesAndWrittenByteExactNeverReplacing) {
    const std::string withFiles =
        "From: a@b.example\r\nSubject: files\r\n"
        "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
        "--m\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
        "--m\r\nContent-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename*=UTF-8''%E2%82%AC%20Rechnung.pdf\r\n\r\n"
        "JVBERi0xLjQK\r\n"
        "--m\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        "R0lGODlh\r\n--m--\r\n";
    DbxMessage m{7, "A", "B", "files", test::fileTimeUtc(2005, 5, 5), withFiles};
    writeBytes(store / "Familie.dbx", buildDbx({messageRecord(m)}).bytes);
    const auto offset = json::parse(cli({"messages", "Familie.dbx"}).out)["DataOffset"].get<int>();
    const CliRun list = cli({"attachments", "Familie.dbx", std::to_string(offset)});
    ASSERT_EQ(list.status, 0) << list.err;
    std::istringstream in(list.out);
    std::vector<json> items;
    for (std::string line; std::getline(in, line);) items.push_back(json::parse(line));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]["Name"], "\xE2\x82\xAC Rechnung.pdf");
    EXPECT_EQ(items[0]["DecodedSize"], 9);
    EXPECT_EQ(items[1]["FileName"], "attachment-2.gif");

    const fs::path out = fs::path(work.str()) / "files";
    fs::create_directories(out);
    { std::ofstream(out / "\xE2\x82\xAC Rechnung.pdf", std::ios::binary) << "mine"; }
    const CliRun saved = cli({"attachments", "Familie.dbx", std::to_string(offset), "--to",
                              out.string(), "--index", "0"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(readFileBytes(out / "\xE2\x82\xAC Rechnung.pdf"), "mine");
    EXPECT_EQ(readFileBytes(out / "\xE2\x82\xAC Rechnung_0.pdf"), "%PDF-1.4\n");
    EXPECT_EQ(filesUnder(out).size(), 2u);
    EXPECT_EQ(cli({"attachments", "Familie.dbx", std::to_string(offset), "--index", "5"}).status, 2);
}

TEST_F(StoreCommandsTest, RecoverFindsTheMessageTheIndexOfARealFileLostTrackOf) {
    const fs::path sample = fs::path(LUMBROOK_SAMPLES_DIR) / "Mail-Transport-Dbx" / "test.dbx";
    if (!fs::exists(sample)) GTEST_SKIP() << "no sample files";
    const CliRun run = test::runProgram(
        LUMBROOK_CLI, {"--store", sample.parent_path().string(), "recover", "test.dbx"}, work.str());
    ASSERT_EQ(run.status, 0) << run.err;
    const json found = json::parse(run.out.substr(0, run.out.find('\n')));
    EXPECT_EQ(found["Kind"], "orphaned");
    EXPECT_EQ(found["Complete"], true);
    EXPECT_EQ(found["Subject"], "[fmII] centericq 4.7.5 released (Default branch)");
    const fs::path out = fs::path(work.str()) / "rescued";
    const CliRun saved = test::runProgram(
        LUMBROOK_CLI,
        {"--store", sample.parent_path().string(), "recover", "test.dbx", "--to", out.string()},
        work.str());
    ASSERT_EQ(saved.status, 0) << saved.err;
    const auto files = filesUnder(out);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind("orphaned/2002-06-17", 0), 0u) << files[0];
    EXPECT_EQ(readFileBytes(out / files[0]).size(), found["RawSize"].get<std::size_t>());
}

// A recovered message is written whole under a temporary name and only then given
// its name: a run killed half-way through a message (here by the file size limit's
// signal) leaves no cut-off file under a final name, and a write that fails (the
// same limit with the signal ignored, as a full disk) leaves nothing at all.
TEST_F(StoreCommandsTest, RecoverWritesEachMessageWholeOrNotAtAll) {
    DbxMessage listed{1, "Ann", "Bob", "lines", test::fileTimeUtc(2003, 9, 14, 16, 2), FromLines};
    DbxImageBuilder image(buildDbx({messageRecord(listed)}).bytes);
    std::string lost = "From: Ann <ann@a.example>\r\nSubject: lost\r\n"
                       "Date: Sun, 14 Sep 2003 16:02:05 +0000\r\n\r\n";
    while (lost.size() < 100000) lost += "a line of the message the index lost\r\n";
    const std::uint64_t offset = image.addLive(lost);
    writeBytes(store / "Lost.dbx", image.bytes());
    const fs::path out = fs::path(work.str()) / "rescued";
    const std::vector<std::string> args = {"--store", store.str(), "recover", "Lost.dbx",
                                           "--to", out.string()};
    const auto filesIn = [&](bool hiddenToo) {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(out))
            if (!e.is_directory() && (hiddenToo || e.path().filename().string()[0] != '.'))
                names.push_back(fs::relative(e.path(), out).string());
        return names;
    };

    const CliRun killed =
        test::runProgram(LUMBROOK_CLI, args, work.str(), "ulimit -c 0; ulimit -f 16;");
    EXPECT_EQ(killed.status, 128 + SIGXFSZ) << killed.err;
    EXPECT_EQ(filesIn(false), std::vector<std::string>{});

    const CliRun failed =
        test::runProgram(LUMBROOK_CLI, args, work.str(), "trap '' XFSZ; ulimit -f 16;");
    EXPECT_EQ(failed.status, 1) << failed.err;
    EXPECT_NE(failed.err.find("message at offset " + std::to_string(offset)), std::string::npos)
        << failed.err;
    EXPECT_EQ(filesIn(true), std::vector<std::string>{});  // the killed run's temporary file went too

    const CliRun whole = test::runProgram(LUMBROOK_CLI, args, work.str());
    ASSERT_EQ(whole.status, 0) << whole.err;
    const auto files = filesIn(false);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind("orphaned/2003-09-14", 0), 0u) << files[0];
    EXPECT_NE(files[0].find(" lost @" + std::to_string(offset) + ".eml"), std::string::npos) << files[0];
    EXPECT_EQ(readFileBytes(out / files[0]), lost);
}

// What recover lists, text reads: in a folder file whose index root is zeroed, one
// that lost its first 64 KiB (header, index and the start of a message) and one cut
// inside a message. Whole messages come back byte for byte; a cut one gives the
// bytes that are there and a reason. messages on a folder whose index is gone says
// so and fails, where a healthy folder stays silent.
TEST_F(StoreCommandsTest, TextReadsEveryMessageRecoverListsAndMessagesNamesAnUnreadableIndex) {
    std::vector<std::string> texts;
    const auto message = [&](const std::string& subject, std::size_t size) {
        std::string text = "From: Ann <ann@a.example>\r\nSubject: " + subject + "\r\n\r\n";
        for (int line = 0; text.size() < size; ++line)
            text += subject + " line " + std::to_string(line) + "\r\n";
        texts.push_back(text);
        return text;
    };
    std::vector<DbxRecord> records;
    for (int i = 0; i < 3; ++i)
        records.push_back(messageRecord({i + 1, "Ann", "Bob", "indexed " + std::to_string(i),
                                         test::fileTimeUtc(2003, 9, 14), message("indexed " + std::to_string(i), 700 + 900 * i)}));
    std::vector<std::uint8_t> zeroed = buildDbx(records).bytes;
    std::fill_n(zeroed.begin() + 48, 4, 0);  // the index root
    writeBytes(store / "Zeroed.dbx", zeroed);

    DbxImageBuilder headless;
    headless.appendGarbage(50000, 7);
    headless.addLive(message("across the lost start", 20000));
    headless.addLive(message("after the lost start", 3000));
    headless.addDeleted(message("deleted after the lost start", 900));
    texts.push_back(DbxImageBuilder::deletedTextOf(texts.back()));  // each block's first 4 bytes lost
    writeBytes(store / "Headless.dbx",
               std::vector<std::uint8_t>(headless.bytes().begin() + 64 * 1024, headless.bytes().end()));

    DbxImageBuilder cut(buildDbx({records[0]}).bytes);
    const std::uint64_t cutAt = cut.addLive(message("cut short", 5000)) + 3 * DbxImageBuilder::BlockSize + 100;
    writeBytes(store / "Cut.dbx", std::vector<std::uint8_t>(cut.bytes().begin(), cut.bytes().begin() + cutAt));

    const auto isPartOfAText = [&](const std::string& part) {
        return std::any_of(texts.begin(), texts.end(),
                           [&](const std::string& t) { return t.find(part) != std::string::npos; });
    };
    std::map<std::string, std::pair<int, int>> wholeAndCut;
    for (const std::string file : {"Zeroed.dbx", "Headless.dbx", "Cut.dbx"}) {
        SCOPED_TRACE(file);
        const CliRun found = cli({"recover", file});
        ASSERT_EQ(found.status, 0) << found.err;
        std::istringstream lines(found.out);
        for (std::string line; std::getline(lines, line);) {
            const json m = json::parse(line);
            const std::string offset = std::to_string(m["DataOffset"].get<std::uint64_t>());
            SCOPED_TRACE(offset);
            const CliRun read = cli({"text", file, offset});
            EXPECT_EQ(read.out.size(), m["RawSize"].get<std::size_t>());
            if (m["Complete"].get<bool>()) {
                EXPECT_EQ(read.status, 0) << read.err;
                EXPECT_NE(std::find(texts.begin(), texts.end(), read.out), texts.end()) << read.out;
                ++wholeAndCut[file].first;
            } else {
                EXPECT_EQ(read.status, 1);
                EXPECT_FALSE(read.out.empty());
                EXPECT_TRUE(isPartOfAText(read.out)) << read.out;
                EXPECT_NE(read.err.find("offset " + offset + " (not in the index) is not complete: "),
                          std::string::npos) << read.err;
                EXPECT_EQ(std::count(read.err.begin(), read.err.end(), '\n'), 1) << read.err;
                ++wholeAndCut[file].second;
            }
        }
    }
    EXPECT_EQ(wholeAndCut["Zeroed.dbx"], std::make_pair(3, 0));
    EXPECT_EQ(wholeAndCut["Headless.dbx"], std::make_pair(2, 1));  // the first lost its start
    EXPECT_EQ(wholeAndCut["Cut.dbx"], std::make_pair(0, 1));

    const CliRun healthy = cli({"messages", "Familie.dbx"});
    EXPECT_EQ(healthy.status, 0) << healthy.err;
    EXPECT_EQ(healthy.err, "");
    // The messages the index lost come after its own, marked, and the folder is named.
    const CliRun unreadable = cli({"messages", "Zeroed.dbx"});
    EXPECT_EQ(unreadable.status, 1);
    std::istringstream rows(unreadable.out);
    int foundRows = 0;
    for (std::string line; std::getline(rows, line); ++foundRows)
        EXPECT_EQ(json::parse(line).value("Origin", ""), "found") << line;
    EXPECT_EQ(foundRows, 3);
    EXPECT_NE(unreadable.err.find("Zeroed.dbx: not read whole, its index lists fewer messages than "
                                  "its header counts (3 counted, 0 listed); the recovery scan found 3 "
                                  "more messages: 3 recovered, 0 damaged, 0 lost"),
              std::string::npos) << unreadable.err;
    std::vector<std::uint8_t> cutIndex = buildDbx(records).bytes;
    cutIndex.resize(cutIndex.size() * 6 / 10);
    writeBytes(store / "CutIndex.dbx", cutIndex);
    const CliRun cutShort = cli({"messages", "CutIndex.dbx"});
    EXPECT_EQ(cutShort.status, 1) << cutShort.out;
    EXPECT_NE(cutShort.err.find("CutIndex.dbx: not read whole"), std::string::npos)
        << cutShort.err;
}

// Stores as they come off old disks: every message a store still holds comes out of
// convert, in every format, and the run ends with exit status 1 and one summary
// that names each folder file not read whole.
TEST(DamagedStoreTest, ConvertGetsEveryMessageAStoreHoldsAndNamesWhatWasNotWhole) {
    TempDir root;
    const std::vector<DamagedStore> corpus = writeDamagedCorpus(root.str());
    ASSERT_EQ(corpus.size(), 4u);
    for (const DamagedStore& damaged : corpus) {
        for (const std::string format : {"mbox", "eml"}) {
            SCOPED_TRACE(damaged.name + " " + format);
            const fs::path out = fs::path(root.str()) / "out" / (damaged.name + "-" + format);
            const CliRun run = test::runProgram(
                LUMBROOK_CLI, {"--store", damaged.path, "convert", "--to", out.string(), "--format", format},
                root.str(), "XDG_CACHE_HOME=" + test::shellQuote(root / "cache"));
            EXPECT_EQ(run.status, 1) << run.err;
            std::string written;
            for (const auto& e : fs::recursive_directory_iterator(out))
                if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                    written += readFileBytes(e.path().string());
            std::size_t missing = 0;
            for (const std::string& marker : damaged.markers)
                if (written.find(marker + "\r\n") == std::string::npos) ++missing;
            EXPECT_EQ(missing, 0u) << "of " << damaged.markers.size();
            const std::size_t summary = run.err.find("not read whole (");
            ASSERT_NE(summary, std::string::npos) << run.err;
            EXPECT_EQ(run.err.find("not read whole (", summary + 1), std::string::npos) << run.err;
            for (const std::string& file : damaged.damagedFiles)
                EXPECT_NE(run.err.find("\n  " + file + ": not read whole, ", summary), std::string::npos)
                    << file << "\n" << run.err;
        }
    }
    // A folder file that lost its signature with its start is still the folder the
    // list names: messages lists what the scan finds there.
    const CliRun headless = test::runProgram(
        LUMBROOK_CLI, {"--store", corpus[0].path, "messages", "Headless.dbx"}, root.str());
    EXPECT_EQ(headless.status, 1) << headless.err;
    std::istringstream rows(headless.out);
    std::size_t found = 0;
    for (std::string line; std::getline(rows, line); ++found)
        EXPECT_EQ(json::parse(line).value("Origin", ""), "found") << line;
    EXPECT_GT(found, 0u);
}

}  // namespace
}  // namespace lumbrook

namespace lumbrook {
namespace {

// Every command's JSON in one form (docs/json.md): the same names for the same
// things, dates as ISO 8601 in the zone's offset in force on that date. Under
// Europe/Berlin a May message is at +02:00 and a December one at +01:00 in the
// records, the save names and the convert names alike.
TEST(JsonForm, EveryCommandNamesItsFieldsAlikeAndDatesCarryTheirOwnOffset) {
    TempDir store, work;
    DbxFileOptions folderList;
    folderList.kind = DbxFileKind::Folders;
    writeBytes(store / "Folders.dbx",
               buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                         folderRecord({4, 0, "Inbox", "Inbox.dbx", true})},
                        folderList)
                   .bytes);
    const std::string withFile =
        "Subject: May\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
        "Content-Type: text/plain\r\n\r\nspring\r\n--b\r\nContent-Type: text/plain; name=\"a.txt\"\r\n"
        "Content-Disposition: attachment\r\nContent-Transfer-Encoding: base64\r\n\r\naGVsbG8=\r\n--b--\r\n";
    DbxMessage may{1, "Ann", "Bob", "May", test::fileTimeUtc(2003, 5, 4, 8, 0, 0), withFile};
    may.flags = 0x80;  // read
    DbxMessage december{2, "Ann", "Bob", "December", test::fileTimeUtc(2003, 12, 4, 8, 0, 0),
                        "Subject: December\r\n\r\nwinter spring\r\n"};
    DbxImageBuilder image(buildDbx({messageRecord(may), messageRecord(december)}).bytes);
    const std::uint64_t lostAt =
        image.addLive("Subject: lost\r\nDate: Sun, 04 May 2003 08:00:00 +0000\r\n\r\nspring\r\n");
    writeBytes(store / "Inbox.dbx", image.bytes());

    using Record = nlohmann::ordered_json;
    const auto run = [&](std::vector<std::string> args, bool lines = true) {
        args.insert(args.begin(), {"--store", store.str()});
        const CliRun r = test::runProgram(LUMBROOK_CLI, args, work.str(),
                                          "TZ=Europe/Berlin XDG_CACHE_HOME=" + test::shellQuote(work / "cache"));
        EXPECT_EQ(r.status, 0) << args[2] << ": " << r.err;
        std::vector<Record> records;
        std::istringstream in(r.out);
        for (std::string line; lines && std::getline(in, line);) records.push_back(Record::parse(line));
        return records;
    };
    const auto keys = [](const Record& record) {
        std::vector<std::string> names;
        for (const auto& item : record.items()) names.push_back(item.key());
        return names;
    };
    using Names = std::vector<std::string>;

    const auto folders = run({"folders"});
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(keys(folders[1]),
              (Names{"FolderId", "ParentId", "Name", "Path", "FileName", "IsSpecial", "Messages", "Unread"}));
    EXPECT_EQ(folders[1]["Path"], "Outlook Express/Inbox");
    EXPECT_EQ(folders[1]["Messages"], 2);
    EXPECT_EQ(folders[1]["Unread"], 1);

    const auto messages = run({"messages", "Inbox.dbx"});
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(keys(messages[0]), (Names{"From", "To", "Subject", "Date", "DateUTC", "FileTime", "DataOffset",
                                        "RecordOffset", "Flags"}));
    EXPECT_EQ(messages[0]["Date"], "2003-05-04T10:00:00+02:00");
    EXPECT_EQ(messages[0]["DateUTC"], "2003-05-04T08:00:00Z");
    EXPECT_EQ(messages[0]["FileTime"].get<std::uint64_t>(), *may.date);
    EXPECT_EQ(messages[1]["Date"], "2003-12-04T09:00:00+01:00");

    const auto hits = run({"search", "spring"});
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(keys(hits[0]), (Names{"FileName", "DataOffset", "Folder", "Date", "DateUTC", "FileTime", "From",
                                    "Subject", "Snippet"}));
    for (const auto& hit : hits)
        EXPECT_EQ(hit["Date"], hit["Subject"] == "May" ? "2003-05-04T10:00:00+02:00" : "2003-12-04T09:00:00+01:00");

    const auto mayAt = std::to_string(messages[0]["DataOffset"].get<std::int32_t>());
    const auto files = run({"attachments", "Inbox.dbx", mayAt});
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(keys(files[0]), (Names{"Index", "Name", "FileName", "MediaType", "DecodedSize", "ContentID", "Inline"}));
    EXPECT_EQ(files[0]["DecodedSize"], 5);

    const auto found = run({"recover", "Inbox.dbx"});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(keys(found[0]), (Names{"Kind", "DataOffset", "RawSize", "LostBytes", "Complete", "From", "To",
                                     "Subject", "Date", "DateUTC"}));
    EXPECT_EQ(found[0]["DataOffset"].get<std::uint64_t>(), lostAt);
    EXPECT_EQ(found[0]["Date"], "2003-05-04T10:00:00+02:00");

    // The names of saved and converted files say the same local times.
    run({"save", "Inbox.dbx", "--to", "saved", "--date"}, false);
    run({"convert", "--to", "converted", "--format", "eml"}, false);
    std::vector<std::string> names;
    for (const auto& dir : {"saved", "converted"})
        for (const auto& e : fs::recursive_directory_iterator(fs::path(work.str()) / dir))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"2003-05-04 10-00 May.eml", "2003-12-04 09-00 December.eml",
                            "December 12_04_03 09_00_00.eml", "May 05_04_03 10_00_00.eml"}));
}

}  // namespace
}  // namespace lumbrook
