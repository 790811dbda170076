#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "mime/MailCodecs.h"

using namespace std::string_literals;

namespace lumbrook {
namespace {

struct Case {
    std::string in;
    std::string out;
};

std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(MailCodecs, Trims) {
    EXPECT_EQ(trimBlanks(" \t a b \t "), "a b \t");  // trailing tabs stay
    EXPECT_EQ(trimLeftBlanks(" \t a b \t "), "a b \t ");
    EXPECT_EQ(trimRightBlanks(" \t a b \t "), " \t a b");
    EXPECT_EQ(trimBlanks(" \t "), "");
    EXPECT_EQ(trimBlanks(""), "");
}

TEST(MailCodecs, LineScanner) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"\r\n", {""}},
        {"a\r\n\r\n", {"a", ""}},
        {"a\rb\nc\r\nd", {"a\rb\nc", "d"}},
        {"a\r", {"a\r"}},
        {"\r\r\n\n", {"\r", "\n"}},
    };
    for (const auto& [Text, Expected] : cases) {
        LineScanner scanner(Text);
        std::vector<std::string> got;
        std::string_view line;
        while (scanner.next(line)) got.emplace_back(line);
        EXPECT_EQ(got, Expected) << "text: " << Text;
        std::size_t start = 99, length = 99;
        EXPECT_FALSE(scanner.next(start, length));  // and keeps reporting the end
        EXPECT_EQ(start, Text.size());
    }
    LineScanner scanner("ab\r\ncd");
    std::size_t start, length;
    ASSERT_TRUE(scanner.next(start, length));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(length, 2u);
    ASSERT_TRUE(scanner.next(start, length));
    EXPECT_EQ(start, 4u);
    EXPECT_EQ(length, 2u);
}

TEST(MailCodecs, NextLineWithBreak) {
    const std::string text = "ab\r\ncd\rx\r\ne";
    std::ptrdiff_t pos = 1;
    std::vector<std::string> lines;
    while (pos != -1) lines.emplace_back(nextLineWithBreak(text, pos));
    EXPECT_EQ(lines, (std::vector<std::string>{"ab\r\n", "cd\rx\r\n", "e"}));

    pos = 1;
    EXPECT_EQ(nextLineWithBreak("ab\r\n", pos), "ab\r\n");
    EXPECT_EQ(pos, -1);
    pos = 1;
    EXPECT_EQ(nextLineWithBreak("", pos), "");
    EXPECT_EQ(pos, -1);
    pos = 42;
    EXPECT_EQ(nextLineWithBreak("ab", pos), "");
    EXPECT_EQ(pos, -1);
}

TEST(MailCodecs, PadLeft) {
    EXPECT_EQ(padLeft("A", 2, "0"), "0A");
    EXPECT_EQ(padLeft(" A", 2, "0"), "0A");
    EXPECT_EQ(padLeft("ABC", 2, "0"), "BC");
    EXPECT_EQ(padLeft("", 2, "0"), "00");
    EXPECT_EQ(padLeft("A", 3, ""), "A");
}

TEST(MailCodecs, QPEncodeBody) {
    const std::string a71(71, 'a'), a70(70, 'a'), a69(69, 'a');
    const std::vector<Case> cases = {
        {"", ""},
        {"abc", "abc\r\n"},
        {"abc\r\n", "abc\r\n"},
        {"abc\r\n\r\n", "abc\r\n\r\n"},
        {"a \r\n", "a=20\r\n"},
        {"a\t \r\nb", "a=09=20\r\nb\r\n"},
        {"a b\r\n", "a b\r\n"},
        {"a ", "a \r\n"},  // blanks at the very end are not before a line break
        {"x\r", "x=0D\r\n"},
        {"x\ry", "x=0Dy\r\n"},
        {"x\ny", "x=0Ay\r\n"},
        {"\n", "=0A\r\n"},
        {"a=b", "a=3Db\r\n"},
        {"\xE9t\xE9", "=E9t=E9\r\n"},
        {"\x01\x7F\t", "=01\x7F\t\r\n"},
        {std::string(100, 'a'), a71 + "=\r\n" + std::string(29, 'a') + "\r\n"},
        {a71, a71 + "\r\n"},
        {a71 + "b", a71 + "=\r\nb\r\n"},
        {a71 + "\xE9", a71 + "=\r\n=E9\r\n"},
        // Cuts move back over a whole escape, never into it.
        {a70 + "\xE9" + "bbb", a70 + "=\r\n=E9bbb\r\n"},
        {a69 + "\xE9" + "bbb", a69 + "=\r\n=E9bbb\r\n"},
        {std::string(30, '\xFF'), repeat("=FF", 23) + "=\r\n" + repeat("=FF", 7) + "\r\n"},
        {std::string(150, 'a'), a71 + "=\r\n" + a71 + "=\r\n" + std::string(8, 'a') + "\r\n"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(qpEncode(cases[i].in, false), cases[i].out) << "case " << i;
}

TEST(MailCodecs, QPOneByteAtATime) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        char escape[4];
        std::snprintf(escape, sizeof escape, "=%02X", b);
        const bool literal = (b >= 32 && b <= 127 && b != '=') || b == '\t';
        EXPECT_EQ(qpEncode(byte, false), (literal ? byte : std::string(escape)) + "\r\n") << b;
        EXPECT_EQ(qpDecode(qpEncode(byte, true)), byte) << b;
    }
}

