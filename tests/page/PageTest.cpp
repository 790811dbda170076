#include <gtest/gtest.h>

#include <filesystem>

#include "base/Errors.h"
#include "base/TextLines.h"
#include "mime/LineList.h"
#include "mime/MailAttachments.h"
#include "platform/FileWriter.h"
#include "page/Page.h"
#include "tests/support/RecordTestSupport.h"

namespace lumbrook {
namespace {

using test::readFileBytes;
using test::makeRecord;
using test::TempDir;

// What every page starts with.
std::string head(const std::string& page) {
    return pageHeadElements() + "\r\n" + page;
}

const std::string PlainHelloBye =
    "From: a@b.example\r\nContent-Type: text/plain\r\n\r\nHello\r\nBye\r\n";

std::vector<std::string> pageLines(std::string_view raw, const MessageInfo& record,
                                   const Design& design) {
    MailMessage message;
    message.loadText(raw);
    message.locateBodies();
    buildPageLines(message, record, design);
    return std::vector<std::string>(message.htmlLines.begin(), message.htmlLines.end());
}

TEST(Render, PlainTextPageWithoutDesignIsTheEscapedLinesWithBreaks) {
    TempDir dir;
    TempFiles temp;
    const std::string page = renderMessagePage(PlainHelloBye, makeRecord("Hi"), Design{},
                                               dir.str() + "/", "mail.htm", &temp);
    EXPECT_EQ(readFileBytes(page), head("Hello<BR>\r\nBye<BR>\r\n"));
    ASSERT_EQ(temp.paths().size(), 1u);
    EXPECT_EQ(temp.paths()[0], page);

    // An address in angle brackets shows as text instead of vanishing as a tag.
    const auto lines = pageLines(
        "Content-Type: text/plain\r\n\r\nTo <a@b.example> & \"you\"\r\n", makeRecord("x"), Design{});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "To &lt;a@b.example&gt; &amp; &quot;you&quot;<BR>");
}

TEST(Render, HeaderTableRowsFollowTheFieldBoxesInTheirFixedOrder) {
    Design design;
    design.apply = true;
    auto record = makeRecord("Re: <b>x</b>", "Ann & Co", "Bob");
    const auto lines = pageLines(PlainHelloBye, record, design);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "<table><tr><td><b>From:</b></td><td>Ann &amp; Co</td></tr>"
              "<tr><td><b>To:</b></td><td>Bob</td></tr>"
              "<tr><td><b>Date:</b></td><td>12/06/26 14:05:09</td></tr>"
              "<tr><td><b>Subject:</b></td><td>Re: &lt;b&gt;x&lt;/b&gt;</td></tr></table><hr><p>");
    EXPECT_EQ(lines[1], "Hello<BR>");
    EXPECT_EQ(lines[2], "Bye<BR>");
    EXPECT_EQ(lines[3], "");  // the content ends with a line break of its own

    design.fields = HeaderFields{false, true, false, true};
    EXPECT_EQ(pageLines(PlainHelloBye, record, design)[0],
              "<table><tr><td><b>To:</b></td><td>Bob</td></tr>"
              "<tr><td><b>Subject:</b></td><td>Re: &lt;b&gt;x&lt;/b&gt;</td></tr></table><hr><p>");

    // No box checked: no table at all, but the template still applies.
    TempDir dir;
    dir.write("t.htm", "<h1>\n%%UEBERSCHRIFT%%\n</h1>\n%%INHALT%%\n");
    design.fields = HeaderFields{false, false, false, false};
    design.templatePath = dir / "t.htm";
    EXPECT_EQ(pageLines(PlainHelloBye, record, design),
              (std::vector<std::string>{"<h1>", "Re: &lt;b&gt;x&lt;/b&gt;", "</h1>", "Hello<BR>",
                                        "Bye<BR>", ""}));
}

