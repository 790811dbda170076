#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Ascii.h"
#include "base/Charset.h"
#include "mime/HtmlCharset.h"

namespace lumbrook {
namespace {

TEST(Ascii, EachWhiteSpaceSetTakesItsOwnCharacters) {
    const auto taken = [](bool (*isIn)(char)) {
        std::string bytes;
        for (int b = 0; b < 256; ++b)
            if (isIn(static_cast<char>(b))) bytes += static_cast<char>(b);
        return bytes;
    };
    EXPECT_EQ(taken(isBlank), "\t ");
    EXPECT_EQ(taken(isBlankOrLineEnd), "\t\n\r ");
    EXPECT_EQ(taken(isHtmlSpace), "\t\n\f\r ");
    EXPECT_EQ(taken(isSpace), "\t\n\v\f\r ");
    EXPECT_EQ(trim("\v\f a b\t\r\n ", isHtmlSpace), "\v\f a b");
    EXPECT_EQ(trimLeft(" \ta \t", isBlank), "a \t");
    EXPECT_EQ(trimRight(" \ta \t", isBlank), " \ta");
    EXPECT_EQ(trim(" \t\n", isSpace), "");
}

TEST(Charset, LabelsAsMailAndPagesWriteThem) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"utf-8", "UTF-8"},
        {" \"UTF8\" ", "UTF-8"},
        {"'windows-1252'", "CP1252"},
        {"cp1252", "CP1252"},
        {"ISO-8859-1", "CP1252"},
        {"us-ascii", "CP1252"},
        {"iso-8859-15", "ISO-8859-15"},
        {"KOI8-R", "KOI8-R"},
        {"windows-1251", "WINDOWS-1251"},
        {"x-cp1251", "CP1251"},
        {"cp850", "CP850"},
        {"x-mac-roman", "MACINTOSH"},
        {"ks_c_5601-1987", "CP949"},
        {"gb2312", "GBK"},
    };
    for (const auto& [label, name] : cases) EXPECT_EQ(iconvNameForLabel(label).value_or("-"), name) << label;
    for (const char* unknown : {"", "  ", "x-no-such-charset", "utf-8//TRANSLIT", "unknown-8bit", "\"\""})
        EXPECT_FALSE(iconvNameForLabel(unknown)) << unknown;
}

TEST(Charset, ConvertsAndReplacesWhatCannotBeRead) {
    struct Case {
        std::string bytes, charset, utf8;
    };
    const std::vector<Case> cases = {
        {"plain ascii", "CP1252", "plain ascii"},
        {"\xF0\xD2\xC9\xD7\xC5\xD4", "KOI8-R", "Привет"},
        {"\xCF\xF0\xE8\xE2\xE5\xF2", "WINDOWS-1251", "Привет"},
        {"Gr\xFC\xDF" "e \x80", "CP1252", "Grüße €"},
        {"\xA4", "ISO-8859-15", "€"},
        // CP1251 has no character at 0x98: one U+FFFD, the rest kept.
        {"a\x98" "b", "WINDOWS-1251", "a\xEF\xBF\xBD" "b"},
        {"caf\xC3\xA9 \xFF ok", "UTF-8", "café \xEF\xBF\xBD ok"},
        // A cut-off sequence at the end.
        {"ok\xE2\x82", "UTF-8", "ok\xEF\xBF\xBD"},
        {"\x82\xA0", "CP932", "あ"},
        {"\x81", "CP932", "\xEF\xBF\xBD"},
        // glibc's UHC takes both bytes of this unreadable pair: nothing is left to skip.
        {"\xA2\xE8", "CP949", "\xEF\xBF\xBD"},
        // An unknown charset reads as windows-1252 rather than losing the text.
        {"\xE9t\xE9", "NO-SUCH-CHARSET", "été"},
        // Not ASCII-compatible: ASCII bytes alone are not the text.
        {"+AGQ-", "UTF-7", "d"},
    };
    for (const auto& c : cases) {
        const std::string out = convertToUtf8(c.bytes, c.charset);
        EXPECT_EQ(out, c.utf8) << c.charset << " " << c.bytes;
        EXPECT_TRUE(isValidUtf8(out));
    }
    // Back into a code page: what it lacks, or a cut-off sequence, as "?".
    EXPECT_EQ(convertFromUtf8("M\xC3\xA4rz \xE2\x82\xAC \xE2\x86\x92.", "CP1252"), "M\xE4rz \x80 ?.");
    EXPECT_EQ(convertFromUtf8("a\xC3", "CP1252"), "a?");
    EXPECT_EQ(convertFromUtf8("\xD0\x9F\xD1\x80", "WINDOWS-1251"), "\xCF\xF0");
}

TEST(Charset, Utf8Checks) {
    struct Case {
        std::string bytes, sanitized;
    };
    const std::string fffd = "\xEF\xBF\xBD";
    const std::vector<Case> cases = {
        {"", ""},
        {"\xE2\x82\xAC \xF0\x9F\x98\x80", "\xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},     // U+10FFFF
        {"\xC0\xAF", fffd + fffd},                 // overlong
        {"\xE0\x80\xAF", fffd + fffd + fffd},
        {"\xED\xA0\x80", fffd + fffd + fffd},      // surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // above U+10FFFF
        {"\xE2\x82x", fffd + "x"},                 // one U+FFFD for the cut sequence
        {"\xF0\x9F\x98", fffd},
        {"a\x80\x80z", "a" + fffd + fffd + "z"},
        {"\xC3\xFF", fffd + fffd},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.bytes == c.sanitized) << c.bytes;
        EXPECT_EQ(sanitizeUtf8(c.bytes), c.sanitized) << c.bytes;
    }
}

TEST(HtmlCharset, FindsTheDeclarationTheWayBrowsersDo) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<html><head><meta charset=\"koi8-r\">", "koi8-r"},
        {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">", "windows-1251"},
        {"<meta content='text/html; CHARSET=\"iso-8859-2\"' http-equiv=content-type>", "iso-8859-2"},
        {"<meta charset=\"utf-8\"/>", "utf-8"},
        {"<!-- <meta charset=koi8-r> --><meta charset=cp1252>", "cp1252"},
        {"<!--><meta charset=cp1252>", "cp1252"},
        {"<div title='<meta charset=koi8-r>'><meta charset=cp850>", "cp850"},
        {"<meta charset=no-such><meta charset=latin1>", "latin1"},
        {"<meta http-equiv=refresh content='0; charset=koi8-r'><meta charset=cp850>", "cp850"},
        {"<meta charset=utf-16le>", "utf-8"},
        {"\xEF\xBB\xBF<meta charset=koi8-r>", "UTF-8"},
        {std::string(5000, ' ') + "<meta charset=koi8-r>", "-"},
        {"<meta content='text/html; charset=koi8-r'>", "-"},
        {"<meta charset='koi8-r", "-"},
        {"<!-- <meta charset=koi8-r>", "-"},
        {"<p>no declaration</p>", "-"},
    };
    for (const auto& [html, charset] : cases)
        EXPECT_EQ(declaredHtmlCharset(html).value_or("-"), charset) << html;
}

}  // namespace
}  // namespace lumbrook
