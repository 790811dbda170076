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
              R"({"FolderId":0,"ParentId":-1,"Name":"Outlook Express","FileName":"","IsSpecial":false})");
    EXPECT_EQ(lines[2]["Name"], "Z\xC3\xBCrich");  // Windows-1252 shown as UTF-8
    EXPECT_EQ(lines[1]["IsSpecial"], true);

    const auto listed = messages();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0]["Subject"], "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(listed[0]["DateText"], "01/01/05");  // midnight: no time
    EXPECT_EQ(listed[1]["DateText"], "02/03/06 04:05:06");
    EXPECT_EQ(listed[1]["Date"].get<std::uint64_t>(), test::fileTimeUtc(2006, 2, 3, 4, 5, 6));
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
    EXPECT_EQ(missing.err, "Datei " + (store / "Nothing.dbx") + " kann nicht ge\xC3\xB6" "ffnet werden\n");
    EXPECT_TRUE(missing.out.empty());

    EXPECT_EQ(cli({"text", "Inbox.dbx", "12x"}).status, 2);
    EXPECT_EQ(cli({"frobnicate"}).status, 2);
    EXPECT_EQ(cli({"folders", "--bogus"}).status, 2);
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
    EXPECT_EQ(save.out, "There became 2 messages saved!\n");
    EXPECT_EQ(readFileBytes(work / "out/eml/Gr__e.eml"), plain);
    EXPECT_TRUE(fs::exists(work / "out/eml/pic.eml"));

    const CliRun exported = cli({"export", "Inbox.dbx", "--to", "out/x", "--format", "same", "--date"});
    EXPECT_EQ(exported.status, 0);
    EXPECT_EQ(exported.out, "There became 2 messages exported!\n");
    EXPECT_EQ(readFileBytes(work / "out/x/Gr__e 01_01_05.txt"), "Hello \xE9\r\nno final break\r\n");
    EXPECT_EQ(readFileBytes(work / "out/x/pic 02_03_06 04_05_06.HTM"),
              "<meta charset=\"windows-1252\"><meta http-equiv=\"Content-Security-Policy\" content=\""
              "default-src 'none'; img-src 'self' data: file:; style-src 'unsafe-inline'; "
              "form-action 'none'; base-uri 'none'\">\r\n<img src=\"pic@x\">\r\n");
    EXPECT_EQ(readFileBytes(work / "out/x/pic@x"), "GIF89a");
}

}  // namespace
}  // namespace lumbrook
