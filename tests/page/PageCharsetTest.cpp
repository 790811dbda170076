// Pages and text exports are UTF-8 whatever charset a mail and its store are in.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/Charset.h"
#include "mime/MailModel.h"
#include "platform/FileWriter.h"
#include "output/Output.h"
#include "page/Page.h"
#include "store/MailStore.h"
#include "tests/support/RecordTestSupport.h"
#include "dbxwriter/DbxWriter.h"

namespace lumbrook {
namespace {

using test::readFileBytes;
using test::TempDir;

std::size_t occurrences(std::string_view text, std::string_view word) {
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

struct Case {
    const char* name;
    const char* codePage;     // the store's
    std::string subject;      // in the store's code page, as the record holds it
    std::string raw;          // the message
    std::string subjectUtf8;  // what the header table shows
    std::string bodyUtf8;     // what the page and the text export show
};

TEST(PageCharset, HeaderTableTemplateAndBodyAreUtf8InEveryCharset) {
    const std::string privet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // Привет
    const std::string privet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
    const std::string privetKoi8 = "\xF0\xD2\xC9\xD7\xC5\xD4";
    const std::string euro = "\xE2\x82\xAC";
    const std::string replacement = "\xEF\xBF\xBD";
    const std::vector<Case> cases = {
        {"German", "1252", "Gr\xFC\xDF" "e",
         "Content-Type: text/plain; charset=windows-1252\r\n\r\nM\xFCller & \xC4rger\r\n",
         "Gr\xC3\xBC\xC3\x9F" "e", "M\xC3\xBCller &amp; \xC3\x84rger"},
        {"Cyrillic", "1251", privet1251,
         "Content-Type: text/plain; charset=windows-1251\r\n\r\n" + privet1251 + "\r\n", privet,
         privet},
        {"KOI8-R in a Windows-1251 store", "1251", privet1251,
         "Content-Type: text/plain; charset=koi8-r\r\n\r\n" + privetKoi8 + "\r\n", privet, privet},
        {"UTF-8", "1252", "Avalia\xE7\xE3o",
         "Content-Type: text/plain; charset=\"UTF-8\"\r\n\r\nAvalia\xC3\xA7\xC3\xA3o\r\n",
         "Avalia\xC3\xA7\xC3\xA3o", "Avalia\xC3\xA7\xC3\xA3o"},
        {"ISO-8859-15", "1252", "5 \x80",
         "Content-Type: text/plain; charset=iso-8859-15\r\n\r\nPreis: 5 \xA4\r\n", "5 " + euro,
         "Preis: 5 " + euro},
        {"HTML with only a meta charset", "1252", "x",
         "Content-Type: text/html\r\n\r\n<html><head><meta http-equiv=\"Content-Type\" "
         "content=\"text/html; charset=koi8-r\"></head>\r\n<body>" + privetKoi8 + "</body></html>\r\n",
         "x", privet},
        // A byte no charset reads is one U+FFFD; the line and the next stay.
        {"Undecodable", "1251", "a\x98z",
         "Content-Type: text/plain; charset=utf-8\r\n\r\nbad \xFF byte\r\nnext line\r\n",
         "a" + replacement + "z", "bad " + replacement + " byte<BR>\r\nnext line<BR>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        DbxMessage message{1, "Ann", "Bob", c.subject, test::fileTimeUtc(2005, 1, 1), c.raw};
        writeBytes(dir / "Inbox.dbx", buildDbx({messageRecord(message)}).bytes);
        // The template file is in the store's code page too: 0xA7 is "§" in both.
        dir.write("design.htm", "<title>\n%%UEBERSCHRIFT%%\n</title>\n<p>\xA7</p>\n%%INHALT%%\n");
        const MailStore store(dir.str(), CodePage::fromSetting(c.codePage));
        const MessageList records = store.readMessages("Inbox.dbx");
        ASSERT_EQ(records.size(), 1u);
        const std::string raw = store.readMessageText("Inbox.dbx", records[0].dataOffset);

        Design design;
        design.apply = true;
        design.templatePath = dir / "design.htm";
        design.codePage = store.codePage();
        std::filesystem::create_directory(dir / "page");
        const std::string page =
            readFileBytes(renderMessagePage(raw, records[0], design, dir / "page/", "mail.htm", nullptr));
        EXPECT_TRUE(isValidUtf8(page));
        EXPECT_TRUE(page.starts_with(pageHeadElements() + "\r\n")) << page;
        // The mail's own charset is gone: the browser reads the page in ours alone.
        EXPECT_EQ(occurrences(page, "charset"), 1u) << page;
        EXPECT_NE(page.find("<title>\r\n" + c.subjectUtf8 + "\r\n</title>\r\n<p>\xC2\xA7</p>\r\n"),
                  std::string::npos)
            << page;
        EXPECT_NE(page.find("<td><b>Subject:</b></td><td>" + c.subjectUtf8 + "</td>"),
                  std::string::npos)
            << page;
        EXPECT_NE(page.find(c.bodyUtf8), std::string::npos) << page;

        ExportSettings settings;
        settings.dir = dir / "text/";
        std::filesystem::create_directory(settings.dir);
        settings.format = ExportFormat::AlwaysText;
        settings.design = design;
        const std::string text = readFileBytes(exportMessage(settings, records[0], raw));
        EXPECT_TRUE(isValidUtf8(text));
        std::string expected = c.bodyUtf8;
        for (auto [from, to] : {std::pair<std::string, std::string>{"&amp;", "&"}, {"<BR>", ""}})
            for (std::size_t at; (at = expected.find(from)) != std::string::npos;)
                expected.replace(at, from.size(), to);
        EXPECT_NE(text.find(expected), std::string::npos) << text;
    }
}

// A body of one huge line is converted a piece at a time; the page is the same as
// for the line converted whole: no character, element or reference cut in two.
TEST(PageCharset, HugeLinesArePagedAsWholeLines) {
    const std::size_t mb = 1 << 20;
    // Text: two-byte letters with a blank now and then, past the piece size twice.
    std::string text;
    while (text.size() < 5 * mb) text += "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 ";
    // HTML: a reference whose id holds a ">" and a <base> around each place a piece
    // could end.
    std::string html = "<p>" + std::string(mb - 13, 'x') + "<img src=\"cid:a>b\"><base href=x>";
    html += std::string(2 * mb, 'y') + "<p>\xE2\x82\xAC</p>";
    const std::pair<std::string, std::string> cases[] = {
        {"Content-Type: text/plain; charset=utf-8\r\n\r\n" + text + "\r\n", text},
        {"Content-Type: text/html; charset=utf-8\r\n\r\n" + html + "\r\n", html},
    };
    for (const auto& [raw, line] : cases) {
        MailMessage message;
        message.loadText(raw);
        message.locateBodies();
        const bool isText = message.htmlLines.empty();
        TempDir dir;
        PartFiles parts;
        parts.renamed.emplace("a>b", "renamed");
        FileWriter out(dir / "page.htm", FileWriter::Mode::New);
        writePage(message, test::makeRecord("x"), Design{}, parts, out);
        out.finish();
        const std::string page = readFileBytes(dir / "page.htm");
        std::string expected;
        if (isText) {
            expected = htmlEscape(line) + "<BR>";
        } else {
            expected = rewritePageLine(line);
            const std::size_t id = expected.find("a>b");
            ASSERT_NE(id, std::string::npos);
            expected.replace(id, 3, "renamed");
        }
        EXPECT_TRUE(page == pageHeadElements() + "\r\n" + expected + "\r\n") << page.substr(0, 300);
    }
}

}  // namespace
}  // namespace lumbrook
