#include "platform/CodePage.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

#include "base/AsciiCase.h"

namespace lumbrook {

namespace {

constexpr char32_t ReplacementChar = 0xFFFD;
constexpr std::string_view DefaultCodePageName = "CP1252";
const iconv_t NoIconv = reinterpret_cast<iconv_t>(-1);

bool IsUtf8Name(std::string_view name) {
    return EqualsNoCase(name, "UTF-8") || EqualsNoCase(name, "UTF8");
}

std::optional<int> ParseNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The Windows code page number an iconv name stands for, 0 when it is none.
int CodePageNumberOf(std::string_view name) {
    if (IsUtf8Name(name)) return 65001;
    for (std::string_view prefix : {std::string_view("CP"), std::string_view("WINDOWS-")}) {
        if (name.size() > prefix.size() && EqualsNoCase(name.substr(0, prefix.size()), prefix)) {
            if (auto n = ParseNumber(name.substr(prefix.size()))) return *n;
        }
    }
    return 0;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// LUMBROOK_CODEPAGE as an iconv name: a number N is "CPN" (65001 is UTF-8).
std::string CodePageNameFromSetting(std::string_view setting) {
    setting = Trim(setting);
    if (setting.empty()) return std::string(DefaultCodePageName);
    if (auto n = ParseNumber(setting)) {
        if (*n == 65001) return "UTF-8";
        return "CP" + std::to_string(*n);
    }
    return std::string(setting);
}

// Decodes one strictly valid UTF-8 sequence at pos (no overlong forms, no
// surrogates, nothing past U+10FFFF) and advances past it; on anything else
// returns nothing and advances by one byte.
std::optional<char32_t> DecodeUtf8(std::string_view s, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    std::size_t len;
    char32_t cp;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++pos;
        return std::nullopt;
    }
    if (len > s.size() - pos) {
        ++pos;
        return std::nullopt;
    }
    for (std::size_t i = 1; i < len; ++i) {
        unsigned char b = byte(pos + i);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return std::nullopt;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return std::nullopt;
    }
    pos += len;
    return cp;
}

// Length of the valid UTF-8 sequence at pos, or 1 when there is none.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t pos) {
    std::size_t p = pos;
    DecodeUtf8(s, p);
    return p - pos;
}

bool IsAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// Output buffer for iconv that grows as needed.
class TIconvOutput {
  public:
    explicit TIconvOutput(std::size_t expected) { Buffer.resize(expected + 16); }

    char** Ptr() { return &Cursor; }
    std::size_t* Left() { return &Remaining; }
    void Begin() {
        Cursor = Buffer.data() + Used;
        Remaining = Buffer.size() - Used;
    }
    void End() { Used = static_cast<std::size_t>(Cursor - Buffer.data()); }
    void Grow() { Buffer.resize(Buffer.size() * 2 + 16); }
    void Append(std::string_view bytes) {
        if (bytes.size() > Buffer.size() - Used) Buffer.resize(Used + bytes.size() + Buffer.size());
        Buffer.replace(Used, bytes.size(), bytes);
        Used += bytes.size();
    }
    std::string Take() {
        Buffer.resize(Used);
        return std::move(Buffer);
    }

  private:
    std::string Buffer;
    std::size_t Used = 0;
    char* Cursor = nullptr;
    std::size_t Remaining = 0;
};

// Runs text through an iconv descriptor; at every input position iconv refuses,
// onError(pos) appends the substitute to out and returns how many input bytes to skip.
template <typename OnError>
std::string RunIconv(iconv_t cd, std::string_view text, OnError onError) {
    TIconvOutput out(text.size() * 2);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        out.Begin();
        std::size_t rc = iconv(cd, &in, &inLeft, out.Ptr(), out.Left());
        int err = errno;
        out.End();
        if (rc != static_cast<std::size_t>(-1)) break;
        if (err == E2BIG) {
            out.Grow();
            continue;
        }
        // EILSEQ, or EINVAL for a sequence cut off by the end of the text.
        std::size_t pos = text.size() - inLeft;
        std::size_t skip = onError(out, pos);
        if (skip > inLeft) skip = inLeft;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    for (;;) {
        out.Begin();
        std::size_t rc = iconv(cd, nullptr, nullptr, out.Ptr(), out.Left());
        int err = errno;
        out.End();
        if (rc == static_cast<std::size_t>(-1) && err == E2BIG) {
            out.Grow();
            continue;
        }
        break;
    }
    return out.Take();
}

std::string Utf8Of(char32_t cp) {
    std::string s;
    AppendUtf8(s, cp);
    return s;
}

// One code page with what is needed to convert both ways. Single-byte code pages
// (all the Windows ANSI ones but the East Asian) go through a table built once;
// the others through iconv.
class TCodePage {
  public:
    TCodePage(const TCodePage&) = delete;
    TCodePage& operator=(const TCodePage&) = delete;
    ~TCodePage() {
        if (ToUtf8Cd != NoIconv) iconv_close(ToUtf8Cd);
        if (FromUtf8Cd != NoIconv) iconv_close(FromUtf8Cd);
    }