TEST(Render, TemplatePlaceholdersAreWholeLinesOnly) {
    TempDir dir;
    Design design;
    design.apply = true;
    design.fields = HeaderFields{false, false, false, false};
    auto render = [&](const std::string& templateText, const MessageInfo& record) {
        dir.write("t.htm", templateText);
        design.templatePath = dir / "t.htm";
        return pageLines(PlainHelloBye, record, design);
    };
    const auto record = makeRecord("Sub", "F", "T", test::fileTimeUtc(2005, 1, 1));

    EXPECT_TRUE(render("", record).empty());
    EXPECT_EQ(render("<p>no content here</p>\r\n", record),
              (std::vector<std::string>{"<p>no content here</p>"}));
    // An indented placeholder is ordinary text.
    EXPECT_EQ(render(" %%INHALT%%\n", record), (std::vector<std::string>{" %%INHALT%%"}));
    EXPECT_EQ(render("%%INHALT%%\r%%INHALT%%\n", record),
              (std::vector<std::string>{"Hello<BR>", "Bye<BR>", "", "Hello<BR>", "Bye<BR>", ""}));
    // Midnight: the date text has no time.
    EXPECT_EQ(render("%%UNTERSCHRIFT%%", record), (std::vector<std::string>{"Sub of F to T from 01/01/05"}));
    const auto untitled = makeRecord("", "F", "T", test::fileTimeUtc(2005, 1, 1));
    EXPECT_EQ(render("%%UEBERSCHRIFT%%\n%%UNTERSCHRIFT%%", untitled),
              (std::vector<std::string>{"eMail message", " of F to T from 01/01/05"}));

    // A template that cannot be read leaves the content alone.
    design.templatePath = dir / "missing.htm";
    EXPECT_EQ(pageLines(PlainHelloBye, record, design),
              (std::vector<std::string>{"Hello<BR>", "Bye<BR>", ""}));
}

TEST(Render, ContentIdPartsAreWrittenBesideThePageAndReferencesMadeRelative) {
    // References in double, single and no quotes, "cid:" in any case; pictures only
    // Internet Explorer could load are left out.
    const std::string raw =
        "Content-Type: multipart/related; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/html\r\n\r\n"
        "<img src=\"cid:logo\"><img src='cid:logo'><IMG SRC=CID:second>"
        "<img src=\"res://msimn.dll/blank.gif\">\r\n"
        "--b\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-ID: <logo>\r\n\r\nR0lGODlh\r\n"
        "--b\r\nContent-Type: image/gif\r\nContent-ID: \"<second>\"\r\n\r\nraw bytes\r\n"
        "--b--\r\n";
    TempDir dir;
    TempFiles temp;
    const std::string page =
        renderMessagePage(raw, makeRecord("x"), Design{}, dir.str() + "/", "mail.htm", &temp);
    EXPECT_EQ(readFileBytes(dir / "logo"), "GIF89a");
    EXPECT_EQ(readFileBytes(dir / "second"), "raw bytes");
    EXPECT_EQ(readFileBytes(page), head("<img src=\"logo\"><img src='logo'><IMG SRC=second>"
                                        "<iBg src=\"res://msimn.dll/blank.gif\">\r\n"));
    // Neither picture is an attachment to list: the page shows both.
    MailMessage message;
    message.loadText(raw);
    const auto attachments = listAttachments(message, "CP1252");
    ASSERT_EQ(attachments.size(), 2u);
    EXPECT_TRUE(attachments[0].isInline && attachments[1].isInline);
    EXPECT_EQ(temp.paths(), (std::vector<std::string>{dir / "logo", dir / "second", page}));

    temp.deleteTempFiles();
    EXPECT_TRUE(temp.paths().empty());
    EXPECT_FALSE(std::filesystem::exists(page));
    EXPECT_FALSE(std::filesystem::exists(dir / "logo"));
}

TEST(Render, ContentIdThatWouldLeaveTheDirectoryIsRefusedAndTheRestWritten) {
    TempDir dir;
    dir.makeDirs("work");
    for (const std::string id : {"../escape", "a/b", "..", ".", "x\\y"}) {
        const std::string raw =
            "Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n"
            "<img src=\"cid:" + id + "\"><img src=\"cid:fine\">\r\n"
            "--b\r\nContent-Type: image/gif\r\nContent-ID: <" + id + ">\r\n\r\nEVIL\r\n"
            "--b\r\nContent-Type: image/gif\r\nContent-ID: <fine>\r\n\r\nGOOD\r\n--b--\r\n";
        std::vector<FileCreateError> problems;
        TempFiles temp;
        const std::string page = renderMessagePage(raw, makeRecord("x"), Design{}, dir / "work/",
                                                   "mail.htm", &temp, &problems);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].path(), (dir / "work/") + id);
        // The refused reference keeps its "cid:" and so loads nothing.
        EXPECT_EQ(readFileBytes(page),
                  head("<img src=\"cid:" + id + "\"><img src=\"fine\">\r\n"));
        EXPECT_EQ(readFileBytes(dir / "work/fine"), "GOOD");
        // Without a list to report to, the error still reaches the caller.
        EXPECT_THROW(renderMessagePage(raw, makeRecord("x"), Design{}, dir / "work/", "mail.htm",
                                       &temp),
                     FileCreateError);
        temp.deleteTempFiles();
        EXPECT_TRUE(std::filesystem::is_empty(dir / "work")) << id;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "escape"));
}

