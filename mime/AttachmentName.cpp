#include "mime/AttachmentName.h"

#include <fstream>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include "base/Ascii.h"
#include "base/Charset.h"

namespace lumbrook {

namespace {

constexpr std::string_view MimeTypesPath = "/etc/mime.types";
constexpr std::size_t MaxFileNameBytes = 255;
// Longer "extensions" are part of the name that happens to hold a dot.
constexpr std::size_t MaxExtensionBytes = 32;
// Section numbers beyond this are damage, not a long name.
constexpr int MaxSectionNumber = 9999;
constexpr std::size_t MaxCharsetLength = 64;

bool isAscii(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Text whose charset nobody named: UTF-8 when it is well-formed UTF-8, else the
// fallback charset.
std::string unlabelledToUtf8(std::string_view bytes, std::string_view fallbackIconvName) {
    if (isAscii(bytes) || isValidUtf8(bytes)) return std::string(bytes);
    return convertToUtf8(bytes, fallbackIconvName);
}

std::string labelledToUtf8(std::string_view bytes, std::string_view charsetLabel,
                           std::string_view fallbackIconvName) {
    if (const auto name = iconvNameForLabel(charsetLabel)) return convertToUtf8(bytes, *name);
    return convertToUtf8(bytes, fallbackIconvName);
}

std::string decodeQ(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 &&
                   hexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Stray characters are skipped and a missing padding is no error: the words come
// from every kind of client.
std::string decodeB(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3 + 3);
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        const int value = base64Value(c);
        if (value < 0) continue;
        bits = (bits << 6) | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 &&
            hexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct EncodedWord {
    std::string_view charset;
    std::string bytes;
    std::size_t end = 0;  // just after the closing "?="
};

// The encoded word at `at` (which holds "=?"), when it is one.
std::optional<EncodedWord> encodedWordAt(std::string_view value, std::size_t at) {
    const std::size_t charsetStart = at + 2;
    const std::size_t charsetEnd = value.find('?', charsetStart);
    if (charsetEnd == std::string_view::npos || charsetEnd == charsetStart ||
        charsetEnd - charsetStart > MaxCharsetLength)
        return std::nullopt;
    std::string_view charset = value.substr(charsetStart, charsetEnd - charsetStart);
    for (char c : charset)
        if (isSpace(c)) return std::nullopt;
    if (charsetEnd + 2 >= value.size() || value[charsetEnd + 2] != '?') return std::nullopt;
    const char encoding = lowerAscii(value[charsetEnd + 1]);
    if (encoding != 'b' && encoding != 'q') return std::nullopt;
    const std::size_t textStart = charsetEnd + 3;
    const std::size_t textEnd = value.find('?', textStart);
    if (textEnd == std::string_view::npos || textEnd + 1 >= value.size() || value[textEnd + 1] != '=')
        return std::nullopt;
    // RFC 2231 lets a language follow the charset: "utf-8*de".
    if (const std::size_t star = charset.find('*'); star != std::string_view::npos)
        charset = charset.substr(0, star);
    const std::string_view text = value.substr(textStart, textEnd - textStart);
    return EncodedWord{charset, encoding == 'b' ? decodeB(text) : decodeQ(text), textEnd + 2};
}

// The header value with its folding undone: a line end followed by white space is
// the space alone.
std::string unfolded(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' || value[i] == '\n') {
            std::size_t next = i;
            while (next < value.size() && (value[next] == '\r' || value[next] == '\n')) ++next;
            if (next < value.size() && isBlank(value[next])) {
                i = next - 1;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

struct Parameter {
    std::string name;  // lower case
    std::string value;
};

// The quoted string starting after the opening quote at `at`; `at` ends after the
// closing quote (or at the end for an unterminated one). A backslash escapes only a
// quote or a backslash: Windows clients wrote paths into quoted names unescaped.
std::string quotedString(std::string_view text, std::size_t& at) {
    std::string out;
    while (at < text.size()) {
        const char c = text[at++];
        if (c == '"') return out;
        if (c == '\\' && at < text.size() && (text[at] == '"' || text[at] == '\\')) {
            out += text[at++];
            continue;
        }
        out += c;
    }
    return out;
}

// Every "name=value" after the first ";" outside quotes, in order.
std::vector<Parameter> parameters(std::string_view headerValue) {
    std::vector<Parameter> list;
    std::size_t at = 0;
    bool quoted = false;
    for (; at < headerValue.size(); ++at) {
        if (headerValue[at] == '"') quoted = !quoted;
        if (headerValue[at] == '\\' && quoted) ++at;
        else if (headerValue[at] == ';' && !quoted) break;
    }
    while (at < headerValue.size()) {
        while (at < headerValue.size() && (headerValue[at] == ';' || isSpace(headerValue[at])))
            ++at;
        if (at >= headerValue.size()) break;
        const std::size_t nameStart = at;
        while (at < headerValue.size() && headerValue[at] != '=' && headerValue[at] != ';') ++at;
        const std::string_view name = trim(headerValue.substr(nameStart, at - nameStart), isSpace);
        if (at >= headerValue.size() || headerValue[at] == ';') continue;  // a name without a value
        ++at;
        while (at < headerValue.size() && isSpace(headerValue[at])) ++at;
        std::string value;
        if (at < headerValue.size() && headerValue[at] == '"') {
            ++at;
            value = quotedString(headerValue, at);
            // Anything between the closing quote and the next ";" is damage.
            while (at < headerValue.size() && headerValue[at] != ';') ++at;
        } else {
            const std::size_t valueStart = at;
            while (at < headerValue.size() && headerValue[at] != ';') ++at;
            value = trim(headerValue.substr(valueStart, at - valueStart), isSpace);
        }
        if (!name.empty()) list.push_back({lowerAscii(name), std::move(value)});
    }
    return list;
}

struct ExtendedValue {
    std::string_view charset;  // empty when not given
    std::string_view text;     // still percent-encoded
};

ExtendedValue splitExtended(std::string_view value) {
    const std::size_t first = value.find('\'');
    if (first == std::string_view::npos) return {{}, value};
    const std::size_t second = value.find('\'', first + 1);
    if (second == std::string_view::npos) return {{}, value};
    return {value.substr(0, first), value.substr(second + 1)};
}

std::string extendedToUtf8(std::string_view bytes, std::string_view charset, std::string_view fallbackIconvName) {
    if (trim(charset, isSpace).empty()) return unlabelledToUtf8(bytes, fallbackIconvName);
    return labelledToUtf8(bytes, charset, fallbackIconvName);
}

// The section number of "name*N" or "name*N*" (lower case), or -1.
int sectionNumber(std::string_view parameterName, std::string_view name, bool& extended) {
    if (parameterName.size() <= name.size() + 1 || !parameterName.starts_with(name) ||
        parameterName[name.size()] != '*')
        return -1;
    std::string_view rest = parameterName.substr(name.size() + 1);
    extended = rest.ends_with('*');
    if (extended) rest.remove_suffix(1);
    if (rest.empty() || rest.size() > 4) return -1;
    int number = 0;
    for (char c : rest) {
        if (c < '0' || c > '9') return -1;
        number = number * 10 + (c - '0');
    }
    return number <= MaxSectionNumber ? number : -1;
}

std::unordered_map<std::string, std::string> readMimeTypes() {
    std::unordered_map<std::string, std::string> extensions;
    std::ifstream file{std::string(MimeTypesPath)};
    std::string line;
    while (std::getline(file, line)) {
        if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::size_t at = 0;
        auto nextField = [&]() {
            while (at < line.size() && isSpace(line[at])) ++at;
            const std::size_t start = at;
            while (at < line.size() && !isSpace(line[at])) ++at;
            return std::string_view(line).substr(start, at - start);
        };
        const std::string_view type = nextField();
        const std::string_view extension = nextField();
        if (type.empty() || extension.empty()) continue;
        extensions.emplace(lowerAscii(type), lowerAscii(extension));
    }
    return extensions;
}

}  // namespace

std::string decodeEncodedWords(std::string_view value, std::string_view fallbackIconvName) {
    const std::string text = unfolded(value);
    std::string out;
    std::string bare;        // text outside encoded words, not yet converted
    std::string wordBytes;   // a run of adjacent words in one charset, not yet converted
    std::string wordCharset;
    bool inWordRun = false;
    auto flushWords = [&] {
        if (!inWordRun) return;
        out += labelledToUtf8(wordBytes, wordCharset, fallbackIconvName);
        wordBytes.clear();
        inWordRun = false;
    };
    auto flushBare = [&] {
        out += unlabelledToUtf8(bare, fallbackIconvName);
        bare.clear();
    };

    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find("=?", at);
        if (start == std::string::npos) break;
        const auto word = encodedWordAt(text, start);
        if (!word) {
            flushWords();
            bare.append(text, at, start + 2 - at);
            at = start + 2;
            continue;
        }
        const std::string_view between = std::string_view(text).substr(at, start - at);
        if (!(inWordRun && trim(between, isSpace).empty() && bare.empty())) {
            flushWords();
            bare += between;
        }
        flushBare();
        // Words of one charset are joined before decoding: clients split a
        // character's bytes across two words.
        if (inWordRun && lowerAscii(word->charset) != wordCharset) flushWords();
        wordCharset = lowerAscii(word->charset);
        wordBytes += word->bytes;
        inWordRun = true;
        at = word->end;
    }
    flushWords();
    if (at < text.size()) bare.append(text, at);
    flushBare();
    return out;
}

std::optional<std::string> headerParameter(std::string_view headerValue, std::string_view name,
                                           std::string_view fallbackIconvName) {
    const std::string key = lowerAscii(trim(name, isSpace));
    if (key.empty()) return std::nullopt;
    std::optional<std::string> plain, extended;
    struct Section {
        std::string value;
        bool extended;
    };
    std::map<int, Section> sections;
    for (Parameter& parameter : parameters(headerValue)) {
        bool sectionExtended = false;
        if (parameter.name == key) {
            if (!plain) plain = std::move(parameter.value);
        } else if (parameter.name.size() == key.size() + 1 && parameter.name.starts_with(key) &&
                   parameter.name.back() == '*') {
            if (!extended) extended = std::move(parameter.value);
        } else if (const int number = sectionNumber(parameter.name, key, sectionExtended); number >= 0) {
            sections.try_emplace(number, Section{std::move(parameter.value), sectionExtended});
        }
    }

    if (extended) {
        const ExtendedValue split = splitExtended(*extended);
        return extendedToUtf8(percentDecoded(split.text), split.charset, fallbackIconvName);
    }
    if (!sections.empty()) {
        // Sections are joined in number order, whatever is missing; the charset is
        // named by the first one.
        std::string_view charset;
        std::string bytes;
        bool anyExtended = false;
        bool first = true;
        for (const auto& [number, section] : sections) {
            std::string_view text = section.value;
            if (section.extended) {
                anyExtended = true;
                if (first) {
                    const ExtendedValue split = splitExtended(text);
                    charset = split.charset;
                    text = split.text;
                }
                bytes += percentDecoded(text);
            } else {
                bytes += text;
            }
            first = false;
        }
        if (anyExtended) return extendedToUtf8(bytes, charset, fallbackIconvName);
        return decodeEncodedWords(bytes, fallbackIconvName);
    }
    if (plain) return decodeEncodedWords(*plain, fallbackIconvName);
    return std::nullopt;
}

std::string extensionForMediaType(std::string_view mediaType) {
    static const std::unordered_map<std::string, std::string> extensions = readMimeTypes();
    std::string_view type = mediaType.substr(0, mediaType.find(';'));
    const auto it = extensions.find(lowerAscii(trim(type, isSpace)));
    return it == extensions.end() ? std::string() : it->second;
}

std::string attachmentFileName(std::string_view utf8Name, std::size_t index, std::string_view mediaType) {
    const std::string repaired = sanitizeUtf8(utf8Name);
    const std::string_view name = trim(repaired, isSpace);
    if (name.empty()) {
        const std::string extension = extensionForMediaType(mediaType);
        return "attachment-" + std::to_string(index) + (extension.empty() ? "" : "." + extension);
    }

    std::string out;
    out.reserve(name.size() + 2);
    if (name.front() == '.') out += '_';
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') {
            out += '_';
        } else if (c == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) <= 0x9F) {
            // U+0080..U+009F, the second set of control characters.
            out += '_';
            ++i;
        } else {
            out += name[i];
        }
    }
    if (out.size() <= MaxFileNameBytes) return out;

    const std::size_t dot = out.rfind('.');
    const std::string extension =
        dot != std::string::npos && dot > 0 && out.size() - dot <= MaxExtensionBytes ? out.substr(dot) : "";
    std::size_t stemLength = MaxFileNameBytes - extension.size();
    // Cut before a character, never inside one.
    while (stemLength > 0 && (static_cast<unsigned char>(out[stemLength]) & 0xC0) == 0x80) --stemLength;
    return out.substr(0, stemLength) + extension;
}

}  // namespace lumbrook
