// lumbrook-cli end to end: what each command prints for a store built with the writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/RecordTestSupport.h"
#include "tests/support/CliRunner.h"
#include "dbxwriter/DbxWriter.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::readFileBytes;
using test::CliRun;
using test::TempDir;

const std::string RelatedMessage =
    "From: a@b.example\r\nSubject: pic\r\n"
    "Content-Type: multipart/related; boundary=\"b\"\r\n\r\n"
    "--b\r\nContent-Type: text/html\r\n\r\n<img src=\"cid:pic@x\">\r\n"
    "--b\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n"
    "Content-ID: <pic@x>\r\n\r\nR0lGODlh\r\n--b--\r\n";

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        DbxFileOptions folders;
        folders.kind = DbxFileKind::Folders;
        writeBytes(store / "Folders.dbx",
                   buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                             folderRecord({4, 0, "Inbox", "Inbox.dbx", true}),
                             folderRecord({100, 0, "Z\xFCrich", "zurich.dbx", false})},
                            folders)
                       .bytes);
        DbxMessage plainMessage{1, "Ann", "Bob", "Gr\xFC\xDF" "e", test::fileTimeUtc(2005, 1, 1),
                          "Subject: x\r\n\r\nHello \xE9\r\nno final break"};
        DbxMessage related{2, "Cy", "Di", "pic", test::fileTimeUtc(2006, 2, 3, 4, 5, 6), RelatedMessage};
        writeBytes(store / "Inbox.dbx", buildDbx({messageRecord(plainMessage), messageRecord(related)}).bytes);
        plain = plainMessage.rawText;
    }

    CliRun cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--store", store.str()});
        return test::runProgram(LUMBROOK_CLI, args, work.str());
    }
    std::vector<json> jsonLines(const std::string& out) {
        std::vector<json> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
        return lines;
    }
    std::vector<json> messages() { return jsonLines(cli({"messages", "Inbox.dbx"}).out); }

    TempDir store, work;
    std::string plain;
};

TEST_F(CliTest, FoldersAndMessagesAsJsonLinesInUtf8) {
    const CliRun folders = cli({"folders"});
    ASSERT_EQ(folders.status, 0) << folders.err;
    const auto lines = jsonLines(folders.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(folders.out.substr(0, folders.out.find('\n')),
              R"({"FolderId":0,"ParentId":-1,"Name":"Outlook Express","Path":"Outlook Express","FileName":"",)"
              R"("IsSpecial":false,"Messages":0,"Unread":0})");
    EXPECT_EQ(lines[2]["Name"], "Z\xC3\xBCrich");  // Windows-1252 shown as UTF-8
    EXPECT_EQ(lines[1]["IsSpecial"], true);

    const auto listed = messages();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0]["Subject"], "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(listed[1]["FileTime"].get<std::uint64_t>(), test::fileTimeUtc(2006, 2, 3, 4, 5, 6));
    EXPECT_GT(listed[1]["DataOffset"].get<std::int32_t>(), 0);
    EXPECT_GT(listed[1]["RecordOffset"].get<std::int32_t>(), 0);
}

TEST_F(CliTest, TextIsTheStoredBytesAndErrorsNameTheFile) {
    const auto offset = std::to_string(messages()[0]["DataOffset"].get<std::int32_t>());
    const CliRun text = cli({"text", "Inbox.dbx", offset});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, plain);  // 8-bit bytes and no added line break

    const CliRun missing = cli({"messages", "Nothing.dbx"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "lumbrook-cli: cannot open " + (store / "Nothing.dbx") +
                               ": No such file or directory\n");
    EXPECT_TRUE(missing.out.empty());
}