TEST(MailCodecs, QPEncodeHeader) {
    const std::vector<Case> cases = {
        {"abc.txt", "abc.txt"},
        {"a b", "a=20b"},
        {"a_b?", "a=5Fb=3F"},
        {"\"'()<>", "=22=27=28=29=3C=3E"},
        {"x\r\n\t", "x=0D=0A=09"},
        {"\xE4=", "=E4=3D"},
        {std::string(100, 'a'), std::string(100, 'a')},  // no line handling
    };
    for (const auto& c : cases) EXPECT_EQ(qpEncode(c.in, true), c.out) << c.in;
}

TEST(MailCodecs, QPDecode) {
    const std::vector<Case> cases = {
        {"abc", "abc"},
        {"a \r\nb\t\r\n", "a \r\nb\t\r\n"},
        {"a=", "a"},
        {"a=4", "a"},
        {"a=4gbc", "abc"},
        {"=e9x", "x"},
        {"=E9", "\xE9"},
        {"=3D=41=42", "=AB"},
        {"a=\r\nb", "ab"},
        {"a=\r\n", "a"},
        {"a=\rbc", "ac"},
        {"a=\nbc", "ac"},
        {"=00z", "\0z"s},
        {"==41", "1"},
        {"x=20=\r\n=20y", "x  y"},
        {"=", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(qpDecode(c.in), c.out) << c.in;
}

TEST(MailCodecs, QPRoundTrip) {
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const int size = static_cast<int>(random() % 300);
        for (int i = 0; i < size; ++i) {
            const unsigned pick = random() % 10;
            // Plenty of blanks, line breaks and escapes near the cut positions.
            text += pick < 3   ? ' '
                    : pick < 4 ? '\t'
                    : pick < 5 ? '\r'
                    : pick < 6 ? '\n'
                               : static_cast<char>(random() % 256);
        }
        text += "\r\n";
        const std::string encoded = qpEncode(text, false);
        EXPECT_EQ(qpDecode(encoded), text);
        LineScanner lines(encoded);
        std::string_view line;
        while (lines.next(line)) {
            EXPECT_LE(line.size(), 72u);
            EXPECT_FALSE(line.ends_with(" ") || line.ends_with("\t"));
        }
        EXPECT_EQ(qpDecode(qpEncode(text, true)), text);
    }
}

TEST(MailCodecs, Base64Encode) {
    const std::vector<Case> cases = {
        {"", ""},
        {"A", "QQ==\r\n"},
        {"AB", "QUI=\r\n"},
        {"ABC", "QUJD\r\n"},
        {"\xFF\xFE\xFD\x00"s, "//79AA==\r\n"},
    };
    for (const auto& c : cases) {
        std::string out = "old";
        EXPECT_EQ(base64EncodeStream(c.in, out), c.out.size());
        EXPECT_EQ(out, c.out);
    }
    std::string out;
    base64EncodeStream(std::string(57, 'x'), out);
    EXPECT_EQ(out.size(), 78u);
    base64EncodeStream(std::string(2281, 'x'), out);
    EXPECT_EQ(out.size(), 40u * 78 + 4 + 2);
    for (std::size_t at = 0; at < out.size(); at += 78) {
        EXPECT_EQ(out.substr(std::min(at + 76, out.size() - 2), 2), "\r\n");
    }
}

TEST(MailCodecs, Base64DecodeLine) {
    const std::vector<Case> cases = {
        {"", ""},
        {"QUJD", "ABC"},
        {"QUI=", "AB"},
        {"QQ==", "A"},
        {"QUJDRA", "ABC"},  // the incomplete group is dropped
        {"QUJDR", "ABC"},
        {"QU JD\r\n", "ABC"},
        {"Q*U!J@D", "ABC"},
        {"QQ==QUI=", "AAB"},
        {"=UJD",
         "\x01"
         "BC"},  // "=" counts as zero wherever it stands
        {"Q=JD",
         "@\x02"
         "C"},
        {"A===", "\0"s},
        {"AB=C", "\0\x10\x02"s},
        {"====", "\0"s},
        {"//79AA==", "\xFF\xFE\xFD\x00"s},
    };
    for (const auto& c : cases) EXPECT_EQ(base64DecodeLine(c.in), c.out) << c.in;

    std::string out = "kept:";
    base64DecodeLine("QUJD", out);
    EXPECT_EQ(out, "kept:ABC");
}

TEST(MailCodecs, Base64DecodeText) {
    std::string data;
    for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7 % 256);
    for (std::size_t size : {0u, 1u, 2u, 3u, 56u, 57u, 58u, 132u, 133u, 180u, 1000u}) {
        const std::string part = data.substr(0, size);
        std::string encoded, decoded;
        base64EncodeStream(part, encoded);
        base64DecodeText(encoded, decoded);
        EXPECT_EQ(decoded, part) << size;

        // One long line (far past 176 characters) decodes whole.
        std::string oneLine;
        for (char c : encoded)
            if (c != '\r' && c != '\n') oneLine += c;
        EXPECT_EQ(base64DecodeLine(oneLine), part) << size;
    }
    const std::string line74 = std::string(72, 'Q') + "QU";
    EXPECT_EQ(base64DecodeLine(line74).size(), 54u);

    std::string out;
    base64DecodeText("QU\r\nJD", out);  // groups never continue across lines
    EXPECT_EQ(out, "");
    out.clear();
    base64DecodeText("QUJD\nQUJD", out);  // a lone LF does not end a line
    EXPECT_EQ(out, "ABCABC");
    out.clear();
    base64DecodeText("Q\r\nU\r\nJ\r\nD\r\n", out);  // one character a line yields nothing
    EXPECT_EQ(out, "");
    out.clear();
    base64DecodeText("  QUJD \t\r\n\tQUI=\r\n", out);
    EXPECT_EQ(out, "ABCAB");
}

