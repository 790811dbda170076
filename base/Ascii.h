#pragma once

// ASCII text as the store's, the mail's and the web's formats know it: letter case
// changes only for the ASCII letters, and each format has its own set of white
// space, so each set has its own name and a caller keeps to the one its format
// uses. Every other byte (code-page letters with diacritics included) is left alone.

#include <string>
#include <string_view>

namespace lumbrook {

inline bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The value of a hexadecimal digit in either case; -1 for any other character.
inline int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

inline char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
inline char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperAscii(c);
    return out;
}
inline std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

inline bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

inline bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

// Space and tab: the blanks of mail header lines, of settings and of the text
// lines in a store.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Blanks and the two line-end characters.
inline bool isBlankOrLineEnd(char c) {
    return isBlank(c) || c == '\r' || c == '\n';
}

// HTML's white space: blanks, line ends and form feed, not vertical tab.
inline bool isHtmlSpace(char c) {
    return isBlankOrLineEnd(c) || c == '\f';
}

// What C's isspace takes in the "C" locale: HTML's white space and vertical tab.
inline bool isSpace(char c) {
    return isHtmlSpace(c) || c == '\v';
}

// The text without the leading, trailing or both characters of a set, as a view
// into the argument.
template <typename IsTrimmed>
std::string_view trimLeft(std::string_view text, IsTrimmed isTrimmed) {
    std::size_t n = 0;
    while (n < text.size() && isTrimmed(text[n])) ++n;
    return text.substr(n);
}
template <typename IsTrimmed>
std::string_view trimRight(std::string_view text, IsTrimmed isTrimmed) {
    std::size_t n = text.size();
    while (n > 0 && isTrimmed(text[n - 1])) --n;
    return text.substr(0, n);
}
template <typename IsTrimmed>
std::string_view trim(std::string_view text, IsTrimmed isTrimmed) {
    return trimRight(trimLeft(text, isTrimmed), isTrimmed);
}

}  // namespace lumbrook