TEST_F(CliTest, ParseDescribesTheTreeBodiesAndAttachments) {
    std::ofstream(work / "m.eml", std::ios::binary) << RelatedMessage;
    const CliRun run = test::runProgram(LUMBROOK_CLI, {"parse", "m.eml"}, work.str());
    ASSERT_EQ(run.status, 0) << run.err;
    const json doc = json::parse(run.out);
    ASSERT_EQ(doc["Parts"].size(), 3u);
    EXPECT_EQ(doc["Parts"][0]["Path"], "0");
    EXPECT_EQ(doc["Parts"][2]["Path"], "0.1");
    EXPECT_EQ(doc["Parts"][0]["MediaType"], "multipart/related");
    EXPECT_EQ(doc["Parts"][2]["ParentBoundary"], "b");
    EXPECT_EQ(doc["HtmlLines"], json::array({"<img src=\"cid:pic@x\">"}));
    ASSERT_EQ(doc["Attachments"].size(), 1u);
    const json& pic = doc["Attachments"][0];
    EXPECT_EQ(pic["Path"], "0.1");
    EXPECT_EQ(pic["ContentID"], "<pic@x>");
    EXPECT_EQ(pic["IsEmbedded"], true);
    EXPECT_EQ(pic["DecodedBodySize"], 6);
    // sha256 of "GIF89a"
    EXPECT_EQ(pic["DecodedBodySHA256"], "610f5ae4d76e332636a17bd357fd6ce99029316a99d320280d4d77a746bf29e8");
}

TEST_F(CliTest, RenderSaveAndExportAsTheWindowDoes) {
    const auto listed = messages();
    const auto picAt = std::to_string(listed[1]["DataOffset"].get<std::int32_t>());
    const CliRun render = cli({"render", "Inbox.dbx", picAt, "--out", "page/mail.htm", "--head",
                                "--fields", "Subject,From", "--design", "plain.htm"});
    ASSERT_EQ(render.status, 0) << render.err;
    EXPECT_EQ(readFileBytes(work / "page/pic@x"), "GIF89a");
    const std::string page = readFileBytes(work / "page/mail.htm");
    EXPECT_NE(page.find("<table><tr><td><b>From:</b></td><td>Cy</td></tr>"
                        "<tr><td><b>Subject:</b></td><td>pic</td></tr></table><hr><p>\r\n"
                        "<img src=\"pic@x\">\r\n"),
              std::string::npos)
        << page;

    const CliRun save = cli({"save", "Inbox.dbx", "--to", "out/eml"});
    EXPECT_EQ(save.status, 0);
    EXPECT_EQ(save.out, "Saved 2 messages to out/eml.\n");
    EXPECT_EQ(readFileBytes(work / "out/eml/Gr__e.eml"), plain);
    EXPECT_TRUE(fs::exists(work / "out/eml/pic.eml"));

    const CliRun exported = cli({"export", "Inbox.dbx", "--to", "out/x", "--format", "same", "--date"});
    EXPECT_EQ(exported.status, 0);
    EXPECT_EQ(exported.out, "Exported 2 messages to out/x.\n");
    // Text and pages are UTF-8: a body that names no charset is in the store's code page.
    EXPECT_EQ(readFileBytes(work / "out/x/Gr__e 01_01_05.txt"), "Hello \xC3\xA9\r\nno final break\r\n");
    EXPECT_EQ(readFileBytes(work / "out/x/pic 02_03_06 04_05_06.HTM"),
              "<meta charset=\"utf-8\"><meta http-equiv=\"Content-Security-Policy\" content=\""
              "default-src 'none'; img-src 'self' data: file:; style-src 'unsafe-inline'; "
              "form-action 'none'; base-uri 'none'\">\r\n<img src=\"pic@x\">\r\n");
    EXPECT_EQ(readFileBytes(work / "out/x/pic@x"), "GIF89a");
}

