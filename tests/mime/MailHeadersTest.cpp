#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mime/MailHeaders.h"
#include "mime/MailModel.h"

namespace lumbrook {
namespace {

struct TCase {
    std::string In;
    std::string Out;
};

TEST(MailHeaders, NormalizeHeaderLine) {
    const std::vector<TCase> Cases = {
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
    for (const auto& C : Cases) EXPECT_EQ(NormalizeHeaderLine(C.In), C.Out) << C.In;
}

TEST(MailHeaders, FindHeaderLine) {
    const TStringList Lines = {"Subject: a", "X: 1", "subject: b", "Sub"};
    EXPECT_EQ(FindHeaderLine(Lines, "SUBJECT:", 0), 0);
    EXPECT_EQ(FindHeaderLine(Lines, "SUBJECT:", 1), 2);
    EXPECT_EQ(FindHeaderLine(Lines, "SUBJECT:", 2), -1);
    EXPECT_EQ(FindHeaderLine(Lines, "x:", 0), 1);
    EXPECT_EQ(FindHeaderLine(Lines, "Subject-Long:", 0), -1);
    EXPECT_EQ(FindHeaderLine(Lines, "Sub", 2), 3);  // prefixes need no colon
}

TEST(MailHeaders, ValueBeforeParams) {
    const std::vector<TCase> Cases = {
        {"Content-Type: text/plain; charset=x", "text/plain"},
        {"X: \"a;b\"; c", "a;b"},
        {"X: \"quoted\"", "quoted"},
        {"X: a:b", "a:b"},
        {"X:   spaced  ", "spaced"},
        {"NoColon", ""},
        {"X-\"a:b\": c", "c"},
    };
    for (const auto& C : Cases) EXPECT_EQ(ValueBeforeParams(C.In), C.Out) << C.In;
}

TEST(MailHeaders, FindParam) {
    struct TParamCase {
        std::string Line, Name, Value;
    };
    const std::vector<TParamCase> Cases = {
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
    for (const auto& C : Cases) EXPECT_EQ(FindParam(C.Line, C.Name), C.Value) << C.Line;
}

TEST(MailHeaders, ReplaceValueAndParam) {
    EXPECT_EQ(ReplaceValue("Content-Type: text/plain; charset=x", "text/html"),
              "Content-Type: text/html; charset=x");
    EXPECT_EQ(ReplaceValue("X: \"a;b\" c; d", "v"), "X: v; d");
    EXPECT_EQ(ReplaceValue("X: ", " v "), "X: v");
    EXPECT_EQ(ReplaceValue("NoColon", "v"), "NoColon");

    EXPECT_EQ(ReplaceParam("Content-Type: text/plain", "charset", "\"x\""),
              "Content-Type: text/plain; charset=\"x\"");
    EXPECT_EQ(ReplaceParam("Content-Type: text/plain; charset=\"x\"", "charset", "y"),
              "Content-Type: text/plain; charset=y");
    EXPECT_EQ(ReplaceParam("X: a; b=1; c=2", "B", " 9 "), "X: a; b=9; c=2");
    EXPECT_EQ(ReplaceParam("X: a; b=\"1;2\"; c=3", "b", "4"), "X: a; b=4; c=3");
    EXPECT_EQ(ReplaceParam("X: a;", "p", "1"), "X: a; p=1");
    EXPECT_EQ(ReplaceParam("X: a; b=1; b=2", "b", "3"), "X: a; b=3; b=2");
}

TEST(MailHeaders, EncodeWordQ) {
    EXPECT_EQ(EncodeWordQ("file.txt", "iso-8859-1"), "file.txt");
    EXPECT_EQ(EncodeWordQ("a b.txt", "iso-8859-1"), "=?iso-8859-1?Q?a=20b.txt?=");
    EXPECT_EQ(EncodeWordQ("\xE4rger_1.doc", "utf-8"), "=?utf-8?Q?=E4rger=5F1.doc?=");
}

TEST(MailHeaders, MimeTypeForFile) {
    const std::vector<TCase> Cases = {
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
    for (const auto& C : Cases) EXPECT_EQ(MimeTypeForFile(C.In), C.Out) << C.In;
}

TEST(MailHeaders, PartHeaderOperations) {
    TMailMessage Message;
    Message.LoadText(
        "content-type:   TEXT/Plain; charset=\"x\"\r\n"
        "Message-Id: <1@x>\r\n"
        "X-Quote: 'x'\r\n"
        "X-Empty: ''\r\n"
        "X-Long: \"a b\"\r\n"
        "\r\n");
    EXPECT_EQ(Message.HeaderLines[0], "Content-Type: TEXT/Plain; charset=\"x\"");
    EXPECT_EQ(Message.HeaderLines[1], "Message-ID: <1@x>");
    EXPECT_EQ(Message.HeaderValue("CONTENT-TYPE"), "TEXT/Plain");
    EXPECT_EQ(Message.MediaType(), "text/plain");
    EXPECT_EQ(Message.HeaderParam("content-type", "CHARSET"), "x");
    EXPECT_EQ(Message.HeaderValue("X-Quote"), "x");
    EXPECT_EQ(Message.HeaderValue("X-Empty"), "''");
    Message.HeaderLines.push_back("X-Mixed: \"abc'");  // parsing drops an unclosed quote
    EXPECT_EQ(Message.HeaderValue("X-Mixed"), "abc");
    EXPECT_EQ(Message.HeaderValue("X-Long"), "a b");
    EXPECT_EQ(Message.HeaderValue("X-Missing"), "");
    EXPECT_EQ(Message.HeaderParam("X-Missing", "p"), "");
    EXPECT_TRUE(Message.HasHeader("message-id"));
    EXPECT_FALSE(Message.HasHeader("Message"));  // the colon is part of the lookup

    Message.SetHeaderValue("Content-Type", "text/html");
    EXPECT_EQ(Message.HeaderLines[0], "Content-Type: text/html; charset=\"x\"");
    Message.SetHeaderValue("X-New", "");  // missing and empty: nothing happens
    EXPECT_FALSE(Message.HasHeader("X-New"));
    Message.SetHeaderValue("X-New", " v ");
    EXPECT_EQ(Message.HeaderLines.back(), "X-New: v");
    Message.SetHeaderValue("x-new", "");
    EXPECT_FALSE(Message.HasHeader("X-New"));

    Message.SetHeaderValue("Content-Type", "");
    Message.SetHeaderValue("Content-Type", "text/plain");
    Message.SetHeaderParam("Content-Type", "charset", "\"iso-8859-1\"");
    EXPECT_EQ(Message.HeaderLines.back(), "Content-Type: text/plain; charset=\"iso-8859-1\"");
    Message.SetHeaderParam("Content-Type", "charset", "utf-8");
    EXPECT_EQ(Message.HeaderLines.back(), "Content-Type: text/plain; charset=utf-8");
    Message.SetHeaderParam("X-Fresh", "p", "1");
    EXPECT_EQ(Message.HeaderLines.back(), "X-Fresh:; p=1");
}

}  // namespace
}  // namespace lumbrook
