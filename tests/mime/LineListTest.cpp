#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "mime/LineList.h"
#include "mime/MailModel.h"

namespace lumbrook {
namespace {

using Lines = std::vector<std::string>;

TEST(LineList, SplitsLikeTheModelAlwaysDid) {
    struct Case {
        std::string text;
        Lines lines;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n\rb", {"a", "", "b"}},  // LF CR is two breaks
        {"a\r\r\n", {"a", ""}},
        {"a\r", {"a"}},
        {"\n", {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const LineList viewed = LineList::viewOf(c.text);
        EXPECT_EQ(viewed, c.lines);
        EXPECT_EQ(viewed.size(), c.lines.size());
        EXPECT_EQ(viewed.empty(), c.lines.empty());
        for (std::size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(viewed[i], c.lines[i]);
        EXPECT_THROW((void)viewed.at(c.lines.size()), std::out_of_range);
    }
}

TEST(LineList, IndexedAccessAcrossManyLines) {
    std::string text;
    Lines expected;
    for (int i = 0; i < 1000; ++i) {
        expected.push_back(std::string(static_cast<std::size_t>(i % 7), 'x') + std::to_string(i));
        text += expected.back() + (i % 3 == 0 ? "\n" : i % 3 == 1 ? "\r" : "\r\n");
    }
    const LineList viewed = LineList::viewOf(text);
    ASSERT_EQ(viewed.size(), expected.size());
    for (std::size_t i = expected.size(); i-- > 0;) ASSERT_EQ(viewed[i], expected[i]) << i;

    LineList pushed;
    for (const std::string& line : expected) pushed.push_back(line);
    EXPECT_EQ(pushed, viewed);
    EXPECT_EQ(pushed[999], "xxxxx999");
    EXPECT_EQ(pushed.joined(), LineList(expected).joined());
}

TEST(LineList, AddingLinesCopiesAViewAndKeepsItsLines) {
    const std::string body = "one\r\ntwo";
    LineList lines = LineList::viewOf(body);
    EXPECT_EQ(lines.text().data(), body.data());  // nothing copied while only read
    lines.push_back("three");
    EXPECT_EQ(lines, (Lines{"one", "two", "three"}));
    EXPECT_NE(lines.text().data(), body.data());
    EXPECT_EQ(body, "one\r\ntwo");

    // A text ending in a lone CR keeps its lines; the next line starts after it.
    const std::string cr = "a\r";
    lines = LineList::viewOf(cr);
    lines.push_back("");
    lines.push_back("b");
    EXPECT_EQ(lines, (Lines{"a", "", "b"}));
    EXPECT_EQ(lines.joined(), "a\r\n\r\nb\r\n");

    // Line breaks inside an added line make lines of their own.
    lines.clear();
    EXPECT_TRUE(lines.empty());
    lines.push_back("x\ry");
    lines.push_back("z\r");
    EXPECT_EQ(lines, (Lines{"x", "y", "z", ""}));
}

TEST(LineList, ModelLinesViewTheBodyAndFollowReparsing) {
    MailMessage m;
    m.loadText(std::string("Content-Type: text/plain\r\n\r\nfirst\r\nsecond\0hidden", 48));
    m.locateBodies();
    ASSERT_NE(m.textPart, nullptr);
    EXPECT_EQ(m.textLines, (Lines{"first", "second"}));
    EXPECT_EQ(m.textLines.text().data(), m.textPart->decodedBody.data());

    // A text that lies in the lines themselves is read before they go.
    m.loadText(m.textLines[1]);
    EXPECT_TRUE(m.textLines.empty());
    EXPECT_EQ(m.headerLines, StringList{"Second "});
    m.htmlLines.push_back("Subject: s");
    m.htmlLines.push_back("");
    m.htmlLines.push_back("added");
    m.loadText(m.htmlLines.text());
    m.locateBodies();
    EXPECT_EQ(m.textLines, Lines{"added"});
    EXPECT_TRUE(m.htmlLines.empty());
}

}  // namespace
}  // namespace lumbrook