TEST_F(CliTest, ErrorsHelpAndPaths) {
    const auto offset = std::to_string(messages()[0]["DataOffset"].get<std::int32_t>());
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // the start of standard error
    };
    const std::string inbox = store / "Inbox.dbx";
    const std::vector<Case> cases = {
        {{"text", "Inbox.dbx", "12345"}, 1,
         "lumbrook-cli: " + inbox + " lists no message at offset 12345\n"},
        {{"render", "Inbox.dbx", "12345", "--out", "p.htm"}, 1,
         "lumbrook-cli: " + inbox + " lists no message at offset 12345\n"},
        {{"messages", "Folders.dbx"}, 1,
         "lumbrook-cli: " + (store / "Folders.dbx") +
             " is the folder list (Folders.dbx), not a folder file\n"},
        {{"messages", "/etc/hostname"}, 1,
         "lumbrook-cli: /etc/hostname is not an Outlook Express folder file"},
        {{"messages", "/no/such/dir/x.dbx"}, 1,
         "lumbrook-cli: cannot open /no/such/dir/x.dbx: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0];
        EXPECT_TRUE(run.err.starts_with(c.err)) << run.err;
    }

    // A path needs no store; without one a store file name says where it looked.
    const std::string prelude = "HOME=" + work.str() + " LUMBROOK_REGISTRY= WINEPREFIX=";
    const CliRun byPath =
        test::runProgram(LUMBROOK_CLI, {"text", inbox, offset}, work.str(), prelude);
    EXPECT_EQ(byPath.status, 0) << byPath.err;
    EXPECT_EQ(byPath.out, plain);
    const CliRun none = test::runProgram(LUMBROOK_CLI, {"folders"}, work.str(), prelude);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "lumbrook-cli: no store given and none found in the Wine registry "
                        "(~/.wine/user.reg); name one with --store DIR\n");

    const CliRun codePage = test::runProgram(LUMBROOK_CLI, {"--store", store.str(), "folders"},
                                             work.str(), "LUMBROOK_CODEPAGE=XYZ");
    EXPECT_EQ(codePage.status, 2);
    EXPECT_EQ(codePage.err, "lumbrook-cli: unknown code page 'XYZ' in LUMBROOK_CODEPAGE\n");
    EXPECT_TRUE(codePage.out.empty());
    EXPECT_EQ(cli({"--version"}).status, 0);
}

TEST_F(CliTest, OptionsGoAnywhereAndAMistakeIsTwoLinesAndExitTwo) {
    // Options before or after the command, "=" or a separate value, "--" ending them.
    const auto run = [&](const std::vector<std::string>& args) {
        return test::runProgram(LUMBROOK_CLI, args, work.str());
    };
    const CliRun before = run({"--store", store.str(), "messages", "Inbox.dbx"});
    ASSERT_EQ(before.status, 0) << before.err;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"messages", "Inbox.dbx", "--store", store.str()},
             {"messages", "--store=" + store.str(), "--", "Inbox.dbx"},
             {"--store=" + store.str(), "messages", "Inbox.dbx"}}) {
        const CliRun after = run(args);
        EXPECT_EQ(after.status, 0) << after.err;
        EXPECT_EQ(after.out, before.out);
    }
    const CliRun saved = run({"save", "--to=" + (work / "a"), "Inbox.dbx", "--store", store.str(), "--date"});
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(work / "a"), fs::directory_iterator()), 2);

    struct Mistake {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Mistake> mistakes = {
        {{"folders", "--stor", "x"},
         "lumbrook-cli: unknown option --stor (did you mean --store?)\nSee 'lumbrook-cli folders --help'.\n"},
        {{"--store"}, "lumbrook-cli: --store needs a value: --store DIR\nSee 'lumbrook-cli --help'.\n"},
        {{"serch", "x"}, "lumbrook-cli: unknown command serch (did you mean search?)\nSee 'lumbrook-cli --help'.\n"},
        {{"save", "Inbox.dbx", "--to", "d", "--date=yes"},
         "lumbrook-cli: --date takes no value\nSee 'lumbrook-cli save --help'.\n"},
        {{"--store", store.str(), "text", "Inbox.dbx", "12x"},
         "lumbrook-cli: not an offset: 12x\nSee 'lumbrook-cli text --help'.\n"},
        {{"folders", "--bogus"}, "lumbrook-cli: unknown option --bogus\nSee 'lumbrook-cli folders --help'.\n"},
        {{}, "lumbrook-cli: no command given\nSee 'lumbrook-cli --help'.\n"},
    };
    for (const auto& m : mistakes) {
        const CliRun r = run(m.args);
        EXPECT_EQ(r.status, 2) << m.err;
        EXPECT_EQ(r.err, m.err);
        EXPECT_TRUE(r.out.empty());
    }

    // "help COMMAND" is "COMMAND --help", which tells only the arguments it takes.
    const CliRun convertHelp = run({"convert", "--help"});
    EXPECT_EQ(convertHelp.status, 0);
    EXPECT_EQ(run({"help", "convert"}).out, convertHelp.out);
    EXPECT_EQ(run({"convert", "--bogus", "-h"}).out, convertHelp.out);
    for (const char* part : {"Usage: lumbrook-cli [--store DIR] convert --to OUT", "--no-status", "--folder NAME",
                             "Exit status:", "130", "Environment:", "LUMBROOK_CODEPAGE", "Examples:"})
        EXPECT_NE(convertHelp.out.find(part), std::string::npos) << part;
    EXPECT_EQ(convertHelp.out.find("FILE"), std::string::npos);
    const CliRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("attachments"), std::string::npos);
}

