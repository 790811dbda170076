#include "mime/MailCodecs.h"

#include <array>
#include <cstring>
#include <mutex>
#include <random>

#include "base/Errors.h"

namespace lumbrook {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

inline bool isUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

inline int upperHexValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// Offset of the next CR LF at or after From, or npos.
inline std::size_t findCrLf(std::string_view text, std::size_t from) {
    const char* data = text.data();
    const std::size_t size = text.size();
    while (from < size) {
        const void* cr = std::memchr(data + from, '\r', size - from);
        if (!cr) return std::string_view::npos;
        std::size_t at = static_cast<std::size_t>(static_cast<const char*>(cr) - data);
        if (at + 1 < size && data[at + 1] == '\n') return at;
        from = at + 1;
    }
    return std::string_view::npos;
}

// Alphabet values 0..63, PadCode for "=", Skip for everything else.
constexpr std::uint8_t PadCode = 64;
constexpr std::uint8_t Skip = 0xFF;

constexpr std::array<std::uint8_t, 256> makeBase64Table() {
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t) v = Skip;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(alphabet[i])] = std::uint8_t(i);
    t['='] = PadCode;
    return t;
}
constexpr auto Base64Table = makeBase64Table();
constexpr char Base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Writes the decoded bytes of one line at Out, which has room for 3 * (size / 4)
// bytes; returns the number written.
std::size_t decodeBase64Line(const unsigned char* p, const unsigned char* end, char* out) {
    char* const start = out;
    while (p < end) {
        if (end - p >= 4) {
            const std::uint32_t a = Base64Table[p[0]], b = Base64Table[p[1]], c = Base64Table[p[2]],
                                d = Base64Table[p[3]];
            if ((a | b | c | d) < 64) {
                const std::uint32_t v = a << 18 | b << 12 | c << 6 | d;
                out[0] = static_cast<char>(v >> 16);
                out[1] = static_cast<char>(v >> 8);
                out[2] = static_cast<char>(v);
                out += 3;
                p += 4;
                continue;
            }
        }
        // Slow path: one group gathered across skipped characters and padding.
        std::uint32_t group[4];
        int have = 0;
        while (p < end && have < 4) {
            const std::uint8_t v = Base64Table[*p++];
            if (v != Skip) group[have++] = v;
        }
        if (have < 4) break;  // incomplete group at the end of the line
        int bytes = 3;
        if (group[3] == PadCode) bytes = group[2] == PadCode ? 1 : 2;
        std::uint32_t v = 0;
        for (std::uint32_t g : group) v = v << 6 | (g == PadCode ? 0 : g);
        out[0] = static_cast<char>(v >> 16);
        if (bytes > 1) out[1] = static_cast<char>(v >> 8);
        if (bytes > 2) out[2] = static_cast<char>(v);
        out += bytes;
    }
    return static_cast<std::size_t>(out - start);
}

// -1 for characters outside the uuencode alphabet.
inline int uuValue(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u == '`' || u == ' ') return 0;
    if (u >= 33 && u <= 95) return u - 32;
    return -1;
}

}  // namespace

std::string_view trimLeftBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    return text.substr(i);
}

std::string_view trimRightBlanks(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && isBlank(text[n - 1])) --n;
    return text.substr(0, n);
}

std::string_view trimBlanks(std::string_view text) {
    text = trimLeftBlanks(text);
    std::size_t n = text.size();
    while (n > 0 && text[n - 1] == ' ') --n;
    return text.substr(0, n);
}

bool LineScanner::next(std::size_t& start, std::size_t& length) {
    if (pos >= text.size()) {
        start = text.size();
        length = 0;
        return false;
    }
    start = pos;
    const std::size_t lineEnd = findCrLf(text, pos);
    if (lineEnd == std::string_view::npos) {
        length = text.size() - pos;
        pos = text.size();
    } else {
        length = lineEnd - pos;
        pos = lineEnd + 2;
    }
    return true;
}

