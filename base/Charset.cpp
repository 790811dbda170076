#include "base/Charset.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "base/Ascii.h"

namespace lumbrook {

namespace {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD";

// Labels whose text is read as another charset, or that iconv spells differently.
// The targets follow what browsers do, since mail clients rendered mail with a
// browser engine: a message labelled "iso-8859-1" was shown, and so written, as
// windows-1252.
struct LabelAlias {
    std::string_view label;
    std::string_view iconvName;
};
constexpr LabelAlias LabelAliases[] = {
    {"utf-8", "UTF-8"}, {"utf8", "UTF-8"}, {"unicode-1-1-utf-8", "UTF-8"},
    {"unicode11utf8", "UTF-8"}, {"unicode20utf8", "UTF-8"}, {"x-unicode20utf8", "UTF-8"},
    {"us-ascii", "CP1252"}, {"ascii", "CP1252"}, {"us", "CP1252"}, {"ansi_x3.4-1968", "CP1252"},
    {"iso-8859-1", "CP1252"}, {"iso8859-1", "CP1252"}, {"iso_8859-1", "CP1252"},
    {"iso_8859-1:1987", "CP1252"}, {"iso88591", "CP1252"}, {"iso-ir-100", "CP1252"},
    {"latin1", "CP1252"}, {"l1", "CP1252"}, {"cp819", "CP1252"}, {"ibm819", "CP1252"},
    {"csisolatin1", "CP1252"}, {"windows-1252", "CP1252"}, {"cp1252", "CP1252"},
    {"x-cp1252", "CP1252"},
    {"iso-8859-9", "CP1254"}, {"iso8859-9", "CP1254"}, {"iso_8859-9", "CP1254"},
    {"iso88599", "CP1254"}, {"latin5", "CP1254"}, {"l5", "CP1254"},
    {"iso-8859-11", "CP874"}, {"iso8859-11", "CP874"}, {"tis-620", "CP874"},
    {"windows-874", "CP874"}, {"dos-874", "CP874"},
    {"iso-8859-15", "ISO-8859-15"}, {"iso8859-15", "ISO-8859-15"},
    {"iso_8859-15", "ISO-8859-15"}, {"latin-9", "ISO-8859-15"}, {"l9", "ISO-8859-15"},
    {"iso-8859-8-i", "ISO-8859-8"}, {"csiso88598i", "ISO-8859-8"}, {"logical", "ISO-8859-8"},
    {"gb2312", "GBK"}, {"csgb2312", "GBK"}, {"gb_2312-80", "GBK"}, {"gb_2312", "GBK"},
    {"iso-ir-58", "GBK"}, {"chinese", "GBK"}, {"x-gbk", "GBK"}, {"gbk", "GBK"},
    {"ks_c_5601-1987", "CP949"}, {"ks_c_5601-1989", "CP949"}, {"ksc5601", "CP949"},
    {"ksc_5601", "CP949"}, {"euc-kr", "CP949"}, {"korean", "CP949"}, {"windows-949", "CP949"},
    {"shift_jis", "CP932"}, {"shift-jis", "CP932"}, {"sjis", "CP932"}, {"x-sjis", "CP932"},
    {"ms_kanji", "CP932"}, {"csshiftjis", "CP932"}, {"windows-31j", "CP932"},
    {"ms932", "CP932"},
    {"big5", "BIG5-HKSCS"}, {"big5-hkscs", "BIG5-HKSCS"}, {"cn-big5", "BIG5-HKSCS"},
    {"x-x-big5", "BIG5-HKSCS"}, {"csbig5", "BIG5-HKSCS"},
    {"x-mac-roman", "MACINTOSH"}, {"macintosh", "MACINTOSH"}, {"mac", "MACINTOSH"},
    {"x-mac", "MACINTOSH"}, {"csmacintosh", "MACINTOSH"},
    {"x-mac-cyrillic", "MAC-CYRILLIC"}, {"x-mac-ukrainian", "MAC-CYRILLIC"},
    {"koi8-r", "KOI8-R"}, {"koi8", "KOI8-R"}, {"koi", "KOI8-R"}, {"cskoi8r", "KOI8-R"},
    {"koi8-u", "KOI8-U"}, {"koi8-ru", "KOI8-U"},
};

// Labels that say the writer did not know the charset: the caller's own fallback
// is the better guess.
constexpr std::string_view UnknownLabels[] = {"unknown", "unknown-8bit", "x-unknown",
                                              "x-user-defined", "default", "none"};

constexpr std::size_t MaxLabelLength = 64;
// Labels come from untrusted mail; a flood of different ones must not grow the
// caches without end.
constexpr std::size_t MaxCachedEntries = 512;

std::string normalizedLabel(std::string_view label) {
    // Quotes may sit inside or outside the padding ("  'utf-8' ", "\" utf-8\"").
    for (;;) {
        const std::size_t before = label.size();
        while (!label.empty() &&
               (isHtmlSpace(label.front()) || label.front() == '"' || label.front() == '\''))
            label.remove_prefix(1);
        while (!label.empty() &&
               (isHtmlSpace(label.back()) || label.back() == '"' || label.back() == '\''))
            label.remove_suffix(1);
        if (label.size() == before) break;
    }
    std::string out;
    if (label.size() > MaxLabelLength) return out;
    for (char c : label) {
        c = lowerAscii(c);
        // Only what charset names are made of: a "/" would reach iconv's
        // "//TRANSLIT" and "//IGNORE" suffixes.
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                             c == '_' || c == '.' || c == ':' || c == '+' || c == '(' || c == ')';
        if (!allowed) return {};
        out += c;
    }
    return out;
}

struct CharsetTraits {
    bool known = false;
    // Every ASCII byte reads as itself, so pure ASCII text needs no conversion.
    bool asciiCompatible = false;
};

CharsetTraits probeCharset(const std::string& iconvName) {
    CharsetTraits traits;
    iconv_t cd = iconv_open("UTF-8", iconvName.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return traits;
    traits.known = true;
    char ascii[128];
    for (int i = 0; i < 128; ++i) ascii[i] = static_cast<char>(i);
    char converted[1024];
    char* in = ascii;
    std::size_t inLeft = sizeof ascii;
    char* out = converted;
    std::size_t outLeft = sizeof converted;
    const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    if (result != static_cast<std::size_t>(-1) && inLeft == 0) {
        const bool flushed = iconv(cd, nullptr, nullptr, &out, &outLeft) != static_cast<std::size_t>(-1);
        traits.asciiCompatible = flushed && static_cast<std::size_t>(out - converted) == sizeof ascii &&
                                 std::string_view(converted, sizeof ascii) ==
                                     std::string_view(ascii, sizeof ascii);
    }
    iconv_close(cd);
    return traits;
}

CharsetTraits charsetTraits(const std::string& iconvName) {
    static std::mutex mutex;
    static std::unordered_map<std::string, CharsetTraits> cache;
    {
        std::lock_guard lock(mutex);
        if (auto it = cache.find(iconvName); it != cache.end()) return it->second;
    }
    const CharsetTraits traits = probeCharset(iconvName);
    std::lock_guard lock(mutex);
    if (cache.size() >= MaxCachedEntries) cache.clear();
    cache.emplace(iconvName, traits);
    return traits;
}

bool isUtf8Name(std::string_view name) {
    if (name.size() != 5 && name.size() != 4) return false;
    std::string upper;
    for (char c : name) upper += upperAscii(c);
    return upper == "UTF-8" || upper == "UTF8";
}

bool isAscii(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Every byte as the code point of the same number: the last resort when iconv has
// no converters at all, which still keeps every byte of the text.
std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

// How many bytes a UTF-8 sequence with this lead byte has; 0 for a byte that
// cannot start one.
std::size_t leadLength(char leadByte) {
    const auto lead = static_cast<unsigned char>(leadByte);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Whether a byte may stand at place n (1 to 3) of a sequence with this lead byte:
// a continuation byte, and for the second one a narrower range after E0, ED, F0
// and F4, which keeps out overlong forms, surrogates and code points above U+10FFFF.
bool fitsSequence(unsigned char lead, std::size_t n, unsigned char b) {
    unsigned char low = 0x80, high = 0xBF;
    if (n == 1) {
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    return b >= low && b <= high;
}

// How many bytes at the start, lead byte first, follow the rules of one sequence
// (at most its length).
std::size_t wellFormedPrefix(std::string_view bytes) {
    if (bytes.empty()) return 0;
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const std::size_t length = leadLength(bytes[0]);
    if (length == 0) return 0;
    std::size_t n = 1;
    while (n < length && n < bytes.size() &&
           fitsSequence(lead, n, static_cast<unsigned char>(bytes[n])))
        ++n;
    return n;
}

struct ConversionTrouble {
    bool unreadable = false;
    bool cutOff = false;  // the text ended inside a sequence
};

// The one loop over iconv: every conversion into UTF-8 runs through it.
std::string convertWith(iconv_t cd, std::string_view bytes, Utf8Converter::Unreadable unreadable,
                        ConversionTrouble* trouble = nullptr) {
    // iconv writes straight into the result, which grows when iconv asks for room:
    // most texts need no more than twice their size as UTF-8.
    std::string out(bytes.size() * 2 + 16, '\0');
    std::size_t used = 0;
    const auto makeRoom = [&](std::size_t needed) {
        if (out.size() - used < needed) out.resize(out.size() * 2 + needed);
    };
    // One call to iconv: the errno it left, 0 when it took all it could.
    const auto run = [&](char** in, std::size_t* inLeft) {
        char* next = out.data() + used;
        std::size_t left = out.size() - used;
        const std::size_t result = iconv(cd, in, inLeft, &next, &left);
        const int error = result == static_cast<std::size_t>(-1) ? errno : 0;
        used = static_cast<std::size_t>(next - out.data());
        return error;
    };
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        const int error = run(&in, &inLeft);
        if (error == 0) continue;
        if (error == E2BIG) {
            out.resize(out.size() * 2 + 64);
            continue;
        }
        makeRoom(ReplacementCharacter.size());
        out.replace(used, ReplacementCharacter.size(), ReplacementCharacter);
        used += ReplacementCharacter.size();
        if (trouble) {
            trouble->unreadable = true;
            if (error == EINVAL) trouble->cutOff = true;
        }
        // An incomplete sequence can only stand at the end: as mail reads, it is
        // one unreadable character. Anything else unreadable is skipped a byte at a
        // time, so the reader picks up again at the next byte that starts a
        // character. glibc's UHC (CP949) can call a pair unreadable after taking
        // both its bytes: at the end of the text nothing is left to skip.
        const bool afresh = unreadable == Utf8Converter::Unreadable::EachByteAfresh;
        if (error == EINVAL && !afresh) break;
        if (inLeft > 0) {
            ++in;
            --inLeft;
        }
        if (afresh) iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // The end of the text: what a stateful charset still holds, and back to its
    // initial state for the next text.
    while (run(nullptr, nullptr) == E2BIG) out.resize(out.size() * 2 + 64);
    out.resize(used);
    return out;
}

}  // namespace

std::optional<std::string> iconvNameForLabel(std::string_view label) {
    const std::string key = normalizedLabel(label);
    if (key.empty()) return std::nullopt;
    for (std::string_view unknown : UnknownLabels)
        if (key == unknown) return std::nullopt;

    std::string name;
    for (const LabelAlias& alias : LabelAliases) {
        if (alias.label == key) {
            name = alias.iconvName;
            break;
        }
    }
    if (name.empty()) {
        for (char c : key) name += upperAscii(c);
        // "x-cp1251" and the like: the "x-" of unregistered names means nothing to iconv.
        if (name.starts_with("X-") && name.size() > 2) name.erase(0, 2);
    }
    if (!charsetTraits(name).known) return std::nullopt;
    return name;
}

bool isKnownCharset(std::string_view iconvName) {
    return charsetTraits(std::string(iconvName)).known;
}

std::optional<std::array<std::string, 256>> singleByteCharsetTable(std::string_view iconvName) {
    const iconv_t cd = iconv_open("UTF-8", std::string(iconvName).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::optional<std::array<std::string, 256>> table(std::in_place);
    for (int b = 0; b < 256 && table; ++b) {
        const char byte = static_cast<char>(b);
        ConversionTrouble trouble;
        std::string text = convertWith(cd, std::string_view(&byte, 1),
                                       Utf8Converter::Unreadable::EachByteAfresh, &trouble);
        if (trouble.cutOff) {
            table.reset();  // a lead byte
        } else if (trouble.unreadable) {
            (*table)[b].clear();
        } else {
            // Code pages that combine characters (1255, 1258) hold a letter back
            // until the flush; a byte that gives nothing even then stands for none.
            (*table)[b] = text.empty() ? std::string(ReplacementCharacter) : std::move(text);
        }
    }
    iconv_close(cd);
    return table;
}

struct Utf8Converter::State {
    Unreadable unreadable = Unreadable::AsMail;
    bool utf8 = false;
    bool asciiCompatible = false;
    iconv_t cd = reinterpret_cast<iconv_t>(-1);  // none: every byte as Latin-1
};

Utf8Converter::Utf8Converter(std::string_view iconvName, Unreadable unreadable)
    : state(std::make_unique<State>()) {
    state->unreadable = unreadable;
    if (isUtf8Name(iconvName)) {
        state->utf8 = true;
        return;
    }
    std::string name(iconvName);
    CharsetTraits traits = charsetTraits(name);
    if (!traits.known) {
        name = "CP1252";
        traits = charsetTraits(name);
    }
    if (!traits.known) return;
    state->asciiCompatible = traits.asciiCompatible;
    state->cd = iconv_open("UTF-8", name.c_str());
}

Utf8Converter::~Utf8Converter() {
    if (state->cd != reinterpret_cast<iconv_t>(-1)) iconv_close(state->cd);
}

std::string Utf8Converter::convert(std::string_view bytes) {
    if (bytes.empty()) return {};
    if (state->utf8) return sanitizeUtf8(bytes);
    if (state->cd == reinterpret_cast<iconv_t>(-1)) return latin1ToUtf8(bytes);
    if (state->asciiCompatible && isAscii(bytes)) return std::string(bytes);
    std::string out = convertWith(state->cd, bytes, state->unreadable);
    // iconv writes well-formed UTF-8; checking costs one pass and keeps the promise
    // whatever a converter module does.
    if (!isValidUtf8(out)) out = sanitizeUtf8(out);
    return out;
}

std::string convertToUtf8(std::string_view bytes, std::string_view iconvName) {
    if (bytes.empty()) return {};
    if (isUtf8Name(iconvName)) return sanitizeUtf8(bytes);
    // Most texts are plain ASCII: no converter needs opening for them.
    if (isAscii(bytes)) {
        CharsetTraits traits = charsetTraits(std::string(iconvName));
        if (!traits.known) traits = charsetTraits("CP1252");
        if (traits.asciiCompatible) return std::string(bytes);
    }
    return Utf8Converter(iconvName).convert(bytes);
}

std::string convertFromUtf8(std::string_view utf8, std::string_view iconvName) {
    iconv_t cd = ::iconv_open(std::string(iconvName).c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(utf8);
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    // Bounded: every pass converts, skips a character or ends.
    while (inLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = ::iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        out.push_back('?');
        std::size_t skip = utf8SequenceLength(std::string_view(in, inLeft));
        if (skip == 0) skip = 1;
        in += skip;
        inLeft -= skip;
    }
    ::iconv_close(cd);
    return out;
}

std::size_t utf8SequenceLength(std::string_view bytes) {
    if (bytes.empty()) return 0;
    if (static_cast<unsigned char>(bytes[0]) < 0x80) return 1;
    const std::size_t length = leadLength(bytes[0]);
    if (length == 0) return 0;
    return wellFormedPrefix(bytes) == length ? length : 0;
}

bool isValidUtf8(std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (static_cast<unsigned char>(bytes[at]) < 0x80) {
            ++at;
            continue;
        }
        // Every conversion's result passes here: one look at each byte.
        const auto lead = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = leadLength(bytes[at]);
        if (length == 0 || length > bytes.size() - at) return false;
        for (std::size_t n = 1; n < length; ++n)
            if (!fitsSequence(lead, n, static_cast<unsigned char>(bytes[at + n]))) return false;
        at += length;
    }
    return true;
}

std::string sanitizeUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t length = utf8SequenceLength(bytes.substr(at));
        if (length > 0) {
            out.append(bytes.substr(at, length));
            at += length;
            continue;
        }
        // The maximal part that could have begun a character is one U+FFFD: the
        // lead byte and the continuation bytes that were still right for it.
        const std::size_t bad = std::max<std::size_t>(1, wellFormedPrefix(bytes.substr(at)));
        out += ReplacementCharacter;
        at += bad;
    }
    return out;
}

}  // namespace lumbrook
