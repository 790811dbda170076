#pragma once

// Text in the charsets that mail headers, mail bodies and web pages name, turned
// into UTF-8 through glibc's iconv. Every text the program shows or writes is UTF-8;
// this is the one place where other charsets are read.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lumbrook {

// The iconv name for a charset label as mail and web pages write it: case,
// surrounding blanks and quotes do not matter, and the labels browsers read as
// another charset are read the same way here ("iso-8859-1" and "us-ascii" are
// windows-1252, "gb2312" is GBK, ...). Nothing when iconv does not know the charset.
// Thread-safe; answers are cached.
std::optional<std::string> iconvNameForLabel(std::string_view label);

// Whether iconv can read text in the charset of this iconv name. Thread-safe;
// answers are cached.
bool isKnownCharset(std::string_view iconvName);

// For a charset of one byte per character: each byte read on its own, as UTF-8,
// empty for a byte the charset leaves undefined. Nothing for a charset in which
// some byte starts a longer sequence, or that iconv does not know.
std::optional<std::array<std::string, 256>> singleByteCharsetTable(std::string_view iconvName);

// The bytes as UTF-8. Never fails and never drops text: a byte sequence the charset
// cannot decode becomes U+FFFD and the conversion goes on after it, and an unknown
// name reads as windows-1252. The result is always valid UTF-8.
std::string convertToUtf8(std::string_view bytes, std::string_view iconvName);

// UTF-8 text in another charset (an iconv name), for the few places that must hand
// text back in a store's code page: a character the charset cannot hold, or a
// broken sequence, becomes "?". An unknown name gives the text as it is.
std::string convertFromUtf8(std::string_view utf8, std::string_view iconvName);

// Text of one charset turned into UTF-8 a piece at a time (a page's lines, say)
// through one converter, opened when the object is made. Each piece is converted
// as convertToUtf8 does: never fails, drops nothing, gives valid UTF-8. Not
// thread-safe.
class Utf8Converter {
  public:
    // What unreadable bytes become. AsMail: each is one U+FFFD and the reading goes
    // on at the next byte, but a sequence cut off at the end of a piece is one
    // U+FFFD in all. EachByteAfresh, as a store's code page has always read: every
    // byte refused, those of a cut-off end too, is one U+FFFD, and the reading
    // starts afresh (out of any shift state) at the next byte.
    enum class Unreadable { AsMail, EachByteAfresh };

    // An unknown name reads as windows-1252.
    explicit Utf8Converter(std::string_view iconvName, Unreadable unreadable = Unreadable::AsMail);
    ~Utf8Converter();
    Utf8Converter(const Utf8Converter&) = delete;
    Utf8Converter& operator=(const Utf8Converter&) = delete;

    std::string convert(std::string_view bytes);

  private:
    struct State;
    std::unique_ptr<State> state;
};

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// The bytes with every ill-formed UTF-8 sequence replaced by U+FFFD, one for each
// maximal ill-formed part, as browsers do; valid text is returned unchanged.
std::string sanitizeUtf8(std::string_view bytes);

// The number of bytes of the well-formed UTF-8 sequence at the start of the bytes,
// or 0 when they do not start with one.
std::size_t utf8SequenceLength(std::string_view bytes);

}  // namespace lumbrook