bool LineScanner::next(std::string_view& line) {
    std::size_t start, length;
    if (!next(start, length)) {
        line = {};
        return false;
    }
    line = text.substr(start, length);
    return true;
}

std::string_view nextLineWithBreak(std::string_view text, std::ptrdiff_t& position) {
    if (position < 1 || static_cast<std::size_t>(position) > text.size()) {
        position = -1;
        return {};
    }
    const std::size_t from = static_cast<std::size_t>(position) - 1;
    const std::size_t lineEnd = findCrLf(text, from);
    const std::size_t end = lineEnd == std::string_view::npos ? text.size() : lineEnd + 2;
    position = end >= text.size() ? -1 : static_cast<std::ptrdiff_t>(end) + 1;
    return text.substr(from, end - from);
}

std::string padLeft(std::string_view text, int width, std::string_view pad) {
    std::string s(trimLeftBlanks(text));
    const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    if (s.size() > w) return s.substr(s.size() - w);
    if (pad.empty()) return s;
    while (s.size() < w) s.insert(0, pad);
    return s;
}

std::string qpEncode(std::string_view text, bool headerMode) {
    const std::size_t n = text.size();
    std::string out;
    out.reserve(n + n / 8 + 16);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        bool escape = c > 127 || c == '=' || (c < 32 && c != '\t' && c != '\n' && c != '\r');
        if (c == '\r' && (i + 1 == n || text[i + 1] != '\n')) escape = true;
        if (c == '\n' && (i == 0 || text[i - 1] != '\r')) escape = true;
        if (headerMode && ((c >= 9 && c <= 32) || c == '"' || c == '\'' || c == '(' || c == ')' ||
                           c == '<' || c == '>' || c == '?' || c == '_'))
            escape = true;
        if (escape) {
            out += '=';
            out += HexDigits[c >> 4];
            out += HexDigits[c & 15];
            continue;
        }
        out += static_cast<char>(c);
        // Blanks before a line break would be lost in transport: escape the run.
        if (!headerMode && c == '\n' && out.size() >= 3 && isBlank(out[out.size() - 3])) {
            std::size_t runStart = out.size() - 2;
            while (runStart > 0 && isBlank(out[runStart - 1])) --runStart;
            std::string run = out.substr(runStart, out.size() - 2 - runStart);
            out.resize(runStart);
            for (char b : run) out += b == '\t' ? "=09" : "=20";
            out += "\r\n";
        }
    }
    if (headerMode || out.empty()) return out;

    std::string result;
    result.reserve(out.size() + out.size() / 64 + 8);
    LineScanner lines(out);
    std::string_view line;
    while (lines.next(line)) {
        while (line.size() >= 72) {
            std::size_t cut = line.size();
            while (cut >= 72) {
                if (line[cut - 3] == '=' && isUpperHex(line[cut - 2]) && isUpperHex(line[cut - 1]))
                    cut -= 3;
                else
                    cut -= 1;
            }
            result.append(line.substr(0, cut));
            result += "=\r\n";
            line.remove_prefix(cut);
        }
        result.append(line);
        result += "\r\n";
    }
    return result;
}

std::string qpDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const std::size_t eq = text.find('=', i);
        if (eq == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, eq - i));
        if (n - eq - 1 < 2) break;
        const char a = text[eq + 1], b = text[eq + 2];
        if (isUpperHex(a) && isUpperHex(b))
            out += static_cast<char>(upperHexValue(a) << 4 | upperHexValue(b));
        // A soft break (= CR LF) and anything else not an escape are dropped alike.
        i = eq + 3;
    }
    return out;
}

