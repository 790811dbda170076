#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Charset.h"
#include "mime/HtmlToText.h"

namespace lumbrook {
namespace {

struct Case {
    std::string html, text;
};

TEST(HtmlToText, LaysOutTheText) {
    const std::vector<Case> cases = {
        {"", ""},
        {"<p>Hello <b>world</b></p><p>Second&nbsp;para &amp; &lt;more&gt; &euro;</p>",
         "Hello world\r\n\r\nSecond para & <more> €"},
        // Outlook Express: one <div> a line, <div>&nbsp;</div> for an empty one.
        {"<DIV><FONT face=Arial size=2>Hallo   Anna,\n  wie\tgeht's?</FONT></DIV>\n<DIV>&nbsp;</DIV>\n"
         "<DIV><FONT face=Arial size=2>Gruß</FONT></DIV>",
         "Hallo Anna, wie geht's?\r\n\r\nGruß"},
        // Thunderbird and webmail: <br> lines and <div><br></div> as empty lines.
        {"line 1<br>line 2<br><br><br><br>line 3<br>", "line 1\r\nline 2\r\n\r\nline 3"},
        {"<div>a</div><div><br></div><div>b</div>", "a\r\n\r\nb"},
        {"<html><head><title>Title</title><style>p { color: red }</style>"
         "<script>document.write('x')</script></head>"
         "<body><script type=text/javascript>var a = '<p>no</p>';</script><noscript>no</noscript>"
         "Text<template><p>no</p></template></body></html>",
         "Text"},
        {"<a href=\"http://example.org/page\">the page</a>, <a href='mailto:anna@example.org'>"
         "anna@example.org</a>, <a href=\"http://example.org/\">http://example.org/</a>, "
         "<a href=\"#top\">top</a>, <a href=\"http://e.org/\n  wrapped\"><img src=\"cid:x\"></a>",
         "the page <http://example.org/page>, anna@example.org, http://example.org/, top, "
         "<http://e.org/wrapped>"},
        {"<a href=\"http://x.org/\"><b>bold</b> <i>link</i></a> after",
         "bold link <http://x.org/> after"},
        {"Logo: <img src=a.png alt=\"  Our   Logo \"><img src=b.png> end", "Logo: Our Logo end"},
        {"<ul><li>one</li><li>two<ul><li>nested</li></ul></li></ul><ol><li>first<li>second</ol>after",
         "- one\r\n- two\r\n  - nested\r\n\r\n- first\r\n- second\r\n\r\nafter"},
        {"<table><tr><th>Name</th><th>Size</th></tr><tr><td>a.pdf</td><td> 12 kB </td></tr>"
         "<tr><td></td><td>only</td></tr></table>",
         "Name | Size\r\na.pdf | 12 kB\r\nonly"},
        // Layout tables: cells holding only a no-break space make no line.
        {"<table><tr><td>&nbsp;</td><td>x</td><td>&nbsp;</td></tr><tr><td>y</td></tr></table>", "x\r\ny"},
        {"<pre>\n  indented   code  \n\n\n\n  end</pre>after", "  indented   code\r\n\r\n  end\r\n\r\nafter"},
        {"<h1>Title</h1><blockquote>quoted</blockquote><hr><dl><dt>term<dd>meaning</dl>",
         "Title\r\n\r\nquoted\r\n\r\nterm\r\nmeaning"},
        {"<b>a</b> <i>b</i>", "a b"},
        {"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\"><body><b>a</b> <i>b</i></body>", "a b"},
        {"<p>  </p><p>&nbsp;</p>  text  <p> </p>", "text"},
        {"<p>unclosed <b>bold <i>both</p>text", "unclosed bold both\r\n\r\ntext"},
        {"a <!-- comment --> b", "a b"},
    };
    for (const auto& c : cases) EXPECT_EQ(htmlToText(c.html), c.text) << c.html;
}

TEST(HtmlToText, KeepsTextOfDamagedInput) {
    const std::string fffd = "\xEF\xBF\xBD";
    const std::vector<Case> cases = {
        {std::string("a\0b", 3), "a" + fffd + "b"},
        {"caf\xE9 <b>ok</b>", "caf" + fffd + " ok"},
        // The page's declaration does not matter any more: the text is UTF-8.
        {"<meta charset=iso-8859-1><p>Gr\xC3\xBC\xC3\x9F" "e</p>", "Grüße"},
        {"<p>cut off <a href=\"http://x", "cut off <http://x>"},
        {"if a < b && c > d &bogus; then", "if a < b && c > d &bogus; then"},
    };
    for (const auto& c : cases) EXPECT_EQ(htmlToText(c.html), c.text) << c.html;
}

TEST(HtmlToText, LargeInputKeepsEveryWordAndTheLineRules) {
    std::string html;
    std::size_t paragraphs = 0;
    while (html.size() < 8u << 20) {
        html += "<p class=MsoNormal><span style='font-size:10pt'>word" + std::to_string(paragraphs) +
                "</span>\t \r\n<o:p></o:p></p><div><table><tr><td>x</td></tr></table></div>";
        ++paragraphs;
    }
    html += std::string(20000, '<') + "div>";  // and a run of stray brackets
    const std::string text = htmlToText(html);
    ASSERT_TRUE(isValidUtf8(text));
    EXPECT_NE(text.find("word0\r\n"), std::string::npos);
    EXPECT_NE(text.find("word" + std::to_string(paragraphs - 1) + "\r\n"), std::string::npos);
    EXPECT_EQ(text.find(" \r\n"), std::string::npos);
    EXPECT_EQ(text.find("\r\n\r\n\r\n"), std::string::npos);
    EXPECT_FALSE(text.starts_with("\r\n"));
    EXPECT_FALSE(text.ends_with("\n"));
}

}  // namespace
}  // namespace lumbrook
