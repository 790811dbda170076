#include "platform/Registry.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/Ascii.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

namespace lumbrook {

namespace {

enum class Format { Unknown, Export5, Export4, Wine };

std::string foldCase(std::string_view s) { return lowerAscii(s); }

// The file's bytes as UTF-8: regedit writes UTF-16LE (with a byte order mark),
// REGEDIT4 files are in the ANSI code page, Wine writes ASCII with escapes. Lines
// are taken one by one, so that one stray byte does not turn a whole UTF-8 file
// into code page text.
std::string decodeFileText(std::string_view raw, const CodePage& codePage) {
    if (raw.size() >= 2 && raw[0] == '\xFF' && raw[1] == '\xFE') {
        return utf16LeToUtf8(raw.substr(2));
    }
    if (raw.size() >= 2 && raw[0] != '\0' && raw[1] == '\0') return utf16LeToUtf8(raw);
    if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
    if (isValidUtf8(raw)) return std::string(raw);
    std::string text;
    text.reserve(raw.size() + raw.size() / 8);
    std::size_t pos = 0;
    while (pos < raw.size()) {
        std::size_t nl = raw.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? raw.size() : nl + 1;
        text += codePage.asUtf8(raw.substr(pos, end - pos));
        pos = end;
    }
    return text;
}

// Collects a string's text, UTF-16 code units from Wine's \x escapes included:
// a surrogate pair written as two escapes becomes one character.
class StringBuilder {
  public:
    void byte(char c) {
        flushPending();
        out += c;
    }
    void unit(char32_t u) {
        if (u >= 0xDC00 && u <= 0xDFFF && pending) {
            char32_t cp = 0x10000 + ((pending - 0xD800) << 10) + (u - 0xDC00);
            pending = 0;
            appendUtf8(out, cp);
            return;
        }
        flushPending();
        if (u >= 0xD800 && u <= 0xDBFF) {
            pending = u;
        } else {
            appendUtf8(out, u);
        }
    }
    std::string take() {
        flushPending();
        return std::move(out);
    }

  private:
    void flushPending() {
        if (pending) appendUtf8(out, 0xFFFD);
        pending = 0;
    }
    std::string out;
    char32_t pending = 0;
};

// A quoted text starting just after its opening character, up to the unescaped
// terminator; pos ends after the terminator. Nothing when the terminator is missing.
std::optional<std::string> parseQuoted(std::string_view line, std::size_t& pos, char terminator,
                                       Format format) {
    StringBuilder text;
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == terminator) return text.take();
        if (c != '\\' || pos >= line.size()) {
            text.byte(c);
            continue;
        }
        char e = line[pos++];
        if (format != Format::Wine) {
            // regedit escapes only the backslash and the quote.
            if (e != '\\' && e != '"') text.byte('\\');
            text.byte(e);
            continue;
        }
        switch (e) {
            case 'a':
                text.unit(7);
                break;
            case 'b':
                text.unit(8);
                break;
            case 'e':
                text.unit(27);
                break;
            case 'f':
                text.unit(12);
                break;
            case 'n':
                text.unit(10);
                break;
            case 'r':
                text.unit(13);
                break;
            case 't':
                text.unit(9);
                break;
            case 'v':
                text.unit(11);
                break;
            case 'x': {
                char32_t u = 0;
                int digits = 0;
                while (digits < 4 && pos < line.size() && hexDigitValue(line[pos]) >= 0) {
                    u = u * 16 + static_cast<char32_t>(hexDigitValue(line[pos++]));
                    ++digits;
                }
                if (digits == 0) {
                    text.byte('x');
                } else {
                    text.unit(u);
                }
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    char32_t u = static_cast<char32_t>(e - '0');
                    for (int i = 1;
                         i < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++i) {
                        u = u * 8 + static_cast<char32_t>(line[pos++] - '0');
                    }
                    text.unit(u);
                } else {
                    text.byte(e);
                }
        }
    }
    return std::nullopt;
}

// Registry strings end at their first zero character.
std::string cutAtZero(std::string s) {
    if (auto z = s.find('\0'); z != std::string::npos) s.resize(z);
    return s;
}

