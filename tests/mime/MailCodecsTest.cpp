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

struct TCase {
    std::string In;
    std::string Out;
};

std::string Repeat(std::string_view Piece, int Times) {
    std::string Out;
    for (int I = 0; I < Times; ++I) Out += Piece;
    return Out;
}

TEST(MailCodecs, Trims) {
    EXPECT_EQ(TrimBlanks(" \t a b \t "), "a b \t");  // trailing tabs stay
    EXPECT_EQ(TrimLeftBlanks(" \t a b \t "), "a b \t ");
    EXPECT_EQ(TrimRightBlanks(" \t a b \t "), " \t a b");
    EXPECT_EQ(TrimBlanks(" \t "), "");
    EXPECT_EQ(TrimBlanks(""), "");
}

TEST(MailCodecs, LineScanner) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> Cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"\r\n", {""}},
        {"a\r\n\r\n", {"a", ""}},
        {"a\rb\nc\r\nd", {"a\rb\nc", "d"}},
        {"a\r", {"a\r"}},
        {"\r\r\n\n", {"\r", "\n"}},
    };
    for (const auto& [Text, Expected] : Cases) {
        TLineScanner Scanner(Text);
        std::vector<std::string> Got;
        std::string_view Line;
        while (Scanner.Next(Line)) Got.emplace_back(Line);
        EXPECT_EQ(Got, Expected) << "text: " << Text;
        std::size_t Start = 99, Length = 99;
        EXPECT_FALSE(Scanner.Next(Start, Length));  // and keeps reporting the end
        EXPECT_EQ(Start, Text.size());
    }
    TLineScanner Scanner("ab\r\ncd");
    std::size_t Start, Length;
    ASSERT_TRUE(Scanner.Next(Start, Length));
    EXPECT_EQ(Start, 0u);
    EXPECT_EQ(Length, 2u);
    ASSERT_TRUE(Scanner.Next(Start, Length));
    EXPECT_EQ(Start, 4u);
    EXPECT_EQ(Length, 2u);
}

TEST(MailCodecs, NextLineWithBreak) {
    const std::string Text = "ab\r\ncd\rx\r\ne";
    std::ptrdiff_t Pos = 1;
    std::vector<std::string> Lines;
    while (Pos != -1) Lines.emplace_back(NextLineWithBreak(Text, Pos));
    EXPECT_EQ(Lines, (std::vector<std::string>{"ab\r\n", "cd\rx\r\n", "e"}));

    Pos = 1;
    EXPECT_EQ(NextLineWithBreak("ab\r\n", Pos), "ab\r\n");
    EXPECT_EQ(Pos, -1);
    Pos = 1;
    EXPECT_EQ(NextLineWithBreak("", Pos), "");
    EXPECT_EQ(Pos, -1);
    Pos = 42;
    EXPECT_EQ(NextLineWithBreak("ab", Pos), "");
    EXPECT_EQ(Pos, -1);
}

TEST(MailCodecs, PadLeft) {
    EXPECT_EQ(PadLeft("A", 2, "0"), "0A");
    EXPECT_EQ(PadLeft(" A", 2, "0"), "0A");
    EXPECT_EQ(PadLeft("ABC", 2, "0"), "BC");
    EXPECT_EQ(PadLeft("", 2, "0"), "00");
    EXPECT_EQ(PadLeft("A", 3, ""), "A");
}

TEST(MailCodecs, QPEncodeBody) {
    const std::string A71(71, 'a'), A70(70, 'a'), A69(69, 'a');
    const std::vector<TCase> Cases = {
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
        {std::string(100, 'a'), A71 + "=\r\n" + std::string(29, 'a') + "\r\n"},
        {A71, A71 + "\r\n"},
        {A71 + "b", A71 + "=\r\nb\r\n"},
        {A71 + "\xE9", A71 + "=\r\n=E9\r\n"},
        // Cuts move back over a whole escape, never into it.
        {A70 + "\xE9" + "bbb", A70 + "=\r\n=E9bbb\r\n"},
        {A69 + "\xE9" + "bbb", A69 + "=\r\n=E9bbb\r\n"},
        {std::string(30, '\xFF'), Repeat("=FF", 23) + "=\r\n" + Repeat("=FF", 7) + "\r\n"},
        {std::string(150, 'a'), A71 + "=\r\n" + A71 + "=\r\n" + std::string(8, 'a') + "\r\n"},
    };
    for (std::size_t I = 0; I < Cases.size(); ++I)
        EXPECT_EQ(QPEncode(Cases[I].In, false), Cases[I].Out) << "case " << I;
}