TEST(MailCodecs, UUCharValue) {
    EXPECT_EQ(uuCharValue('`'), 0);
    EXPECT_EQ(uuCharValue(' '), 0);
    EXPECT_EQ(uuCharValue('!'), 1);
    EXPECT_EQ(uuCharValue('M'), 45);
    EXPECT_EQ(uuCharValue('_'), 63);
    for (char bad : {'a', '~', '\t', '\x80', '\0'}) {
        try {
            uuCharValue(bad);
            ADD_FAILURE() << "no error for " << int(bad);
        } catch (const LumbrookError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::UuencodeFormat);
        }
    }
}

TEST(MailCodecs, UUDecodeLine) {
    const std::string valid96(96, '!');
    const std::vector<Case> cases = {
        {"", ""},
        {"#0V%T", "Cat"},
        {"\"0V%T", "Ca"},
        {"%0V%T", "Cat\0\0"s},  // bits missing at the end count as zero
        {"`", ""},
        {"`0V%T", ""},
        {"end", ""},
        {"#0V%t", ""},  // a lower-case letter spoils the whole line
        {"#0V%T" + valid96, "Cat"},
        {"#0V%T" + valid96 + "x", ""},  // every character read is checked
        {"# V%T",
         "\x03"
         "at"},  // a space is zero
    };
    for (const auto& c : cases) EXPECT_EQ(uuDecodeLine(c.in), c.out) << c.in;

    // Count 45 reads exactly 60 data characters and ignores what follows.
    std::string block(45, 'x'), encoded;
    {
        std::string line = "M";
        for (std::size_t i = 0; i < 45; i += 3) {
            const unsigned v = unsigned('x') << 16 | unsigned('x') << 8 | unsigned('x');
            for (int shift = 18; shift >= 0; shift -= 6) line += char(32 + ((v >> shift) & 63));
        }
        encoded = line;
    }
    EXPECT_EQ(uuDecodeLine(encoded), block);
    EXPECT_EQ(uuDecodeLine(encoded + "z~!"), block);
    EXPECT_EQ(uuDecodeLine("M0V%T"), "Cat" + std::string(42, '\0'));
    // Counts above 45 never read or write past the line.
    EXPECT_EQ(uuDecodeLine("_0V%T"), "Cat" + std::string(60, '\0'));
}

TEST(MailCodecs, UUDecodeText) {
    std::string stream = "old";
    uuDecodeText("#0V%T\r\n\r\n#0V%t\r\n#0V%T\r\n`\r\n", stream);
    EXPECT_EQ(stream, "CatCat");
    uuDecodeText("", stream);
    EXPECT_EQ(stream, "");
}

TEST(MailCodecs, NewBoundary) {
    const std::string a = newBoundary(), b = newBoundary(), c = newBoundary();
    for (const std::string& s : {a, b, c}) {
        ASSERT_EQ(s.size(), 16u);
        EXPECT_EQ(s.substr(0, 8), "boundary");
        for (char d : s.substr(8)) EXPECT_TRUE((d >= '0' && d <= '9') || (d >= 'A' && d <= 'F'));
    }
    EXPECT_FALSE(a == b && b == c);
}

}  // namespace
}  // namespace lumbrook
