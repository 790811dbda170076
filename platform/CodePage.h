#pragma once

#include <string>
#include <string_view>

namespace lumbrook {

// The "ANSI code page" the store's 8-bit texts are written in: Windows-1252 unless
// LUMBROOK_CODEPAGE names another (a number such as 1251, or an iconv name).
int AnsiCodePage();
std::string AnsiCodePageName();  // the iconv name, e.g. "CP1252"

// Always valid UTF-8: bytes the code page does not define become U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);
// Characters the code page cannot hold become '?'.
std::string Utf8ToAnsi(std::string_view utf8);

bool IsValidUtf8(std::string_view text);
// Valid UTF-8 stays as it is; anything else is taken as the store's code page.
std::string ToUtf8(std::string_view text);

}  // namespace lumbrook