    // Nothing when iconv does not know the name.
    static std::unique_ptr<TCodePage> Open(const std::string& name) {
        std::unique_ptr<TCodePage> cp(new TCodePage);
        if (IsUtf8Name(name)) {
            cp->IsUtf8 = true;
            return cp;
        }
        cp->ToUtf8Cd = iconv_open("UTF-8", name.c_str());
        if (cp->ToUtf8Cd == NoIconv) return nullptr;
        cp->FromUtf8Cd = iconv_open(name.c_str(), "UTF-8");
        if (cp->FromUtf8Cd == NoIconv) return nullptr;
        cp->BuildTable(CodePageNumberOf(name) == 1252);
        return cp;
    }

    std::string ToUtf8(std::string_view text) const {
        if (AsciiIdentity && IsAscii(text)) return std::string(text);
        if (IsUtf8) return SanitizeUtf8(text);
        if (SingleByte) {
            std::string out;
            out.reserve(text.size() + text.size() / 2);
            for (char c : text) out += Table[static_cast<unsigned char>(c)];
            return out;
        }
        return RunIconv(ToUtf8Cd, text, [](TIconvOutput& out, std::size_t) {
            out.Append(Utf8Of(ReplacementChar));
            return std::size_t{1};
        });
    }

    std::string FromUtf8(std::string_view utf8) const {
        if (AsciiIdentity && IsAscii(utf8)) return std::string(utf8);
        if (IsUtf8) {
            std::string out;
            out.reserve(utf8.size());
            for (std::size_t pos = 0; pos < utf8.size();) {
                std::size_t start = pos;
                if (DecodeUtf8(utf8, pos)) {
                    out.append(utf8.substr(start, pos - start));
                } else {
                    out += '?';
                }
            }
            return out;
        }
        if (SingleByte) {
            std::string out;
            out.reserve(utf8.size());
            for (std::size_t pos = 0; pos < utf8.size();) {
                auto cp = DecodeUtf8(utf8, pos);
                auto it = cp ? FromUnicode.find(*cp) : FromUnicode.end();
                out += it != FromUnicode.end() ? static_cast<char>(it->second) : '?';
            }
            return out;
        }
        return RunIconv(FromUtf8Cd, utf8, [utf8](TIconvOutput& out, std::size_t pos) {
            out.Append("?");
            return Utf8SequenceLength(utf8, pos);
        });
    }

    // Built without iconv, so that a code page is at hand in every case.
    static std::unique_ptr<TCodePage> Latin1() {
        std::unique_ptr<TCodePage> cp(new TCodePage);
        for (int b = 0; b < 256; ++b) {
            cp->Table[b] = Utf8Of(char32_t(b));
            cp->FromUnicode[char32_t(b)] = static_cast<std::uint8_t>(b);
        }
        return cp;
    }

  private:
    TCodePage() = default;

    static std::string SanitizeUtf8(std::string_view text) {
        std::string out;
        out.reserve(text.size());
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t start = pos;
            if (DecodeUtf8(text, pos)) {
                out.append(text.substr(start, pos - start));
            } else {
                AppendUtf8(out, ReplacementChar);
            }
        }
        return out;
    }

    // Converts each byte on its own. A byte iconv calls incomplete is a lead byte,
    // so the code page is not single-byte and stays with iconv.
    void BuildTable(bool windowsHoles) {
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b);
            char* inPtr = &in;
            std::size_t inLeft = 1;
            char buf[32];
            char* outPtr = buf;
            std::size_t outLeft = sizeof buf;
            iconv(ToUtf8Cd, nullptr, nullptr, nullptr, nullptr);
            std::size_t rc = iconv(ToUtf8Cd, &inPtr, &inLeft, &outPtr, &outLeft);
            int err = errno;
            if (rc == static_cast<std::size_t>(-1) && err == EINVAL) {
                SingleByte = false;
                AsciiIdentity = false;
                break;
            }
            if (rc == static_cast<std::size_t>(-1) || inLeft != 0) {
                // Windows maps the holes of 1252 onto the C1 controls of the same value.
                bool hole =
                    windowsHoles && (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D);
                Table[b] = Utf8Of(hole ? char32_t(b) : ReplacementChar);
                continue;
            }
            // Code pages that combine characters (1255, 1258) hold the last one back.
            iconv(ToUtf8Cd, nullptr, nullptr, &outPtr, &outLeft);
            Table[b].assign(buf, static_cast<std::size_t>(outPtr - buf));
            if (Table[b].empty()) Table[b] = Utf8Of(ReplacementChar);
        }
        if (!SingleByte) {
            // Probe whether plain ASCII passes unchanged, as the fast path assumes.
            std::string ascii;
            for (int b = 1; b < 0x80; ++b) ascii += static_cast<char>(b);
            AsciiIdentity = ToUtf8(ascii) == ascii && FromUtf8(ascii) == ascii;
            return;
        }
        AsciiIdentity = true;
        for (int b = 0xFF; b >= 0; --b) {
            if (b < 0x80 && Table[b] != std::string(1, static_cast<char>(b))) AsciiIdentity = false;
            std::size_t pos = 0;
            const std::string& u = Table[b];
            auto cp = DecodeUtf8(u, pos);
            // Going downwards lets the lowest byte win when two bytes share a character.
            if (cp && pos == u.size() && *cp != ReplacementChar) {
                FromUnicode[*cp] = static_cast<std::uint8_t>(b);
            }
        }
    }

    bool IsUtf8 = false;
    bool SingleByte = true;
    bool AsciiIdentity = true;
    std::array<std::string, 256> Table;
    std::unordered_map<char32_t, std::uint8_t> FromUnicode;
    iconv_t ToUtf8Cd = NoIconv;
    iconv_t FromUtf8Cd = NoIconv;
};

