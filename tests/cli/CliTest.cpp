// lumbrook-cli end to end: what each command prints for a store built with the writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/platform/PlatformTestSupport.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/CliRunner.h"
#include "tests/support/DbxWriter.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::ReadFileBytes;
using test::TCliRun;
using test::TTempDir;

const std::string RelatedMessage =
    "From: a@b.example\r\nSubject: pic\r\n"
    "Content-Type: multipart/related; boundary=\"b\"\r\n\r\n"
    "--b\r\nContent-Type: text/html\r\n\r\n<img src=\"cid:pic@x\">\r\n"
    "--b\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n"
    "Content-ID: <pic@x>\r\n\r\nR0lGODlh\r\n--b--\r\n";

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        TDbxFileOptions folders;
        folders.Kind = TDbxFileKind::Folders;
        WriteBytes(Store / "Folders.dbx",
                   BuildDbx({FolderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                             FolderRecord({4, 0, "Inbox", "Inbox.dbx", true}),
                             FolderRecord({100, 0, "Z\xFCrich", "zurich.dbx", false})},
                            folders)
                       .Bytes);
        TDbxMessage plain{1, "Ann", "Bob", "Gr\xFC\xDF" "e", test::FileTimeUtc(2005, 1, 1),
                          "Subject: x\r\n\r\nHello \xE9\r\nno final break"};
        TDbxMessage related{2, "Cy", "Di", "pic", test::FileTimeUtc(2006, 2, 3, 4, 5, 6), RelatedMessage};
        WriteBytes(Store / "Inbox.dbx", BuildDbx({MessageRecord(plain), MessageRecord(related)}).Bytes);
        Plain = plain.RawText;
    }

    TCliRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--store", Store.Str()});
        return test::RunProgram(LUMBROOK_CLI, args, Work.Str());
    }
    std::vector<json> JsonLines(const std::string& out) {
        std::vector<json> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
        return lines;
    }
    std::vector<json> Messages() { return JsonLines(Cli({"messages", "Inbox.dbx"}).Out); }

    TTempDir Store, Work;
    std::string Plain;
};

TEST_F(CliTest, FoldersAndMessagesAsJsonLinesInUtf8) {
    const TCliRun folders = Cli({"folders"});
    ASSERT_EQ(folders.Status, 0) << folders.Err;
    const auto lines = JsonLines(folders.Out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(folders.Out.substr(0, folders.Out.find('\n')),
              R"({"FolderId":0,"ParentId":-1,"Name":"Outlook Express","FileName":"","IsSpecial":false})");
    EXPECT_EQ(lines[2]["Name"], "Z\xC3\xBCrich");  // Windows-1252 shown as UTF-8
    EXPECT_EQ(lines[1]["IsSpecial"], true);

    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0]["Subject"], "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(messages[0]["DateText"], "01/01/05");  // midnight: no time
    EXPECT_EQ(messages[1]["DateText"], "02/03/06 04:05:06");
    EXPECT_EQ(messages[1]["Date"].get<std::uint64_t>(), test::FileTimeUtc(2006, 2, 3, 4, 5, 6));
    EXPECT_GT(messages[1]["DataOffset"].get<std::int32_t>(), 0);
    EXPECT_GT(messages[1]["RecordOffset"].get<std::int32_t>(), 0);
}

TEST_F(CliTest, TextIsTheStoredBytesAndErrorsNameTheFile) {
    const auto offset = std::to_string(Messages()[0]["DataOffset"].get<std::int32_t>());
    const TCliRun text = Cli({"text", "Inbox.dbx", offset});
    EXPECT_EQ(text.Status, 0);
    EXPECT_EQ(text.Out, Plain);  // 8-bit bytes and no added line break

    const TCliRun missing = Cli({"messages", "Nothing.dbx"});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.Err, "Datei " + (Store / "Nothing.dbx") + " kann nicht ge\xC3\xB6" "ffnet werden\n");
    EXPECT_TRUE(missing.Out.empty());

    EXPECT_EQ(Cli({"text", "Inbox.dbx", "12x"}).Status, 2);
    EXPECT_EQ(Cli({"frobnicate"}).Status, 2);
    EXPECT_EQ(Cli({"folders", "--bogus"}).Status, 2);
}

TEST_F(CliTest, ParseDescribesTheTreeBodiesAndAttachments) {
    std::ofstream(Work / "m.eml", std::ios::binary) << RelatedMessage;
    const TCliRun run = test::RunProgram(LUMBROOK_CLI, {"parse", "m.eml"}, Work.Str());
    ASSERT_EQ(run.Status, 0) << run.Err;
    const json doc = json::parse(run.Out);
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
    const auto messages = Messages();
    const auto picAt = std::to_string(messages[1]["DataOffset"].get<std::int32_t>());
    const TCliRun render = Cli({"render", "Inbox.dbx", picAt, "--out", "page/mail.htm", "--head",
                                "--fields", "Subject,From", "--design", "plain.htm"});
    ASSERT_EQ(render.Status, 0) << render.Err;
    EXPECT_EQ(ReadFileBytes(Work / "page/pic@x"), "GIF89a");
    const std::string page = ReadFileBytes(Work / "page/mail.htm");
    EXPECT_NE(page.find("<table><tr><td><b>From:</b></td><td>Cy</td></tr>"
                        "<tr><td><b>Subject:</b></td><td>pic</td></tr></table><hr><p>\r\n"
                        "<img src=\"pic@x\">\r\n"),
              std::string::npos)
        << page;

    const TCliRun save = Cli({"save", "Inbox.dbx", "--to", "out/eml"});
    EXPECT_EQ(save.Status, 0);
    EXPECT_EQ(save.Out, "There became 2 messages saved!\n");
    EXPECT_EQ(ReadFileBytes(Work / "out/eml/Gr__e.eml"), Plain);
    EXPECT_TRUE(fs::exists(Work / "out/eml/pic.eml"));

    const TCliRun exported = Cli({"export", "Inbox.dbx", "--to", "out/x", "--format", "same", "--date"});
    EXPECT_EQ(exported.Status, 0);
    EXPECT_EQ(exported.Out, "There became 2 messages exported!\n");
    EXPECT_EQ(ReadFileBytes(Work / "out/x/Gr__e 01_01_05.txt"), "Hello \xE9\r\nno final break\r\n");
    EXPECT_EQ(ReadFileBytes(Work / "out/x/pic 02_03_06 04_05_06.HTM"), "<img src=\"pic@x\">\r\n");
    EXPECT_EQ(ReadFileBytes(Work / "out/x/pic@x"), "GIF89a");
}

}  // namespace
}  // namespace lumbrook