std::size_t base64EncodeStream(std::string_view src, std::string& dst) {
    dst.clear();
    const std::size_t n = src.size();
    if (n == 0) return 0;
    const std::size_t lines = (n + 56) / 57;
    dst.resize((n + 2) / 3 * 4 + lines * 2);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(src.data());
    char* out = dst.data();
    std::size_t left = n;
    while (left > 0) {
        const std::size_t take = left < 57 ? left : 57;
        std::size_t i = 0;
        for (; i + 3 <= take; i += 3) {
            const std::uint32_t v =
                std::uint32_t(p[i]) << 16 | std::uint32_t(p[i + 1]) << 8 | p[i + 2];
            out[0] = Base64Alphabet[v >> 18];
            out[1] = Base64Alphabet[v >> 12 & 63];
            out[2] = Base64Alphabet[v >> 6 & 63];
            out[3] = Base64Alphabet[v & 63];
            out += 4;
        }
        if (i < take) {
            const std::uint32_t v =
                std::uint32_t(p[i]) << 16 | (i + 1 < take ? std::uint32_t(p[i + 1]) << 8 : 0);
            out[0] = Base64Alphabet[v >> 18];
            out[1] = Base64Alphabet[v >> 12 & 63];
            out[2] = i + 1 < take ? Base64Alphabet[v >> 6 & 63] : '=';
            out[3] = '=';
            out += 4;
        }
        *out++ = '\r';
        *out++ = '\n';
        p += take;
        left -= take;
    }
    return dst.size();
}

void base64DecodeLine(std::string_view line, std::string& out) {
    const std::size_t old = out.size();
    out.resize(old + line.size() / 4 * 3);
    const auto* p = reinterpret_cast<const unsigned char*>(line.data());
    const std::size_t written = decodeBase64Line(p, p + line.size(), out.data() + old);
    out.resize(old + written);
}

std::string base64DecodeLine(std::string_view line) {
    std::string out;
    base64DecodeLine(line, out);
    return out;
}

void base64DecodeText(std::string_view text, std::string& out) {
    const std::size_t old = out.size();
    // Every line yields at most three bytes per four characters, so the whole
    // text fits in three quarters of its size.
    out.resize(old + text.size() / 4 * 3 + 3);
    char* dst = out.data() + old;
    const auto* base = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t lineEnd = findCrLf(text, from);
        const std::size_t end = lineEnd == std::string_view::npos ? text.size() : lineEnd;
        dst += decodeBase64Line(base + from, base + end, dst);
        from = lineEnd == std::string_view::npos ? text.size() : lineEnd + 2;
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
}

int uuCharValue(char c) {
    const int v = uuValue(c);
    if (v < 0) throw LumbrookError(ErrorKind::UuencodeFormat);
    return v;
}

void uuDecodeLine(std::string_view line, std::string& out) {
    if (line.empty()) return;
    const int count = uuValue(line[0]);
    if (count < 0) return;
    const std::string_view data = line.substr(1, count == 45 ? 60 : std::string_view::npos);
    for (char c : data)
        if (uuValue(c) < 0) return;
    std::uint32_t acc = 0;
    int bits = 0, made = 0;
    for (char c : data) {
        if (made >= count) break;
        acc = (acc << 6 | static_cast<std::uint32_t>(uuValue(c))) & 0xFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>(acc >> bits);
            ++made;
        }
    }
    if (made < count && bits > 0) {
        out += static_cast<char>(acc << (8 - bits));
        ++made;
    }
    if (made < count) out.append(static_cast<std::size_t>(count - made), '\0');
}

std::string uuDecodeLine(std::string_view line) {
    std::string out;
    uuDecodeLine(line, out);
    return out;
}

void uuDecodeText(std::string_view block, std::string& stream) {
    stream.clear();
    LineScanner lines(block);
    std::string_view line;
    while (lines.next(line))
        if (!line.empty()) uuDecodeLine(line, stream);
}

std::string newBoundary() {
    static std::mutex lock;
    static std::mt19937 generator{std::random_device{}()};
    std::uint32_t value;
    {
        std::lock_guard<std::mutex> guard(lock);
        value = static_cast<std::uint32_t>(generator());
    }
    std::string out = "boundary";
    for (int shift = 28; shift >= 0; shift -= 4) out += HexDigits[value >> shift & 15];
    return out;
}

}  // namespace lumbrook