// Descriptors and tables are built once per code page and thread (iconv
// descriptors carry state and must not be shared between threads).
const TCodePage& CodePageFor(std::string_view name) {
    thread_local std::map<std::string, std::unique_ptr<TCodePage>, std::less<>> opened;
    thread_local std::map<std::string, const TCodePage*, std::less<>> byName;
    if (auto it = byName.find(name); it != byName.end()) return *it->second;
    const TCodePage* found = nullptr;
    std::string key(name);
    if (auto cp = TCodePage::Open(key)) {
        found = cp.get();
        opened.emplace(key, std::move(cp));
    } else if (name != DefaultCodePageName) {
        found = &CodePageFor(DefaultCodePageName);
    } else {
        // Without iconv's CP1252 (no conversion modules installed) nothing better
        // than Latin-1 is at hand.
        auto latin1 = TCodePage::Latin1();
        found = latin1.get();
        opened.emplace(key, std::move(latin1));
    }
    byName.emplace(key, found);
    return *found;
}

std::string SettingName() {
    const char* setting = std::getenv("LUMBROOK_CODEPAGE");
    return CodePageNameFromSetting(setting ? setting : "");
}

bool IsKnownCodePage(const std::string& name) {
    thread_local std::map<std::string, bool, std::less<>> known;
    if (auto it = known.find(name); it != known.end()) return it->second;
    bool ok = IsUtf8Name(name);
    if (!ok) {
        iconv_t cd = iconv_open("UTF-8", name.c_str());
        ok = cd != NoIconv;
        if (ok) iconv_close(cd);
    }
    known.emplace(name, ok);
    return ok;
}

}  // namespace

std::string AnsiCodePageName() {
    std::string name = SettingName();
    return IsKnownCodePage(name) ? name : std::string(DefaultCodePageName);
}

int AnsiCodePage() {
    return CodePageNumberOf(AnsiCodePageName());
}

std::string AnsiCodePageLabel() {
    const int number = AnsiCodePage();
    if (number == 65001) return "utf-8";
    if (number == 874 || (number >= 1250 && number <= 1258)) return "windows-" + std::to_string(number);
    return LowerAscii(AnsiCodePageName());
}

std::string CodePageToUtf8(std::string_view text, std::string_view codePageName) {
    return CodePageFor(codePageName).ToUtf8(text);
}

std::string Utf8ToCodePage(std::string_view utf8, std::string_view codePageName) {
    return CodePageFor(codePageName).FromUtf8(utf8);
}

std::string AnsiToUtf8(std::string_view ansi) {
    if (IsAscii(ansi)) {
        // The Windows ANSI code pages all keep ASCII; only an exotic setting does not.
        const char* setting = std::getenv("LUMBROOK_CODEPAGE");
        if (!setting || !*setting) return std::string(ansi);
    }
    return CodePageFor(SettingName()).ToUtf8(ansi);
}

std::string Utf8ToAnsi(std::string_view utf8) {
    if (IsAscii(utf8)) {
        const char* setting = std::getenv("LUMBROOK_CODEPAGE");
        if (!setting || !*setting) return std::string(utf8);
    }
    return CodePageFor(SettingName()).FromUtf8(utf8);
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        if (!DecodeUtf8(text, pos)) return false;
    }
    return true;
}

std::string ToUtf8(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    return AnsiToUtf8(text);
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = ReplacementChar;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    const auto unitAt = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    };
    std::size_t i = 0;
    while (bytes.size() - i >= 2) {
        char16_t u = unitAt(i);
        i += 2;
        if (u >= 0xD800 && u <= 0xDBFF && bytes.size() - i >= 2) {
            char16_t low = unitAt(i);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                i += 2;
                AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                continue;
            }
        }
        AppendUtf8(out, u);  // a lone surrogate comes out as U+FFFD
    }
    if (i < bytes.size()) AppendUtf8(out, ReplacementChar);
    return out;
}

}  // namespace lumbrook
