// export --attachments: the files beside the page, the list at its end, and
// nothing changed without the option.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "mime/MailAttachments.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/RecordTestSupport.h"
#include "tests/support/CliRunner.h"
#include "dbxwriter/DbxWriter.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;
using test::readFileBytes;

// An HTML body showing one picture in place, and a PDF whose name needs encoding.
const std::string MixedMessage =
    "From: a@b.example\r\nSubject: pic\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
    "--m\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
    "--r\r\nContent-Type: text/html\r\n\r\n<p>Body</p><img src=\"cid:pic@x\">\r\n"
    "--r\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n"
    "Content-ID: <pic@x>\r\n\r\nR0lGODlh\r\n--r--\r\n"
    "--m\r\nContent-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename*=UTF-8''Bericht%20M%C3%A4rz%20%2350.pdf\r\n\r\n"
    "JVBERi0xLjQKAP/+IGJpbmFyeQ0KJSVFT0YK\r\n--m--\r\n";
const std::string PdfBytes = std::string("%PDF-1.4\n\0\xFF\xFE binary\r\n%%EOF\n", 27);
const std::string PdfName = "Bericht M\xC3\xA4rz #50.pdf";

TEST(AttachmentExport, FilesBesideThePageLinkedFromItAndNothingElseChanged) {
    test::TempDir store, work;
    DbxFileOptions folders;
    folders.kind = DbxFileKind::Folders;
    writeBytes(store / "Folders.dbx",
               buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                         folderRecord({4, 0, "Inbox", "Inbox.dbx", true})},
                        folders)
                   .bytes);
    DbxMessage mixed{1, "Cy", "Di", "pic", test::fileTimeUtc(2006, 2, 3), MixedMessage};
    writeBytes(store / "Inbox.dbx", buildDbx({messageRecord(mixed)}).bytes);
    {
        MailMessage message;
        message.loadText(MixedMessage);
        ASSERT_EQ(attachmentBytes(message, 1), PdfBytes);  // the fixture is what it claims
    }
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--store", store.str(), "export", "Inbox.dbx"});
        return test::runProgram(LUMBROOK_CLI, args, work.str());
    };

    // Someone's page is there already: ours becomes pic_0.HTM, its files pic_0_files/.
    fs::create_directories(work / "with");
    std::ofstream(work / "with/pic.HTM") << "theirs";
    const auto withRun = cli({"--to", "with", "--attachments"});
    ASSERT_EQ(withRun.status, 0) << withRun.err;
    const auto plainRun = cli({"--to", "without"});
    ASSERT_EQ(plainRun.status, 0) << plainRun.err;

    EXPECT_EQ(readFileBytes(work / "with/pic.HTM"), "theirs");
    EXPECT_EQ(readFileBytes(work / ("with/pic_0_files/" + PdfName)), PdfBytes);
    EXPECT_EQ(readFileBytes(work / "with/pic@x"), "GIF89a");  // in place, as before
    EXPECT_EQ(std::distance(fs::directory_iterator(work / "with/pic_0_files"), fs::directory_iterator{}), 1);
    // Without the option: no directory, and the page is the page with the list cut off.
    EXPECT_FALSE(fs::exists(work / "without/pic_files"));
    const std::string without = readFileBytes(work / "without/pic.HTM");
    const std::string with = readFileBytes(work / "with/pic_0.HTM");
    ASSERT_EQ(with.substr(0, without.size()), without);
    EXPECT_EQ(with.substr(without.size()),
              "<hr><p><b>Attachments:</b></p><ul>\r\n"
              "<li><a href=\"pic_0_files/Bericht%20M%C3%A4rz%20%2350.pdf\">Bericht M&#228;rz #50.pdf"
              "</a> (27 bytes)</li>\r\n</ul>\r\n");

    // A text file lists every attachment (it shows no pictures) by path and size.
    const auto textRun = cli({"--to", "text", "--format", "txt", "--attachments"});
    ASSERT_EQ(textRun.status, 0) << textRun.err;
    EXPECT_EQ(readFileBytes(work / ("text/pic_files/" + PdfName)), PdfBytes);
    EXPECT_EQ(readFileBytes(work / "text/pic_files/attachment-1.gif"), "GIF89a");
    const std::string text = readFileBytes(work / "text/pic.txt");
    const std::string list = "\r\nAttachments:\r\n  pic_files/attachment-1.gif (6 bytes)\r\n  pic_files/" + PdfName +
                             " (27 bytes)\r\n";
    ASSERT_GE(text.size(), list.size());
    EXPECT_EQ(text.substr(text.size() - list.size()), list);
}

}  // namespace
}  // namespace lumbrook