TEST(Render, ConvertCidLineRewritesQuotedReferencesAndBaseElements) {
    const std::pair<std::string, std::string> cases[] = {
        {"<img src=\"cid:logo.gif\">", "<img src=\"logo.gif\">"},
        {"\"Cid:a\" \"cID:b\"", "\"a\" \"b\""},
        {"\"cid:cid:x\"", "\"x\""},
        {"src=cid:x src='cid:y' style=\"background:url(cid:z)\"",
         "src=x src='y' style=\"background:url(z)\""},
        {"<img src=cid:x>cid:y 'cid:open", "<img src=x>cid:y 'cid:open"},
        {"<IMG alt=x SRC = 'RES://ie.dll/a.gif'><img src=\"mhtml:file://x!y\"><img src=res.gif>",
         "<IBG alt=x SRC = 'RES://ie.dll/a.gif'><iBg src=\"mhtml:file://x!y\"><img src=res.gif>"},
        {"<BASE href=\"http://x/\">", "<BBSE href=\"http://x/\">"},
        {"<base href=a><Base href=b>", "<bBse href=a><BBse href=b>"},
        {"<iframe src=x></iframe><FRAMESET><frame src=y>", "<iBrame src=x></iframe><FBAMESET><fBame src=y>"},
        {"no change", "no change"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(rewritePageLine(in), out) << in;
}

TEST(Render, PagesStartWithCharsetAndPolicyAndLoseMetaRefresh) {
    const std::string h = pageHeadElements();
    const std::pair<std::string, std::string> cases[] = {
        {"<p>x</p>\r\n", h + "\r\n<p>x</p>\r\n"},
        // The mail's own head, or several, come after ours.
        {"<html><head><title>t</title></head><head></head>", h + "\r\n<html><head><title>t</title></head><head></head>"},
        {"  <!DOCTYPE html>\r\n<html>", "  <!DOCTYPE html>" + h + "\r\n<html>"},
        {"\xEF\xBB\xBFx", "\xEF\xBB\xBF" + h + "\r\nx"},
        {"a<META HTTP-EQUIV=Refresh CONTENT=\"0;url=http://x/\">b", h + "\r\nab"},
        {"a<meta content='0' http-equiv = ' refresh'\r\n/>b", h + "\r\nab"},
        {"a<meta http-equiv=\"&#x72;efresh\" content=\"0\">b", h + "\r\nab"},
        {"a<meta content=\"1;url=>\" http-equiv=refresh>b", h + "\r\nab"},
        {"a<meta http-equiv=\"refresh\"", h + "\r\na"},
        {"<meta charset=\"utf-8\"><metadata http-equiv=refresh>", h + "\r\n<metadata http-equiv=refresh>"},
        // The mail's own charset is not the page's: it goes, whatever it names.
        {"a<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=koi8-r\">b<meta charset=x>c"
         "<meta name=charset content=x>", h + "\r\nabc<meta name=charset content=x>"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(finishPage(in), out) << in;

    // A page written a line at a time, or its lines in pieces, is finished as the
    // whole page is: tags and document types that run over line breaks, a head
    // that waits for the page's first kilobyte.
    std::vector<std::string> pages;
    for (const auto& [in, out] : cases) pages.push_back(in);
    pages.push_back("<!DOCTYPE\r\nhtml>\r\n<META\r\nhttp-equiv=refresh\r\ncontent=0>x\r\n<meta\r\n");
    pages.push_back(std::string(2000, ' ') + "<!DOCTYPE html><meta http-equiv=refresh>");
    pages.push_back(std::string(800, ' ') + "<!DOCTYPE html " + std::string(200, 'x') + ">y");
    pages.push_back("<me\r\nta http-equiv=refresh><meta\r\n>\r\n<meta http-equiv=\"re\r\nfresh\">z");
    for (const std::string& page : pages) {
        const LineList lines = LineList::viewOf(page);
        EXPECT_EQ(pageFileBytes(lines, {}), finishPage(lines.joined())) << page;
    }
    // A <meta tag longer than any real one is disarmed instead of held back whole.
    const std::string longTag = "<meta content=\"" + std::string(100000, 'x');
    const std::string longText = longTag + "\r\nhttp-equiv=refresh\">b";
    const LineList longLines = LineList::viewOf(longText);
    const std::string longPage = pageFileBytes(longLines, {});
    EXPECT_EQ(longPage, h + "\r\n<mBta" + longLines.joined().substr(5)) << longPage.substr(0, 300);

    // The charset: the body part's, else the HTML's own, else the store's code page.
    auto charsetOf = [](const std::string& raw) {
        MailMessage message;
        message.loadText(raw);
        message.locateBodies();
        return bodyCharset(message).value_or("code page");
    };
    EXPECT_EQ(charsetOf("Content-Type: text/html; charset=\"UTF-8\"\r\n\r\n<p>x\r\n"), "UTF-8");
    EXPECT_EQ(charsetOf("Content-Type: text/html\r\n\r\n<META http-equiv=Content-Type "
                        "content=\"text/html; charset=koi8-r\">\r\n"),
              "KOI8-R");
    EXPECT_EQ(charsetOf("Content-Type: text/plain; charset=\"x\\\"><script>\"\r\n\r\nx\r\n"),
              "code page");
}

TEST(FileOutput, LinesSplitAtEveryBreakAndWriteFailuresAreReported) {
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(splitLines("").empty());
    const auto writeReplacing = [](const std::string& path, std::string_view bytes) {
        FileWriter out(path, FileWriter::Mode::Replace);
        out.write(bytes);
        out.finish();
    };

    // A full disk is an error, never a page reported as written.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_THROW(writeReplacing("/dev/full", "bytes"), FileCreateError);
    }
    TempDir dir;
    dir.write("taken", "mine");
    EXPECT_THROW(writeFileNew(dir / "taken", "other"), FileCreateError);
    EXPECT_EQ(readFileBytes(dir / "taken"), "mine");
    EXPECT_THROW(writeReplacing(dir / "no/such/dir/file", "x"), FileCreateError);
    // A link planted in the working directory is not followed.
    std::filesystem::create_symlink(dir / "taken", dir / "link");
    EXPECT_THROW(writeReplacing(dir / "link", "x"), FileCreateError);
    EXPECT_EQ(readFileBytes(dir / "taken"), "mine");
}

}  // namespace
}  // namespace lumbrook

namespace lumbrook {
namespace {

// The page written a line at a time is the page built in memory, for every shape of
// body and design.
TEST(Render, StreamedPageIsThePageBuiltInMemory) {
    TempDir dir;
    dir.write("t.htm", "<h1>\n%%UEBERSCHRIFT%%\n%%INHALT%%\n<hr>\r%%UNTERSCHRIFT%%\n%%INHALT%%");
    dir.write("subject.htm", "%%UEBERSCHRIFT%%\n");
    const std::vector<std::string> messages = {
        PlainHelloBye,
        "Content-Type: text/plain\r\n\r\n<a href=\"cid:x\">&\r\n\r\n\r\n<BASE href=x>\r\n",
        "Content-Type: text/html\r\n\r\n<img src=\"cid:cid:a\"><base href=\"cid:b\">\r\n"
        "<BaSe><p>\"CID:\r\n",
        "Content-Type: text/plain\r\n\r\n",
        "Subject: no body\r\n",
        "Content-Type: text/plain\r\n\r\n" + std::string(100000, 'x') + "\r\nend",
    };
    std::vector<Design> designs(5);
    designs[1].apply = true;
    designs[2].apply = true;
    designs[2].templatePath = dir / "t.htm";
    designs[3] = designs[2];
    designs[3].fields = HeaderFields{false, false, false, false};
    designs[4].apply = true;
    designs[4].templatePath = dir / "subject.htm";
    // Subjects that are placeholders, or hold line breaks, once filled in.
    const std::vector<MessageInfo> records = {makeRecord("Hi"), makeRecord("%%INHALT%%"),
                                              makeRecord("a\rb\r", "x\ny")};
    int n = 0;
    for (const std::string& raw : messages)
        for (const Design& design : designs)
            for (const MessageInfo& record : records) {
                SCOPED_TRACE(testing::Message() << raw.substr(0, 40) << " / design " << n % 5);
                MailMessage built;
                built.loadText(raw);
                built.locateBodies();
                buildPageLines(built, record, design);

                MailMessage streamed;
                streamed.loadText(raw);
                streamed.locateBodies();
                const std::string path = dir / ("page" + std::to_string(n++));
                FileWriter out(path, FileWriter::Mode::New);
                writePage(streamed, record, design, {}, out);
                out.finish();
                EXPECT_EQ(readFileBytes(path),
                          pageFileBytes(built.htmlLines, {}));
            }
}

TEST(Render, UnfinishedNewFileIsRemoved) {
    TempDir dir;
    const std::string path = dir / "page.htm";
    {
        FileWriter out(path, FileWriter::Mode::New);
        out.write("half a page");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    dir.write("page.htm", "old");
    {
        // The file is placed only when whole; a name taken by then is left alone.
        FileWriter taken(path, FileWriter::Mode::New);
        taken.write("new");
        EXPECT_THROW(taken.finish(), FileCreateError);
    }
    EXPECT_EQ(readFileBytes(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.str()),
                            std::filesystem::directory_iterator()),
              1);
    FileWriter replacing(path, FileWriter::Mode::Replace);
    replacing.write(std::string(3 << 20, 'p'));  // larger than what is gathered
    replacing.write("!");
    replacing.finish();
    EXPECT_EQ(readFileBytes(path).size(), (3u << 20) + 1);
}

}  // namespace
}  // namespace lumbrook