std::optional<std::string> parseHexBytes(std::string_view data) {
    std::string bytes;
    data = trim(data, isSpace);
    if (data.empty()) return bytes;
    std::size_t pos = 0;
    for (;;) {
        std::size_t comma = data.find(',', pos);
        std::string_view token =
            trim(data.substr(
                     pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos),
                 isSpace);
        if (token.empty() && comma == std::string_view::npos) break;  // trailing comma
        if (token.empty() || token.size() > 2) return std::nullopt;
        int value = 0;
        for (char c : token) {
            int d = hexDigitValue(c);
            if (d < 0) return std::nullopt;
            value = value * 16 + d;
        }
        bytes += static_cast<char>(value);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    return bytes;
}

class Parser {
  public:
    using KeyMap = std::map<std::string, std::map<std::string, RegistryFile::Value>>;

    Parser(std::string_view text, KeyMap& keys, const CodePage& codePage)
        : keys(keys), codePage(codePage) {
        std::size_t pos = 0;
        while (pos <= text.size()) {
            std::size_t nl = text.find('\n', pos);
            if (nl == std::string_view::npos) nl = text.size();
            lines.push_back(text.substr(pos, nl - pos));
            pos = nl + 1;
        }
    }

    void run() {
        while (next < lines.size()) {
            std::string_view line = trim(lines[next++], isSpace);
            if (line.empty()) continue;
            if (format == Format::Unknown) {
                if (line == "WINE REGISTRY Version 2") {
                    format = Format::Wine;
                } else if (line == "Windows Registry Editor Version 5.00") {
                    format = Format::Export5;
                } else if (line == "REGEDIT4") {
                    format = Format::Export4;
                } else {
                    return;  // not a registry file
                }
                continue;
            }
            if (line[0] == '[') {
                keyLine(line);
            } else if ((line[0] == '"' || line[0] == '@') && current) {
                valueLine(line);
            }
            // Comments (";"), Wine's "#time=" and the like, and anything else are skipped.
        }
    }

  private:
    void keyLine(std::string_view line) {
        current = nullptr;
        std::string path;
        if (format == Format::Wine) {
            std::size_t pos = 1;
            auto name = parseQuoted(line, pos, ']', format);
            if (!name) return;
            path = *name;  // Wine's keys are relative to HKEY_CURRENT_USER already
        } else {
            std::size_t close = line.rfind(']');
            if (close == std::string_view::npos) return;
            std::string_view name = line.substr(1, close - 1);
            constexpr std::string_view Root = "HKEY_CURRENT_USER";
            if (!startsWithNoCase(name, Root)) return;  // other hives, and "[-...]" removals
            name.remove_prefix(Root.size());
            if (!name.empty() && name[0] != '\\') return;  // HKEY_CURRENT_USER_LOCAL_SETTINGS
            if (!name.empty()) name.remove_prefix(1);
            path = name;
        }
        current = &addKey(foldCase(path));
    }

    std::map<std::string, RegistryFile::Value>& addKey(const std::string& path) {
        // A key implies its parents, as in the registry itself.
        for (std::size_t slash = path.find('\\'); slash != std::string::npos;
             slash = path.find('\\', slash + 1)) {
            keys[path.substr(0, slash)];
        }
        return keys[path];
    }

    void valueLine(std::string_view line) {
        std::size_t pos = 1;
        std::string name;
        if (line[0] == '"') {
            auto quoted = parseQuoted(line, pos, '"', format);
            if (!quoted) return;
            name = *quoted;
        }
        while (pos < line.size() && isSpace(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != '=') return;
        ++pos;
        while (pos < line.size() && isSpace(line[pos])) ++pos;
        std::string_view data = line.substr(pos);
        std::string key = foldCase(name);

        RegistryFile::Value value;
        if (!data.empty() && data[0] == '"') {
            std::size_t p = 1;
            auto text = parseQuoted(data, p, '"', format);
            if (!text) return;
            value = {RegistryFile::ValueKind::String, cutAtZero(std::move(*text))};
        } else if (startsWithNoCase(data, "str(")) {
            auto close = data.find("):\"");
            if (close == std::string_view::npos) return;
            auto type = parseType(data.substr(4, close - 4));
            std::size_t p = close + 3;
            auto text = parseQuoted(data, p, '"', format);
            if (!type || !text) return;
            value = {kindOf(*type), cutAtZero(std::move(*text))};
        } else if (startsWithNoCase(data, "hex")) {
            std::uint32_t type = 3;  // REG_BINARY
            std::size_t colon = data.find(':');
            if (colon == std::string_view::npos) return;
            std::string_view plan = trim(data.substr(3, colon - 3), isSpace);
            if (!plan.empty()) {
                if (plan.size() < 2 || plan.front() != '(' || plan.back() != ')') return;
                auto t = parseType(plan.substr(1, plan.size() - 2));
                if (!t) return;
                type = *t;
            }
            auto bytes = parseHexBytes(joinContinuation(data.substr(colon + 1)));
            if (!bytes) return;
            value.kind = kindOf(type);
            if (value.kind == RegistryFile::ValueKind::Other) {
                value.data = std::move(*bytes);
            } else if (format == Format::Export4) {
                value.data = codePage.toUtf8(cutAtZero(std::move(*bytes)));
            } else {
                value.data = cutAtZero(utf16LeToUtf8(*bytes));
            }
        } else if (startsWithNoCase(data, "dword:")) {
            std::string_view digits = trim(data.substr(6), isSpace);
            if (digits.empty() || digits.size() > 8) return;
            std::uint32_t v = 0;
            for (char c : digits) {
                int d = hexDigitValue(c);
                if (d < 0) return;
                v = v * 16 + static_cast<std::uint32_t>(d);
            }
            value.kind = RegistryFile::ValueKind::Other;
            for (int i = 0; i < 4; ++i) value.data += static_cast<char>((v >> (8 * i)) & 0xFF);
        } else if (trim(data, isSpace) == "-") {
            current->erase(key);  // removal of a value in an export file
            return;
        } else {
            return;
        }
        (*current)[key] = std::move(value);
    }

    // Long hex data goes on over lines that end in a backslash.
    std::string joinContinuation(std::string_view first) {
        std::string data(trim(first, isSpace));
        while (!data.empty() && data.back() == '\\' && next < lines.size()) {
            data.pop_back();
            data += trim(lines[next++], isSpace);
        }
        if (!data.empty() && data.back() == '\\') data.pop_back();
        return data;
    }

    static std::optional<std::uint32_t> parseType(std::string_view hex) {
        if (hex.empty() || hex.size() > 8) return std::nullopt;
        std::uint32_t v = 0;
        for (char c : hex) {
            int d = hexDigitValue(c);
            if (d < 0) return std::nullopt;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        return v;
    }

    static RegistryFile::ValueKind kindOf(std::uint32_t type) {
        if (type == 1) return RegistryFile::ValueKind::String;        // REG_SZ
        if (type == 2) return RegistryFile::ValueKind::ExpandString;  // REG_EXPAND_SZ
        return RegistryFile::ValueKind::Other;
    }

    KeyMap& keys;
    const CodePage& codePage;
    std::vector<std::string_view> lines;
    std::size_t next = 0;
    Format format = Format::Unknown;
    std::map<std::string, RegistryFile::Value>* current = nullptr;
};

// A key path as looked up: one leading backslash (an absolute path) and one trailing
// backslash are dropped; an empty component, as in "Identities\\Software", names
// no key.
std::optional<std::string> lookupPath(std::string_view path) {
    if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    if (!path.empty() && (path.front() == '\\' || path.find("\\\\") != std::string_view::npos)) {
        return std::nullopt;
    }
    return foldCase(path);
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

std::string nonEmptyEnv(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string withoutTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

struct CurrentUserFile {
    std::string path;
    std::string prefix;
};

CurrentUserFile locateCurrentUserFile() {
    if (std::string named = nonEmptyEnv("LUMBROOK_REGISTRY"); !named.empty()) {
        CurrentUserFile f{named, {}};
        auto slash = named.rfind('/');
        std::string dir = slash == std::string::npos ? "." : named.substr(0, slash);
        if (dir.empty()) dir = "/";
        std::string base = slash == std::string::npos ? named : named.substr(slash + 1);
        if (base == "user.reg" &&
            directoryExists(includeTrailingPathDelimiter(dir) + "dosdevices")) {
            f.prefix = dir;
        }
        return f;
    }
    std::string prefix = nonEmptyEnv("WINEPREFIX");
    if (prefix.empty()) {
        std::string home = homeDirectory();
        if (home.empty()) return {};
        prefix = includeTrailingPathDelimiter(home) + ".wine";
    }
    prefix = withoutTrailingSlashes(prefix);
    return {includeTrailingPathDelimiter(prefix) + "user.reg", prefix};
}

// The whole file, or nothing when it is missing, unreadable or not a regular file.
std::optional<std::string> readRegularFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::nullopt;
    struct stat st;
    std::optional<std::string> data;
    if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode)) {
        data.emplace();
        char buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data->append(buf, n);
        if (std::ferror(f)) data.reset();
    }
    std::fclose(f);
    return data;
}

}  // namespace

RegistryFile RegistryFile::parse(std::string_view text, const CodePage& codePage) {
    RegistryFile reg;
    std::string decoded = decodeFileText(text, codePage);
    Parser(decoded, reg.keys, codePage).run();
    return reg;
}

RegistryFile RegistryFile::loadCurrentUser(const CodePage& codePage) {
    CurrentUserFile where = locateCurrentUserFile();
    if (where.path.empty()) return {};
    auto raw = readRegularFile(where.path);
    if (!raw) return {};
    RegistryFile reg = parse(*raw, codePage);
    reg.setWinePrefix(where.prefix);
    return reg;
}

std::string RegistryFile::currentUserFilePath() {
    return locateCurrentUserFile().path;
}

bool RegistryFile::keyExists(std::string_view keyPath) const {
    auto path = lookupPath(keyPath);
    if (!path) return false;
    if (path->empty()) return !keys.empty();
    return keys.count(*path) != 0;
}

std::optional<RegistryFile::Value> RegistryFile::readValue(std::string_view keyPath,
                                                              std::string_view valueName) const {
    auto path = lookupPath(keyPath);
    if (!path) return std::nullopt;
    auto key = keys.find(*path);
    if (key == keys.end()) return std::nullopt;
    auto value = key->second.find(foldCase(valueName));
    if (value == key->second.end()) return std::nullopt;
    return value->second;
}

}  // namespace lumbrook
