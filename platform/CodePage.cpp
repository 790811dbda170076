#include "platform/CodePage.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>

#include "base/Ascii.h"

namespace lumbrook {

namespace {

constexpr char32_t ReplacementChar = 0xFFFD;
constexpr std::string_view DefaultCodePageName = "CP1252";

bool isUtf8Name(std::string_view name) {
    return equalsNoCase(name, "UTF-8") || equalsNoCase(name, "UTF8");
}

std::optional<int> parseNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The Windows code page number an iconv name stands for, 0 when it is none.
int codePageNumberOf(std::string_view name) {
    if (isUtf8Name(name)) return 65001;
    for (std::string_view prefix : {std::string_view("CP"), std::string_view("WINDOWS-")}) {
        if (name.size() > prefix.size() && equalsNoCase(name.substr(0, prefix.size()), prefix)) {
            if (auto n = parseNumber(name.substr(prefix.size()))) return *n;
        }
    }
    return 0;
}

// LUMBROOK_CODEPAGE as an iconv name: a number N is "CPN" (65001 is UTF-8).
std::string codePageNameFromSetting(std::string_view setting) {
    setting = trim(setting, isBlank);
    if (setting.empty()) return std::string(DefaultCodePageName);
    if (auto n = parseNumber(setting)) {
        if (*n == 65001) return "UTF-8";
        return "CP" + std::to_string(*n);
    }
    return std::string(setting);
}

// Decodes one strictly valid UTF-8 sequence at pos (no overlong forms, no
// surrogates, nothing past U+10FFFF) and advances past it; on anything else
// returns nothing and advances by one byte.
std::optional<char32_t> decodeUtf8(std::string_view s, std::size_t& pos) {
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

bool isAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::string utf8Of(char32_t cp) {
    std::string s;
    appendUtf8(s, cp);
    return s;
}

}  // namespace

// What a code page needs to convert. Single-byte code pages (all the Windows ANSI
// ones but the East Asian) go through a table built once; the others through
// base's converter, which carries state and so is used by one caller at a time.
class CodePage::Converter {
  public:
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Nothing when iconv does not know the name.
    static std::unique_ptr<Converter> open(const std::string& name) {
        std::unique_ptr<Converter> c(new Converter);
        if (isUtf8Name(name)) {
            c->isUtf8 = true;
            return c;
        }
        if (!isKnownCharset(name)) return nullptr;
        if (auto table = singleByteCharsetTable(name)) {
            c->useTable(std::move(*table), codePageNumberOf(name) == 1252);
            return c;
        }
        c->multiByte =
            std::make_unique<Utf8Converter>(name, Utf8Converter::Unreadable::EachByteAfresh);
        // Probe whether plain ASCII passes unchanged, as the fast path assumes.
        std::string ascii;
        for (int b = 1; b < 0x80; ++b) ascii += static_cast<char>(b);
        c->asciiIdentity = c->multiByte->convert(ascii) == ascii;
        return c;
    }

    // Built without iconv, so that a code page is at hand in every case.
    static std::unique_ptr<Converter> latin1() {
        std::unique_ptr<Converter> c(new Converter);
        for (int b = 0; b < 256; ++b) c->table[b] = utf8Of(char32_t(b));
        return c;
    }

    std::string toUtf8(std::string_view text) const {
        if (asciiIdentity && isAscii(text)) return std::string(text);
        if (isUtf8) return sanitize(text);
        if (!multiByte) {
            std::string out;
            out.reserve(text.size() + text.size() / 2);
            for (char c : text) out += table[static_cast<unsigned char>(c)];
            return out;
        }
        std::lock_guard<std::mutex> lock(multiByteLock);
        return multiByte->convert(text);
    }

  private:
    Converter() = default;

    // One U+FFFD for every byte that starts no valid sequence.
    static std::string sanitize(std::string_view text) {
        std::string out;
        out.reserve(text.size());
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t start = pos;
            if (decodeUtf8(text, pos)) {
                out.append(text.substr(start, pos - start));
            } else {
                appendUtf8(out, ReplacementChar);
            }
        }
        return out;
    }

    void useTable(std::array<std::string, 256> bytes, bool windowsHoles) {
        table = std::move(bytes);
        asciiIdentity = true;
        for (int b = 0; b < 256; ++b) {
            if (table[b].empty()) {
                // Windows maps the holes of 1252 onto the C1 controls of the same value.
                const bool hole =
                    windowsHoles && (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D);
                table[b] = utf8Of(hole ? char32_t(b) : ReplacementChar);
            }
            if (b < 0x80 && table[b] != std::string(1, static_cast<char>(b))) asciiIdentity = false;
        }
    }

