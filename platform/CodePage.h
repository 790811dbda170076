#pragma once

#include <string>
#include <string_view>

#include "base/Charset.h"

namespace lumbrook {

// The "ANSI code page" the store's 8-bit texts are written in: Windows-1252 unless
// LUMBROOK_CODEPAGE names another (a number such as 1251, or an iconv name).
// A name iconv does not know falls back to Windows-1252. For an iconv name that is
// not a Windows code page ansiCodePage() gives 0.
int ansiCodePage();
std::string ansiCodePageName();  // the iconv name, e.g. "CP1252"
// The name web pages use for it ("windows-1252"), for telling a browser how to
// read pages that name no character set.
std::string ansiCodePageLabel();

// Always valid UTF-8: bytes the code page does not define become U+FFFD, except
// the five holes of Windows-1252 (0x81, 0x8D, 0x8F, 0x90, 0x9D), which Windows
// itself turns into the control characters U+0081 etc.
std::string ansiToUtf8(std::string_view ansi);
// Characters the code page cannot hold become '?'.
std::string utf8ToAnsi(std::string_view utf8);

// The same two conversions for a code page named explicitly (an iconv name such
// as "CP1251" or "UTF-8"); an unknown name is taken as Windows-1252.
std::string codePageToUtf8(std::string_view text, std::string_view codePageName);
std::string utf8ToCodePage(std::string_view utf8, std::string_view codePageName);

// Valid UTF-8 stays as it is; anything else is taken as the store's code page.
std::string toUtf8(std::string_view text);

// Appends one code point; surrogates and values past U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);
// UTF-16LE bytes as UTF-8 (pairs joined, lone surrogates and an odd last byte
// become U+FFFD).
std::string utf16LeToUtf8(std::string_view bytes);

}  // namespace lumbrook