// A store as it comes off a German and a Russian Windows disk: names and subjects
// in the store's code page, bodies in their own charsets, file names in UTF-8.
struct ForeignStore {
    const char* codePage;
    std::string folderName;  // in the code page
    std::string fileName;    // in the code page, as Folders.dbx holds it
    std::string diskName;    // in UTF-8
    std::string subject;     // in the code page
    std::string subjectUtf8;
    std::string body;
};

TEST_F(CliTest, GermanAndCyrillicStoresThroughTheCommandLine) {
    const std::vector<ForeignStore> stores = {
        {"1252", "Gel\xF6schte Objekte", "Gel\xF6schte Objekte.dbx",
         "Gel\xC3\xB6schte Objekte.dbx", "Gr\xFC\xDF" "e aus M\xFCnchen",
         "Gr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen",
         "Subject: =?iso-8859-1?Q?Gr=FC=DFe?=\r\nContent-Type: text/plain; charset=iso-8859-1\r\n\r\n"
         "M\xFCller & S\xF6hne GmbH\r\n"},
        {"1251", "\xC2\xF5\xEE\xE4\xFF\xF9\xE8\xE5", "\xC2\xF5\xEE\xE4\xFF\xF9\xE8\xE5.dbx",
         "\xD0\x92\xD1\x85\xD0\xBE\xD0\xB4\xD1\x8F\xD1\x89\xD0\xB8\xD0\xB5.dbx",
         "\xCF\xF0\xE8\xE2\xE5\xF2", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
         "Subject: test\r\nContent-Type: text/plain; charset=koi8-r\r\n\r\n\xF0\xD2\xC9\xD7\xC5\xD4\r\n"},
    };
    for (const auto& s : stores) {
        TempDir dir, out;
        DbxFileOptions folders;
        folders.kind = DbxFileKind::Folders;
        writeBytes(dir / "Folders.dbx",
                   buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                             folderRecord({5, 0, s.folderName, s.fileName, false})},
                            folders)
                       .bytes);
        DbxMessage m{1, "Ann", "Bob", s.subject, test::fileTimeUtc(2005, 1, 1), s.body};
        writeBytes(dir / s.diskName, buildDbx({messageRecord(m)}).bytes);
        const std::string prelude = std::string("LUMBROOK_CODEPAGE=") + s.codePage;
        auto run = [&](std::vector<std::string> args) {
            args.insert(args.begin(), {"--store", dir.str()});
            return test::runProgram(LUMBROOK_CLI, args, out.str(), prelude);
        };

        const CliRun listed = run({"folders"});
        ASSERT_EQ(listed.status, 0) << listed.err;
        const auto lines = jsonLines(listed.out);
        ASSERT_EQ(lines.size(), 2u);
        const std::string fileName = lines[1]["FileName"];
        EXPECT_EQ(fileName, s.diskName) << s.codePage;

        // The name the folder list gives (in UTF-8, as JSON holds it) finds the file.
        const CliRun msgs = run({"messages", fileName});
        ASSERT_EQ(msgs.status, 0) << msgs.err;
        const auto records = jsonLines(msgs.out);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0]["Subject"], s.subjectUtf8);

        const auto offset = std::to_string(records[0]["DataOffset"].get<std::int32_t>());
        const CliRun text = run({"text", fileName, offset});
        EXPECT_EQ(text.status, 0) << text.err;
        EXPECT_EQ(text.out, s.body);

        const CliRun saved = run({"save", fileName, "--to", "eml"});
        EXPECT_EQ(saved.status, 0) << saved.err;
        EXPECT_EQ(saved.out, "Saved 1 message to eml.\n");
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(out / "eml")) {
            ++files;
            EXPECT_EQ(readFileBytes(entry.path().string()), s.body);
        }
        EXPECT_EQ(files, 1u);
    }
}