    bool isUtf8 = false;
    bool asciiIdentity = true;
    std::array<std::string, 256> table;
    std::unique_ptr<Utf8Converter> multiByte;  // none: the table
    mutable std::mutex multiByteLock;
};

CodePage::CodePage() : CodePage(fromSetting({})) {}

CodePage::CodePage(std::string iconvName, std::shared_ptr<const Converter> converter)
    : iconvName(std::move(iconvName)), converter(std::move(converter)) {}

CodePage CodePage::fromSetting(std::string_view setting, std::string* unknown) {
    std::string name = codePageNameFromSetting(setting);
    if (!isUtf8Name(name) && !isKnownCharset(name)) {
        if (unknown) *unknown = std::string(trim(setting, isBlank));
        name = std::string(DefaultCodePageName);
    }
    std::shared_ptr<const Converter> converter = Converter::open(name);
    // Without iconv's CP1252 (no conversion modules installed) nothing better than
    // Latin-1 is at hand.
    if (!converter) converter = Converter::latin1();
    return CodePage(std::move(name), std::move(converter));
}

CodePage CodePage::fromEnvironment(std::string* problem) {
    const char* setting = std::getenv("LUMBROOK_CODEPAGE");
    std::string unknown;
    CodePage page = fromSetting(setting ? setting : "", problem ? &unknown : nullptr);
    if (problem && !unknown.empty())
        *problem = "unknown code page '" + unknown + "' in LUMBROOK_CODEPAGE";
    return page;
}

std::optional<CodePage> CodePage::fromEnvironmentIfSet(std::string* problem) {
    const char* setting = std::getenv("LUMBROOK_CODEPAGE");
    if (!setting || trim(std::string_view(setting), isBlank).empty()) return std::nullopt;
    return fromEnvironment(problem);
}

int CodePage::number() const {
    return codePageNumberOf(iconvName);
}

std::string CodePage::label() const {
    const int n = number();
    if (n == 65001) return "utf-8";
    if (n == 874 || (n >= 1250 && n <= 1258)) return "windows-" + std::to_string(n);
    return lowerAscii(iconvName);
}

std::string CodePage::toUtf8(std::string_view text) const {
    return converter->toUtf8(text);
}

std::string CodePage::asUtf8(std::string_view text) const {
    if (isValidUtf8(text)) return std::string(text);
    return toUtf8(text);
}

const std::vector<int>& windowsAnsiCodePages() {
    static const std::vector<int> pages = {1252, 1250, 1251, 1253, 1254, 1257,
                                           1255, 1256, 1258, 874,  932,  936, 949, 950};
    return pages;
}

int ansiCodePageOfCharset(std::string_view charset) {
    const std::string name = lowerAscii(trim(charset, isBlank));
    static const struct {
        std::string_view charset;
        int codePage;
    } known[] = {
        {"iso-8859-1", 1252},  {"iso-8859-15", 1252},   {"latin1", 1252},
        {"iso-8859-2", 1250},  {"latin2", 1250},        {"koi8-r", 1251},
        {"koi8-u", 1251},      {"iso-8859-5", 1251},    {"cp866", 1251},
        {"ibm866", 1251},      {"iso-8859-7", 1253},    {"iso-8859-9", 1254},
        {"iso-8859-4", 1257},  {"iso-8859-13", 1257},   {"iso-8859-8", 1255},
        {"iso-8859-8-i", 1255}, {"iso-8859-6", 1256},   {"tis-620", 874},
        {"shift_jis", 932},    {"iso-2022-jp", 932},    {"euc-jp", 932},
        {"gb2312", 936},       {"gbk", 936},            {"gb18030", 936},
        {"ks_c_5601-1987", 949}, {"euc-kr", 949},       {"big5", 950},
    };
    for (const auto& k : known)
        if (name == k.charset) return k.codePage;
    for (std::string_view prefix : {std::string_view("windows-"), std::string_view("cp"),
                                    std::string_view("x-cp")}) {
        if (name.starts_with(prefix)) {
            const auto n = parseNumber(std::string_view(name).substr(prefix.size()));
            for (int page : windowsAnsiCodePages())
                if (n && *n == page) return page;
        }
    }
    return 0;
}

void appendUtf8(std::string& out, char32_t cp) {
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

std::string utf16LeToUtf8(std::string_view bytes) {
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
                appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                continue;
            }
        }
        appendUtf8(out, u);  // a lone surrogate comes out as U+FFFD
    }
    if (i < bytes.size()) appendUtf8(out, ReplacementChar);
    return out;
}

}  // namespace lumbrook
