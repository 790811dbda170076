#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mime/MailHeaders.h"
#include "mime/MailModel.h"

namespace lumbrook {
namespace {

struct Case {
    std::string in;
    std::string out;
};

TEST(MailHeaders, NormalizeHeaderLine) {
    const std::vector<Case> cases = {
        {"content-type:text/plain", "Content-Type: text/plain"},
        {"content-type:   TEXT/Plain", "Content-Type: TEXT/Plain"},
        {"MIME-VERSION: 1.0", "Mime-Version: 1.0"},
        {"mime-version: 1.0", "Mime-Version: 1.0"},
        {"message-id: <a@b>", "Message-ID: <a@b>"},
        {"Message-Id:<a@b>", "Message-ID: <a@b>"},
        {"content-id: <x>", "Content-ID: <x>"},
        {"X-Id-Field: v", "X-Id-Field: v"},
        {"X-Paid: 1", "X-Paid: 1"},
        {"Subject: a  \t b", "Subject: a b"},
        {"Subject: a\tb", "Subject: a\tb"},
        {"Subject:\tvalue\t", "Subject: value\t"},
        {"Subject: a \"x   y\"  z", "Subject: a \"x   y\" z"},
        {"Subject: say \"never  closed; x", "Subject: say"},
        {"Subject: \"a:b\"", "Subject: \"a:b\""},
        {"NoColonHere", "Nocolonhere "},
        {"X-\"Q\"-A: b", "X-\"q\"-A: b"},
        {"subject : x", "Subject : x"},
        {"Subject: x: y", "Subject: x: y"},
        {"Subject:", "Subject: "},
    };
    for (const auto& c : cases) EXPECT_EQ(normalizeHeaderLine(c.in), c.out) << c.in;
}

TEST(MailHeaders, FindHeaderLine) {
    const StringList lines = {"Subject: a", "X: 1", "subject: b", "Sub"};
    EXPECT_EQ(findHeaderLine(lines, "SUBJECT:", 0), 0);
    EXPECT_EQ(findHeaderLine(lines, "SUBJECT:", 1), 2);
    EXPECT_EQ(findHeaderLine(lines, "SUBJECT:", 2), -1);
    EXPECT_EQ(findHeaderLine(lines, "x:", 0), 1);
    EXPECT_EQ(findHeaderLine(lines, "Subject-Long:", 0), -1);
    EXPECT_EQ(findHeaderLine(lines, "Sub", 2), 3);  // prefixes need no colon
}

TEST(MailHeaders, ValueBeforeParams) {
    const std::vector<Case> cases = {
        {"Content-Type: text/plain; charset=x", "text/plain"},
        {"X: \"a;b\"; c", "a;b"},
        {"X: \"quoted\"", "quoted"},
        {"X: a:b", "a:b"},
        {"X:   spaced  ", "spaced"},
        {"NoColon", ""},
        {"X-\"a:b\": c", "c"},
    };
    for (const auto& c : cases) EXPECT_EQ(valueBeforeParams(c.in), c.out) << c.in;
}

TEST(MailHeaders, FindParam) {
    struct ParamCase {
        std::string line, name, value;
    };
    const std::vector<ParamCase> cases = {
        {"Content-Type: multipart/mixed; type=\"x\"; boundary=\"a;b=c\"", "boundary", "a;b=c"},
        {"Content-Type: multipart/mixed; boundary=abc=def", "boundary", "abc"},
        {"Content-Type: multipart/mixed;  BOUNDARY = x ", "boundary", "x"},
        {"Content-Type: text/plain; charset=x", " Charset ", "x"},
        {"X: a; name=a; name=b", "name", "ab"},
        {"X: a; charset=x", "missing", ""},
        {"X: a; b", "b", ""},
        {"X: a; url=http://x", "url", "http://x"},
        {"X: p=1; q=2", "p", ""},  // parameters start after the value
        {"X: \"v;p=1\"; p=2", "p", "2"},
    };
    for (const auto& c : cases) EXPECT_EQ(findParam(c.line, c.name), c.value) << c.line;
}

TEST(MailHeaders, ReplaceValueAndParam) {
    EXPECT_EQ(replaceValue("Content-Type: text/plain; charset=x", "text/html"),
              "Content-Type: text/html; charset=x");
    EXPECT_EQ(replaceValue("X: \"a;b\" c; d", "v"), "X: v; d");
    EXPECT_EQ(replaceValue("X: ", " v "), "X: v");
    EXPECT_EQ(replaceValue("NoColon", "v"), "NoColon");

    EXPECT_EQ(replaceParam("Content-Type: text/plain", "charset", "\"x\""),
              "Content-Type: text/plain; charset=\"x\"");
    EXPECT_EQ(replaceParam("Content-Type: text/plain; charset=\"x\"", "charset", "y"),
              "Content-Type: text/plain; charset=y");
    EXPECT_EQ(replaceParam("X: a; b=1; c=2", "B", " 9 "), "X: a; b=9; c=2");
    EXPECT_EQ(replaceParam("X: a; b=\"1;2\"; c=3", "b", "4"), "X: a; b=4; c=3");
    EXPECT_EQ(replaceParam("X: a;", "p", "1"), "X: a; p=1");
    EXPECT_EQ(replaceParam("X: a; b=1; b=2", "b", "3"), "X: a; b=3; b=2");
}

TEST(MailHeaders, EncodeWordQ) {
    EXPECT_EQ(encodeWordQ("file.txt", "iso-8859-1"), "file.txt");
    EXPECT_EQ(encodeWordQ("a b.txt", "iso-8859-1"), "=?iso-8859-1?Q?a=20b.txt?=");
    EXPECT_EQ(encodeWordQ("\xE4rger_1.doc", "utf-8"), "=?utf-8?Q?=E4rger=5F1.doc?=");
}

TEST(MailHeaders, MimeTypeForFile) {
    const std::vector<Case> cases = {
        {"a.txt", "text/plain"},
        {"A.TXT", "text/plain"},
        {"photo.Jpg", "image/jpeg"},
        {"c:report.pdf", "application/pdf"},
        {"x.y.gif", "image/gif"},
        {"file.no-such-extension", "application/octet-stream"},
        {"noext", "application/octet-stream"},
        {"trailingdot.", "application/octet-stream"},
        {"dir.d\\file", "application/octet-stream"},
        {"", "application/octet-stream"},
    };
    for (const auto& c : cases) EXPECT_EQ(mimeTypeForFile(c.in), c.out) << c.in;
}

TEST(MailHeaders, PartHeaderOperations) {
    MailMessage message;
    message.loadText(
        "content-type:   TEXT/Plain; charset=\"x\"\r\n"
        "Message-Id: <1@x>\r\n"
        "X-Quote: 'x'\r\n"
        "X-Empty: ''\r\n"
        "X-Long: \"a b\"\r\n"
        "\r\n");
    EXPECT_EQ(message.headerLines[0], "Content-Type: TEXT/Plain; charset=\"x\"");
    EXPECT_EQ(message.headerLines[1], "Message-ID: <1@x>");
    EXPECT_EQ(message.headerValue("CONTENT-TYPE"), "TEXT/Plain");
    EXPECT_EQ(message.mediaType(), "text/plain");
    EXPECT_EQ(message.headerParam("content-type", "CHARSET"), "x");
    EXPECT_EQ(message.headerValue("X-Quote"), "x");
    EXPECT_EQ(message.headerValue("X-Empty"), "''");
    message.headerLines.push_back("X-Mixed: \"abc'");  // parsing drops an unclosed quote
    EXPECT_EQ(message.headerValue("X-Mixed"), "abc");
    EXPECT_EQ(message.headerValue("X-Long"), "a b");
    EXPECT_EQ(message.headerValue("X-Missing"), "");
    EXPECT_EQ(message.headerParam("X-Missing", "p"), "");
    EXPECT_TRUE(message.hasHeader("message-id"));
    EXPECT_FALSE(message.hasHeader("Message"));  // the colon is part of the lookup

    message.setHeaderValue("Content-Type", "text/html");
    EXPECT_EQ(message.headerLines[0], "Content-Type: text/html; charset=\"x\"");
    message.setHeaderValue("X-New", "");  // missing and empty: nothing happens
    EXPECT_FALSE(message.hasHeader("X-New"));
    message.setHeaderValue("X-New", " v ");
    EXPECT_EQ(message.headerLines.back(), "X-New: v");
    message.setHeaderValue("x-new", "");
    EXPECT_FALSE(message.hasHeader("X-New"));

    message.setHeaderValue("Content-Type", "");
    message.setHeaderValue("Content-Type", "text/plain");
    message.setHeaderParam("Content-Type", "charset", "\"iso-8859-1\"");
    EXPECT_EQ(message.headerLines.back(), "Content-Type: text/plain; charset=\"iso-8859-1\"");
    message.setHeaderParam("Content-Type", "charset", "utf-8");
    EXPECT_EQ(message.headerLines.back(), "Content-Type: text/plain; charset=utf-8");
    message.setHeaderParam("X-Fresh", "p", "1");
    EXPECT_EQ(message.headerLines.back(), "X-Fresh:; p=1");
}

}  // namespace
}  // namespace lumbrook