TEST(MailCodecs, QPOneByteAtATime) {
    for (int B = 0; B < 256; ++B) {
        const std::string Byte(1, static_cast<char>(B));
        char Escape[4];
        std::snprintf(Escape, sizeof Escape, "=%02X", B);
        const bool Literal = (B >= 32 && B <= 127 && B != '=') || B == '\t';
        EXPECT_EQ(QPEncode(Byte, false), (Literal ? Byte : std::string(Escape)) + "\r\n") << B;
        EXPECT_EQ(QPDecode(QPEncode(Byte, true)), Byte) << B;
    }
}

TEST(MailCodecs, QPEncodeHeader) {
    const std::vector<TCase> Cases = {
        {"abc.txt", "abc.txt"},
        {"a b", "a=20b"},
        {"a_b?", "a=5Fb=3F"},
        {"\"'()<>", "=22=27=28=29=3C=3E"},
        {"x\r\n\t", "x=0D=0A=09"},
        {"\xE4=", "=E4=3D"},
        {std::string(100, 'a'), std::string(100, 'a')},  // no line handling
    };
    for (const auto& C : Cases) EXPECT_EQ(QPEncode(C.In, true), C.Out) << C.In;
}

TEST(MailCodecs, QPDecode) {
    const std::vector<TCase> Cases = {
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
    for (const auto& C : Cases) EXPECT_EQ(QPDecode(C.In), C.Out) << C.In;
}

TEST(MailCodecs, QPRoundTrip) {
    std::mt19937 Random(12345);
    for (int Round = 0; Round < 200; ++Round) {
        std::string Text;
        const int Size = static_cast<int>(Random() % 300);
        for (int I = 0; I < Size; ++I) {
            const unsigned Pick = Random() % 10;
            // Plenty of blanks, line breaks and escapes near the cut positions.
            Text += Pick < 3   ? ' '
                    : Pick < 4 ? '\t'
                    : Pick < 5 ? '\r'
                    : Pick < 6 ? '\n'
                               : static_cast<char>(Random() % 256);
        }
        Text += "\r\n";
        const std::string Encoded = QPEncode(Text, false);
        EXPECT_EQ(QPDecode(Encoded), Text);
        TLineScanner Lines(Encoded);
        std::string_view Line;
        while (Lines.Next(Line)) {
            EXPECT_LE(Line.size(), 72u);
            EXPECT_FALSE(Line.ends_with(" ") || Line.ends_with("\t"));
        }
        EXPECT_EQ(QPDecode(QPEncode(Text, true)), Text);
    }
}

TEST(MailCodecs, Base64Encode) {
    const std::vector<TCase> Cases = {
        {"", ""},
        {"A", "QQ==\r\n"},
        {"AB", "QUI=\r\n"},
        {"ABC", "QUJD\r\n"},
        {"\xFF\xFE\xFD\x00"s, "//79AA==\r\n"},
    };
    for (const auto& C : Cases) {
        std::string Out = "old";
        EXPECT_EQ(Base64EncodeStream(C.In, Out), C.Out.size());
        EXPECT_EQ(Out, C.Out);
    }
    std::string Out;
    Base64EncodeStream(std::string(57, 'x'), Out);
    EXPECT_EQ(Out.size(), 78u);
    Base64EncodeStream(std::string(2281, 'x'), Out);
    EXPECT_EQ(Out.size(), 40u * 78 + 4 + 2);
    for (std::size_t At = 0; At < Out.size(); At += 78) {
        EXPECT_EQ(Out.substr(std::min(At + 76, Out.size() - 2), 2), "\r\n");
    }
}

TEST(MailCodecs, Base64DecodeLine) {
    const std::vector<TCase> Cases = {
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
    for (const auto& C : Cases) EXPECT_EQ(Base64DecodeLine(C.In), C.Out) << C.In;

    std::string Out = "kept:";
    Base64DecodeLine("QUJD", Out);
    EXPECT_EQ(Out, "kept:ABC");
}

TEST(MailCodecs, Base64DecodeText) {
    std::string Data;
    for (int I = 0; I < 1000; ++I) Data += static_cast<char>(I * 7 % 256);
    for (std::size_t Size : {0u, 1u, 2u, 3u, 56u, 57u, 58u, 132u, 133u, 180u, 1000u}) {
        const std::string Part = Data.substr(0, Size);
        std::string Encoded, Decoded;
        Base64EncodeStream(Part, Encoded);
        Base64DecodeText(Encoded, Decoded);
        EXPECT_EQ(Decoded, Part) << Size;

        // One long line (far past 176 characters) decodes whole.
        std::string OneLine;
        for (char C : Encoded)
            if (C != '\r' && C != '\n') OneLine += C;
        EXPECT_EQ(Base64DecodeLine(OneLine), Part) << Size;
    }
    const std::string Line74 = std::string(72, 'Q') + "QU";
    EXPECT_EQ(Base64DecodeLine(Line74).size(), 54u);

    std::string Out;
    Base64DecodeText("QU\r\nJD", Out);  // groups never continue across lines
    EXPECT_EQ(Out, "");
    Out.clear();
    Base64DecodeText("QUJD\nQUJD", Out);  // a lone LF does not end a line
    EXPECT_EQ(Out, "ABCABC");
    Out.clear();
    Base64DecodeText("Q\r\nU\r\nJ\r\nD\r\n", Out);  // one character a line yields nothing
    EXPECT_EQ(Out, "");
    Out.clear();
    Base64DecodeText("  QUJD \t\r\n\tQUI=\r\n", Out);
    EXPECT_EQ(Out, "ABCAB");
}

TEST(MailCodecs, UUCharValue) {
    EXPECT_EQ(UUCharValue('`'), 0);
    EXPECT_EQ(UUCharValue(' '), 0);
    EXPECT_EQ(UUCharValue('!'), 1);
    EXPECT_EQ(UUCharValue('M'), 45);
    EXPECT_EQ(UUCharValue('_'), 63);
    for (char Bad : {'a', '~', '\t', '\x80', '\0'}) {
        try {
            UUCharValue(Bad);
            ADD_FAILURE() << "no error for " << int(Bad);
        } catch (const ELumbrookError& E) {
            EXPECT_STREQ(E.what(), "UUCODE message format error");
        }
    }
}

TEST(MailCodecs, UUDecodeLine) {
    const std::string Valid96(96, '!');
    const std::vector<TCase> Cases = {
        {"", ""},
        {"#0V%T", "Cat"},
        {"\"0V%T", "Ca"},
        {"%0V%T", "Cat\0\0"s},  // bits missing at the end count as zero
        {"`", ""},
        {"`0V%T", ""},
        {"end", ""},
        {"#0V%t", ""},  // a lower-case letter spoils the whole line
        {"#0V%T" + Valid96, "Cat"},
        {"#0V%T" + Valid96 + "x", ""},  // every character read is checked
        {"# V%T",
         "\x03"
         "at"},  // a space is zero
    };
    for (const auto& C : Cases) EXPECT_EQ(UUDecodeLine(C.In), C.Out) << C.In;

    // Count 45 reads exactly 60 data characters and ignores what follows.
    std::string Block(45, 'x'), Encoded;
    {
        std::string Line = "M";
        for (std::size_t I = 0; I < 45; I += 3) {
            const unsigned V = unsigned('x') << 16 | unsigned('x') << 8 | unsigned('x');
            for (int Shift = 18; Shift >= 0; Shift -= 6) Line += char(32 + ((V >> Shift) & 63));
        }
        Encoded = Line;
    }
    EXPECT_EQ(UUDecodeLine(Encoded), Block);
    EXPECT_EQ(UUDecodeLine(Encoded + "z~!"), Block);
    EXPECT_EQ(UUDecodeLine("M0V%T"), "Cat" + std::string(42, '\0'));
    // Counts above 45 never read or write past the line.
    EXPECT_EQ(UUDecodeLine("_0V%T"), "Cat" + std::string(60, '\0'));
}

TEST(MailCodecs, UUDecodeText) {
    std::string Stream = "old";
    UUDecodeText("#0V%T\r\n\r\n#0V%t\r\n#0V%T\r\n`\r\n", Stream);
    EXPECT_EQ(Stream, "CatCat");
    UUDecodeText("", Stream);
    EXPECT_EQ(Stream, "");
}

TEST(MailCodecs, NewBoundary) {
    const std::string A = NewBoundary(), B = NewBoundary(), C = NewBoundary();
    for (const std::string& S : {A, B, C}) {
        ASSERT_EQ(S.size(), 16u);
        EXPECT_EQ(S.substr(0, 8), "boundary");
        for (char D : S.substr(8)) EXPECT_TRUE((D >= '0' && D <= '9') || (D >= 'A' && D <= 'F'));
    }
    EXPECT_FALSE(A == B && B == C);
}

}  // namespace
}  // namespace lumbrook