// A real folder file cut short: the messages past the cut are said to be damaged,
// not saved as empty files.
TEST_F(CliTest, TruncatedSampleSaysWhatIsMissing) {
    const fs::path sample = fs::path(LUMBROOK_SAMPLES_DIR) / "IPED" / "test_OutlookDBX.dbx";
    if (!fs::exists(sample)) GTEST_SKIP() << "no sample at " << sample;
    std::string bytes = readFileBytes(sample.string());
    bytes.resize(200000);
    std::ofstream(work / "cut.dbx", std::ios::binary) << bytes;
    const std::string cut = work / "cut.dbx";

    const CliRun listed = test::runProgram(LUMBROOK_CLI, {"messages", cut}, work.str());
    ASSERT_EQ(listed.status, 0) << listed.err;
    const auto records = jsonLines(listed.out);
    ASSERT_EQ(records.size(), 28u);

    std::size_t damaged = 0;
    for (const auto& r : records) {
        const auto offset = r["DataOffset"].get<std::int32_t>();
        const CliRun text = test::runProgram(LUMBROOK_CLI, {"text", cut, std::to_string(offset)},
                                             work.str());
        if (text.status == 0) continue;
        ++damaged;
        EXPECT_EQ(text.status, 1);
        EXPECT_NE(text.err.find("is damaged: "), std::string::npos) << text.err;
    }
    EXPECT_EQ(damaged, 18u);

    const CliRun save = test::runProgram(LUMBROOK_CLI, {"save", cut, "--to", "out"}, work.str());
    EXPECT_EQ(save.status, 1);
    // Only whole messages count; the one cut in the middle is saved as far as it goes,
    // marked, and listed with the 17 that have nothing left.
    EXPECT_EQ(save.out.rfind("Saved 10 messages to out.\n18 messages could not be read whole:\n", 0), 0u)
        << save.out;
    EXPECT_NE(save.out.find("at offset 190592: the file ends inside the block"), std::string::npos);
    std::size_t files = 0, incomplete = 0;
    for (const auto& entry : fs::directory_iterator(work / "out")) {
        ++files;
        EXPECT_GT(fs::file_size(entry.path()), 0u) << entry.path();
        if (entry.path().string().ends_with(" (incomplete).eml")) ++incomplete;
    }
    EXPECT_EQ(files, 11u);
    EXPECT_EQ(incomplete, 1u);
}

}  // namespace
}  // namespace lumbrook
