#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Charset.h"

namespace lumbrook {

// The "ANSI code page" a store's 8-bit texts are written in: Windows-1252 unless
// LUMBROOK_CODEPAGE names another (a number such as 1251, or an iconv name). A
// value: its converter is opened once and shared by its copies. Not thread-safe
// beyond what the store needs: conversions through iconv take a lock.
class CodePage {
  public:
    // Windows-1252.
    CodePage();

    // The code page a setting names: blank is Windows-1252, a number N is "CPN"
    // (65001 is UTF-8), anything else an iconv name. A name iconv does not know
    // gives Windows-1252 and, with unknown given, is put there (trimmed), so that
    // the caller can say so.
    static CodePage fromSetting(std::string_view setting, std::string* unknown = nullptr);
    // LUMBROOK_CODEPAGE as the environment holds it now. With problem given, a
    // setting iconv does not know is described there ("unknown code page 'XYZ' in
    // LUMBROOK_CODEPAGE") and Windows-1252 is used; problem is left alone otherwise.
    static CodePage fromEnvironment(std::string* problem = nullptr);
    // The same, but nothing when LUMBROOK_CODEPAGE is unset or blank: then the
    // store's own code page is detected.
    static std::optional<CodePage> fromEnvironmentIfSet(std::string* problem = nullptr);

    // The Windows code page number (1252), 0 for an iconv name that is none.
    int number() const;
    // The iconv name, e.g. "CP1252".
    const std::string& name() const { return iconvName; }
    // The name web pages use for it ("windows-1252"), for telling a browser how to
    // read pages that name no character set.
    std::string label() const;

    // Always valid UTF-8: bytes the code page does not define become U+FFFD, except
    // the five holes of Windows-1252 (0x81, 0x8D, 0x8F, 0x90, 0x9D), which Windows
    // itself turns into the control characters U+0081 etc.
    std::string toUtf8(std::string_view text) const;
    // Valid UTF-8 stays as it is; anything else is taken as this code page.
    std::string asUtf8(std::string_view text) const;

  private:
    class Converter;
    CodePage(std::string iconvName, std::shared_ptr<const Converter> converter);

    std::string iconvName;
    std::shared_ptr<const Converter> converter;
};

// The Windows ANSI code pages a store may be written in, the Western one first.
const std::vector<int>& windowsAnsiCodePages();
// The Windows ANSI code page whose letters a mail charset ("koi8-r",
// "iso-8859-2", "windows-1251") writes; 0 for charsets that tell nothing about
// it (us-ascii, utf-8, unknown names).
int ansiCodePageOfCharset(std::string_view charset);

// Appends one code point; surrogates and values past U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);
// UTF-16LE bytes as UTF-8 (pairs joined, lone surrogates and an odd last byte
// become U+FFFD).
std::string utf16LeToUtf8(std::string_view bytes);

}  // namespace lumbrook
