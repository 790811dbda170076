#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "mime/MailModel.h"

using namespace std::string_literals;

namespace lumbrook {
namespace {

// Lines joined with CR LF, each followed by one.
std::string msg(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (std::string_view l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

MailPart* child(const MailPart* p, std::size_t i) {
    return p->subParts.partAt(i);
}

TEST(MailModel, HeaderReading) {
    MailMessage m;
    m.loadText(msg({"Subject: a", " \t  b", "X-A: 1", "   ", "X-B: 2", "", "body"}));
    EXPECT_EQ(m.headerLines, (StringList{"Subject: a b", "X-A: 1", "X-B: 2"}));
    EXPECT_EQ(m.rawBody, "body\r\n");

    // A first line that starts with a blank is a field line of its own.
    m.loadText(msg({" foo:  x", "Subject: y", "", "b"}));
    EXPECT_EQ(m.headerLines, (StringList{"foo: x", "Subject: y"}));

    // No empty line after the header: no body.
    m.loadText("Subject: a\r\nX-B: b");
    EXPECT_EQ(m.headerLines.size(), 2u);
    EXPECT_EQ(m.rawBody, "");

    // The text ends at its first zero byte.
    m.loadText("Subject: a\r\n\r\nab\0cd"s);
    EXPECT_EQ(m.rawBody, "ab");

    m.loadText("");
    EXPECT_TRUE(m.headerLines.empty());
    EXPECT_EQ(m.rawBody, "");
}

TEST(MailModel, SinglePartBodies) {
    struct Case {
        std::string text;
        StringList textLines, htmlLines;
        bool isAttachment;
    };
    const std::vector<Case> cases = {
        // No Content-Type and no begin line: the whole body, taken as plain text.
        {msg({"Subject: s", "", "line 1", "line 2"}), {"line 1", "line 2"}, {}, false},
        {msg({"Content-Type: text/html", "", "<p>x</p>"}), {}, {"<p>x</p>"}, false},
        {msg({"Content-Type: TEXT", "", "a"}), {"a"}, {}, false},
        {msg({"Content-Type: text/plain", "Content-Transfer-Encoding: quoted-printable", "",
              "a=3Db=", "c"}),
         {"a=bc"},
         {},
         false},
        {msg({"Content-Type: text/plain", "Content-Transfer-Encoding: BASE64", "", "YQ1iCmMNCg=="}),
         {"a", "b", "c"},
         {},
         false},
        // Not text, or nothing to show: the message itself is the attachment.
        {msg({"Content-Type: image/gif", "", "GIF89a"}), {}, {}, true},
        {msg({"Content-Type: text/plain", ""}), {}, {}, true},
        {msg({"Content-Type: text/enriched", "", "x"}), {}, {}, true},
    };
    for (const auto& c : cases) {
        MailMessage m;
        m.loadText(c.text);
        m.locateBodies();
        EXPECT_EQ(m.textLines, c.textLines) << c.text;
        EXPECT_EQ(m.htmlLines, c.htmlLines) << c.text;
        ASSERT_EQ(m.attachments.count(), c.isAttachment ? 1u : 0u) << c.text;
        if (c.isAttachment) {
            EXPECT_EQ(m.attachments.partAt(0), &m);
            EXPECT_FALSE(m.isEmbedded);
        }
    }
}

TEST(MailModel, MultipartScan) {
    MailMessage m;
    m.loadText(msg({"Content-Type: multipart/mixed; boundary=\"b\"", "", "preamble", "--b",
                    "Content-Type: text/plain", "", "one", "", "--b2", "", "--b", "--b",
                    "Content-Type: text/plain", "", "three", "--b--x", "epilogue"}));
    EXPECT_EQ(m.rawBody, "preamble\r\n");
    // --b2 is a delimiter line by prefix, --b--x a closing one; two delimiter lines
    // in a row make no part, a single empty line an empty one.
    ASSERT_EQ(m.subParts.count(), 3u);
    EXPECT_EQ(child(&m, 0)->rawBody, "one\r\n\r\n");  // up to and including the CR LF
    EXPECT_EQ(child(&m, 0)->parentBoundary, "b");
    EXPECT_EQ(child(&m, 0)->parentPart, &m);
    EXPECT_EQ(child(&m, 0)->ownerMessage, &m);
    EXPECT_TRUE(child(&m, 1)->headerLines.empty());
    EXPECT_EQ(child(&m, 1)->rawBody, "");
    EXPECT_EQ(child(&m, 2)->rawBody, "three\r\n");

    // Without a boundary parameter every line starting with "--" is a delimiter.
    m.loadText(msg({"Content-Type: multipart/mixed", "", "--", "", "a", "--x", "", "b", "----"}));
    ASSERT_EQ(m.subParts.count(), 2u);
    EXPECT_EQ(child(&m, 0)->rawBody, "a\r\n");
    EXPECT_EQ(child(&m, 1)->rawBody, "b\r\n");

    // A delimiter that never occurs leaves the whole body as preamble.
    m.loadText(msg({"Content-Type: multipart/mixed; boundary=zz", "", "a", "--b", "c"}));
    EXPECT_EQ(m.subParts.count(), 0u);
    EXPECT_EQ(m.rawBody, "a\r\n--b\r\nc\r\n");

    // A closing delimiter first still opens the first part.
    m.loadText(msg({"Content-Type: multipart/mixed; boundary=b", "", "--b--", "", "x", "--b--"}));
    ASSERT_EQ(m.subParts.count(), 1u);
    EXPECT_EQ(child(&m, 0)->rawBody, "x\r\n");
}

TEST(MailModel, MissingClosingDelimiterKeepsLastPart) {
    MailMessage m;
    m.loadText(msg({"Content-Type: multipart/alternative; boundary=b", "", "--b",
                    "Content-Type: text/plain", "", "plain", "--b", "Content-Type: text/html", "",
                    "<b>html</b>"}));
    ASSERT_EQ(m.subParts.count(), 2u);
    EXPECT_EQ(child(&m, 1)->rawBody, "<b>html</b>\r\n");
    m.locateBodies();
    EXPECT_EQ(m.textLines, StringList{"plain"});
    EXPECT_EQ(m.htmlLines, StringList{"<b>html</b>"});

    // Also when the text stops without a final line break.
    m.loadText("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nlast");
    ASSERT_EQ(m.subParts.count(), 1u);
    EXPECT_EQ(child(&m, 0)->rawBody, "last");
}

// The shape of a part tree as text: headers, raw body and boundary of every part.
std::string treeShape(const MailPart* p, int depth = 0) {
    std::string out = std::string(static_cast<std::size_t>(depth) * 2, ' ') + "[" +
                      p->parentBoundary + "] ";
    for (const auto& h : p->headerLines) out += h + "|";
    out += " body=\"" + p->rawBody + "\"\n";
    for (std::size_t i = 0; i < p->subParts.count(); ++i) out += treeShape(child(p, i), depth + 1);
    return out;
}

TEST(MailModel, OpenMultipartReadsAsItsClosedTwin) {
    const std::string mixed = "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
    const std::string alt = "Content-Type: multipart/alternative; boundary=i\r\n\r\n";
    struct Case {
        const char* what;
        std::string open, closed;
    };
    const std::vector<Case> cases = {
        {"last part is a header and the empty line",
         mixed + "--b\r\nContent-Type: text/plain\r\n\r\n\r\n",
         mixed + "--b\r\nContent-Type: text/plain\r\n\r\n\r\n--b--\r\n"},
        {"last part without header, message ends in CR LF CR LF",
         mixed + "--b\r\nContent-Type: text/plain\r\n\r\nx\r\n--b\r\n\r\n\r\n",
         mixed + "--b\r\nContent-Type: text/plain\r\n\r\nx\r\n--b\r\n\r\n\r\n--b--"},
        {"body with a trailing empty line",
         mixed + "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n\r\n",
         mixed + "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n\r\n--b--"},
        {"body ending in one CR LF", mixed + "--b\r\n\r\nhello\r\n",
         mixed + "--b\r\n\r\nhello\r\n--b--\r\n"},
        {"delimiter as the message's last line", mixed + "--b\r\n\r\nx\r\n--b\r\n",
         mixed + "--b\r\n\r\nx\r\n--b\r\n--b--\r\n"},
        {"nested: its only delimiter, then an empty line",
         mixed + "--b\r\n" + alt + "--i\r\n\r\n--b--\r\n",
         mixed + "--b\r\n" + alt + "--i\r\n\r\n--i--\r\n--b--\r\n"},
        {"nested: its only delimiter as its last line", mixed + "--b\r\n" + alt + "--i\r\n--b--\r\n",
         mixed + "--b\r\n" + alt + "--i\r\n--i--\r\n--b--\r\n"},
        {"nested: last part with a body",
         mixed + "--b\r\n" + alt + "--i\r\nContent-Type: text/html\r\n\r\n<p>x\r\n\r\n--b\r\n\r\nz\r\n--b--",
         mixed + "--b\r\n" + alt +
             "--i\r\nContent-Type: text/html\r\n\r\n<p>x\r\n\r\n--i--\r\n--b\r\n\r\nz\r\n--b--"},
        {"nested and outer open, message ends in CR LF CR LF",
         mixed + "--b\r\n" + alt + "--i\r\nContent-Type: text/plain\r\n\r\n\r\n",
         mixed + "--b\r\n" + alt + "--i\r\nContent-Type: text/plain\r\n\r\n\r\n--i--\r\n--b--"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MailMessage open, closed;
        open.loadText(c.open);
        closed.loadText(c.closed);
        EXPECT_EQ(treeShape(&open), treeShape(&closed));
        open.locateBodies();
        closed.locateBodies();
        EXPECT_EQ(open.textLines, closed.textLines);
        EXPECT_EQ(open.htmlLines, closed.htmlLines);
        EXPECT_EQ(open.attachments.count(), closed.attachments.count());
    }
}

TEST(MailModel, LocateShapes) {
    {
        // mixed -> alternative (plain + html) + pdf
        MailMessage m;
        m.loadText(msg({"Content-Type: multipart/mixed; boundary=outer",
                        "",
                        "--outer",
                        "Content-Type: multipart/alternative; boundary=inner",
                        "",
                        "--inner",
                        "Content-Type: text/plain",
                        "",
                        "plain text",
                        "--inner",
                        "Content-Type: text/html",
                        "",
                        "<p>html</p>",
                        "--inner--",
                        "--outer",
                        "Content-Type: application/pdf",
                        "Content-Transfer-Encoding: base64",
                        "",
                        "JVBERg==",
                        "--outer--"}));
        m.locateBodies();
        EXPECT_EQ(m.mixedPart, &m);
        EXPECT_EQ(m.alternativePart, child(&m, 0));
        EXPECT_EQ(m.textLines, StringList{"plain text"});
        EXPECT_EQ(m.htmlLines, StringList{"<p>html</p>"});
        EXPECT_EQ(m.textPart, child(child(&m, 0), 0));
        EXPECT_EQ(m.htmlPart, child(child(&m, 0), 1));
        ASSERT_EQ(m.attachments.count(), 1u);
        MailPart* pdf = m.attachments.partAt(0);
        EXPECT_EQ(pdf, child(&m, 1));
        EXPECT_FALSE(pdf->isEmbedded);
        EXPECT_FALSE(pdf->isDecoded);  // attachments are decoded only on demand
        EXPECT_TRUE(pdf->decodeBody());
        EXPECT_EQ(pdf->decodedBody, "%PDF");
    }
    {
        // related -> html + gif: the picture is embedded
        MailMessage m;
        m.loadText(msg({"Content-Type: multipart/related; boundary=r", "", "--r",
                        "Content-Type: text/html", "", "<img src=cid:p>", "--r",
                        "Content-Type: image/gif", "Content-ID: <p>", "", "GIF", "--r--"}));
        m.locateBodies();
        EXPECT_EQ(m.relatedPart, &m);
        EXPECT_EQ(m.htmlLines, StringList{"<img src=cid:p>"});
        EXPECT_TRUE(m.textLines.empty());
        ASSERT_EQ(m.attachments.count(), 1u);
        EXPECT_TRUE(m.attachments.partAt(0)->isEmbedded);
        EXPECT_EQ(m.attachments.partAt(0)->headerValue("Content-ID"), "<p>");
    }
    {
        // mixed -> plain + plain: the second is an attachment
        MailMessage m;
        m.loadText(
            msg({"Content-Type: multipart/mixed; boundary=m", "", "--m", "Content-Type: text/plain",
                 "", "first", "--m", "Content-Type: text/plain", "", "second", "--m--"}));
        m.locateBodies();
        EXPECT_EQ(m.textLines, StringList{"first"});
        ASSERT_EQ(m.attachments.count(), 1u);
        EXPECT_EQ(m.attachments.partAt(0), child(&m, 1));
    }
    {
        // mixed -> alternative first, then a plain part: once an alternative part has
        // been met, text in the mixed part no longer becomes a body.
        MailMessage m;
        m.loadText(msg({"Content-Type: multipart/mixed; boundary=m", "", "--m",
                        "Content-Type: multipart/alternative; boundary=a", "", "--a",
                        "Content-Type: text/html", "", "<i>h</i>", "--a--", "--m",
                        "Content-Type: text/plain", "", "note", "--m", "", "untyped", "--m--"}));
        m.locateBodies();
        EXPECT_TRUE(m.textLines.empty());
        EXPECT_EQ(m.htmlLines, StringList{"<i>h</i>"});
        ASSERT_EQ(m.attachments.count(), 2u);
        EXPECT_EQ(m.attachments.partAt(0), child(&m, 1));
        EXPECT_EQ(m.attachments.partAt(1), child(&m, 2));
    }
    {
        // A second container of a kind already met is passed through.
        MailMessage m;
        m.loadText(msg({"Content-Type: multipart/mixed; boundary=m", "", "--m",
                        "Content-Type: multipart/mixed; boundary=n", "", "--n",
                        "Content-Type: text/plain", "", "deep", "--n--", "--m--"}));
        m.locateBodies();
        EXPECT_EQ(m.mixedPart, &m);
        EXPECT_TRUE(m.textLines.empty());  // its parent is not the first mixed part
        ASSERT_EQ(m.attachments.count(), 1u);
        EXPECT_EQ(m.attachments.partAt(0), child(child(&m, 0), 0));
    }
}

TEST(MailModel, UUEncodedMessage) {
    MailMessage m;
    m.loadText(msg({"Subject: old style", "", "Hello", "begin 644 a b.txt", "#0V%T", "`", "end",
                    "dropped text", "begin 600 second.gif", "end", "after"}));
    ASSERT_EQ(m.headerLines.size(), 2u);
    EXPECT_EQ(m.headerLines[0], "Subject: old style");
    const std::string boundary = m.boundaryParam();
    ASSERT_EQ(boundary.size(), 16u);
    EXPECT_EQ(m.headerLines[1], "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"");
    EXPECT_EQ(m.rawBody, "Hello\r\n");

    ASSERT_EQ(m.subParts.count(), 3u);
    MailPart* text = child(&m, 0);
    EXPECT_EQ(text->headerLines, (StringList{"Content-Type: text/plain; charset=\"iso-8859-1\"",
                                              "Content-Transfer-Encoding: quoted-printable"}));
    EXPECT_EQ(text->parentBoundary, boundary);
    EXPECT_EQ(text->rawBody, "Hello\r\n");

    MailPart* file = child(&m, 1);
    const std::string name = "\"=?iso-8859-1?Q?a=20b.txt?=\"";
    EXPECT_EQ(file->headerLines, (StringList{"Content-Type: text/plain; name=" + name,
                                              "Content-Transfer-Encoding: base64",
                                              "Content-Disposition: attachment; filename=" + name,
                                              "X-Lumbrook-Attachment: " + name + "; embedded=no"}));
    EXPECT_EQ(file->parentBoundary, boundary);
    EXPECT_EQ(file->decodedBody, "Cat");
    EXPECT_EQ(file->rawBody, "Q2F0\r\n");
    EXPECT_FALSE(file->isDecoded);

    // A begin line followed directly by its end line: an empty file.
    MailPart* empty = child(&m, 2);
    EXPECT_EQ(empty->headerValue("Content-Type"), "image/gif");
    EXPECT_EQ(empty->decodedBody, "");
    EXPECT_EQ(empty->rawBody, "");

    m.locateBodies();
    EXPECT_EQ(m.textLines, StringList{"Hello"});
    ASSERT_EQ(m.attachments.count(), 2u);
    EXPECT_EQ(m.attachments.partAt(0), file);
    file->decodeBody();
    EXPECT_EQ(file->decodedBody, "Cat");
    // Text after the last end line is kept nowhere.
    for (const MailPart* p : std::vector<const MailPart*>{&m, text, file, empty})
        EXPECT_EQ(p->rawBody.find("after"), std::string::npos);
}

TEST(MailModel, UUEncodedWithoutLeadingText) {
    MailMessage m;
    m.loadText(msg({"Subject: x", "", "begin 644 cat.bin", "#0V%T", "end"}));
    ASSERT_EQ(m.subParts.count(), 2u);
    m.locateBodies();
    EXPECT_TRUE(m.textLines.empty());
    ASSERT_EQ(m.attachments.count(), 2u);
    EXPECT_EQ(m.attachments.partAt(0), child(&m, 0));  // the empty text part
    EXPECT_EQ(m.attachments.partAt(1)->headerValue("Content-Type"), "application/octet-stream");
    EXPECT_EQ(m.attachments.partAt(1)->headerParam("Content-Disposition", "filename"), "cat.bin");

    // A data block that never ends is dropped; the text part stays.
    m.loadText(msg({"", "text", "begin 644 f.txt", "#0V%T"}));
    EXPECT_EQ(m.subParts.count(), 1u);
}

TEST(MailModel, DecodeBody) {
    MailMessage m;
    m.loadText(msg({"Content-Transfer-Encoding: Quoted-Printable", "", "caf=E9"}));
    EXPECT_TRUE(m.decodeBody());
    EXPECT_EQ(m.decodedBody, "caf\xE9\r\n");
    m.rawBody = "changed";
    m.decodeBody();  // decodes once per parse
    EXPECT_EQ(m.decodedBody, "caf\xE9\r\n");

    m.loadText(msg({"Content-Transfer-Encoding: x-uuencode", "Content-Type: application/x", "",
                    "begin 644 c", "  #0V%T", "`", "end"}));
    m.decodeBody();
    EXPECT_EQ(m.decodedBody, "Cat");
    EXPECT_EQ(m.rawBody, "Q2F0\r\n");
    EXPECT_EQ(m.headerValue("Content-Transfer-Encoding"), "base64");

    m.loadText(msg({"Content-Transfer-Encoding: 8bit", "", "as is=41"}));
    m.decodeBody();
    EXPECT_EQ(m.decodedBody, "as is=41\r\n");

    // Base64 lines of 76 characters decode like the whole body at once.
    std::string data;
    for (int i = 0; i < 5000; ++i) data += static_cast<char>(i * 31 % 251);
    std::string encoded;
    base64EncodeStream(data, encoded);
    m.loadText("Content-Transfer-Encoding: base64\r\n\r\n" + encoded);
    m.decodeBody();
    EXPECT_EQ(m.decodedBody, data);
}

TEST(MailModel, PartWithoutOwnerRefusesToParse) {
    MailPart part;
    part.name = "Part7";
    part.headerLines = {"X: kept"};
    try {
        part.parseText("Subject: x\r\n\r\nbody", true);
        FAIL() << "no error";
    } catch (const LumbrookError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::PartWithoutOwner);
        EXPECT_EQ(e.argument(), "Part7");
    }
    EXPECT_EQ(part.headerLines, StringList{"X: kept"});

    MailMessage message;
    MailPart owned(&message);
    owned.parseText("Subject: x\r\n\r\nbody", true);
    EXPECT_EQ(owned.rawBody, "body");
    EXPECT_TRUE(message.needsLocate);
}

TEST(MailModel, ReloadDropsReferencesIntoOldTree) {
    const std::string text =
        msg({"Content-Type: multipart/mixed; boundary=m", "", "--m", "Content-Type: text/plain", "",
             "body", "--m", "Content-Type: image/png", "", "PNG", "--m--"});
    MailMessage m;
    m.loadText(text);
    m.locateBodies();
    ASSERT_EQ(m.attachments.count(), 1u);
    m.loadText("Subject: new\r\n\r\nnew body");
    EXPECT_TRUE(m.needsLocate);
    EXPECT_EQ(m.attachments.count(), 0u);
    EXPECT_EQ(m.textPart, nullptr);
    EXPECT_EQ(m.mixedPart, nullptr);
    m.locateBodies();
    EXPECT_FALSE(m.needsLocate);
    EXPECT_EQ(m.textLines, StringList{"new body"});

    // A text that lies inside the tree being replaced.
    m.loadText(text);
    m.loadText(child(&m, 0)->rawBody);
    EXPECT_EQ(m.headerLines, StringList{"Body "});
    m.loadText("Subject: x\r\n\r\nBody");
    m.loadText(m.rawBody);
    ASSERT_EQ(m.headerLines, StringList{"Body "});
    m.loadText(m.headerLines[0]);
    EXPECT_EQ(m.headerLines, StringList{"Body "});

    // Re-parsing one part drops the located references too.
    m.loadText(text);
    m.locateBodies();
    child(&m, 0)->parseText("Content-Type: text/plain\r\n\r\nother", true);
    EXPECT_TRUE(m.needsLocate);
    EXPECT_EQ(m.textPart, nullptr);
    m.locateBodies();
    EXPECT_EQ(m.textLines, StringList{"other"});
}

TEST(MailModel, LineSplittingOfBodies) {
    MailMessage m;
    m.loadText(
        "Content-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        "a=0Db=0Ac=0D=0A=0D=0Ad=00e\r\n");
    m.locateBodies();
    EXPECT_EQ(m.textLines, (StringList{"a", "b", "c", "", "d"}));
}

TEST(MailModel, Progress) {
    MailMessage message;
    std::vector<int> currents;
    int pumps = 0, total = -1;
    message.onProgress = [&](MailMessage* sender, int t, int current) {
        EXPECT_EQ(sender, &message);
        total = t;
        currents.push_back(current);
    };
    message.onProcessMessages = [&] { ++pumps; };
    const std::string text =
        msg({"Content-Type: multipart/mixed; boundary=m", "", "--m", "", "x", "--m--"});
    message.loadText(text);
    EXPECT_EQ(total, static_cast<int>(text.size()));
    ASSERT_GE(currents.size(), 3u);
    EXPECT_EQ(currents.front(), 0);
    EXPECT_EQ(currents[1], 1);
    EXPECT_EQ(currents.back(), total);
    EXPECT_EQ(pumps, static_cast<int>(currents.size()));
    for (std::size_t i = 1; i < currents.size(); ++i) EXPECT_GT(currents[i], currents[i - 1]);
    EXPECT_EQ(message.subParts.count(), 1u);  // reporting changes nothing in the result
}

TEST(MailModel, DeepNestingIsCapped) {
    constexpr int Levels = 100000;
    std::string text;
    text.reserve(Levels * 64);
    // Boundaries of equal length, so that none is a prefix of another.
    auto boundary = [](int i) {
        std::string digits = std::to_string(i);
        return "b" + std::string(6 - digits.size(), '0') + digits;
    };
    for (int i = 0; i < Levels; ++i)
        text += "Content-Type: multipart/mixed; boundary=" + boundary(i) + "\r\n\r\n--" +
                boundary(i) + "\r\n";
    text += "Content-Type: text/plain\r\n\r\ninnermost\r\n";
    for (int i = Levels - 1; i >= 0; --i) text += "--" + boundary(i) + "--\r\n";

    MailMessage m;
    m.loadText(text);
    m.locateBodies();
    int depth = 0;
    const MailPart* p = &m;
    while (!p->subParts.empty()) {
        ASSERT_EQ(p->subParts.count(), 1u);
        p = p->subParts.partAt(0);
        ++depth;
    }
    EXPECT_EQ(depth, MaxPartDepth);
    // The deepest part keeps the rest of the nesting as its body.
    EXPECT_EQ(p->mediaType(), "multipart/mixed");
    EXPECT_NE(p->rawBody.find("innermost"), std::string::npos);
    EXPECT_EQ(m.attachments.count(), 1u);
    EXPECT_EQ(m.attachments.partAt(0), p);
}

}  // namespace
}  // namespace lumbrook
