#include "platform/Registry.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/AsciiCase.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

namespace lumbrook {

namespace {

enum class TFormat { Unknown, Export5, Export4, Wine };

std::string FoldCase(std::string_view s) { return LowerAscii(s); }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && FoldCase(s.substr(0, prefix.size())) == FoldCase(prefix);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The file's bytes as UTF-8: regedit writes UTF-16LE (with a byte order mark),
// REGEDIT4 files are in the ANSI code page, Wine writes ASCII with escapes. Lines
// are taken one by one, so that one stray byte does not turn a whole UTF-8 file
// into code page text.
std::string DecodeFileText(std::string_view raw) {
    if (raw.size() >= 2 && raw[0] == '\xFF' && raw[1] == '\xFE') {
        return Utf16LeToUtf8(raw.substr(2));
    }
    if (raw.size() >= 2 && raw[0] != '\0' && raw[1] == '\0') return Utf16LeToUtf8(raw);
    if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
    if (IsValidUtf8(raw)) return std::string(raw);
    std::string text;
    text.reserve(raw.size() + raw.size() / 8);
    std::size_t pos = 0;
    while (pos < raw.size()) {
        std::size_t nl = raw.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? raw.size() : nl + 1;
        text += ToUtf8(raw.substr(pos, end - pos));
        pos = end;
    }
    return text;
}

// Collects a string's text, UTF-16 code units from Wine's \x escapes included:
// a surrogate pair written as two escapes becomes one character.
class TStringBuilder {
  public:
    void Byte(char c) {
        FlushPending();
        Out += c;
    }
    void Unit(char32_t u) {
        if (u >= 0xDC00 && u <= 0xDFFF && Pending) {
            char32_t cp = 0x10000 + ((Pending - 0xD800) << 10) + (u - 0xDC00);
            Pending = 0;
            AppendUtf8(Out, cp);
            return;
        }
        FlushPending();
        if (u >= 0xD800 && u <= 0xDBFF) {
            Pending = u;
        } else {
            AppendUtf8(Out, u);
        }
    }
    std::string Take() {
        FlushPending();
        return std::move(Out);
    }

  private:
    void FlushPending() {
        if (Pending) AppendUtf8(Out, 0xFFFD);
        Pending = 0;
    }
    std::string Out;
    char32_t Pending = 0;
};

// A quoted text starting just after its opening character, up to the unescaped
// terminator; pos ends after the terminator. Nothing when the terminator is missing.
std::optional<std::string> ParseQuoted(std::string_view line, std::size_t& pos, char terminator,
                                       TFormat format) {
    TStringBuilder text;
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == terminator) return text.Take();
        if (c != '\\' || pos >= line.size()) {
            text.Byte(c);
            continue;
        }
        char e = line[pos++];
        if (format != TFormat::Wine) {
            // regedit escapes only the backslash and the quote.
            if (e != '\\' && e != '"') text.Byte('\\');
            text.Byte(e);
            continue;
        }
        switch (e) {
            case 'a':
                text.Unit(7);
                break;
            case 'b':
                text.Unit(8);
                break;
            case 'e':
                text.Unit(27);
                break;
            case 'f':
                text.Unit(12);
                break;
            case 'n':
                text.Unit(10);
                break;
            case 'r':
                text.Unit(13);
                break;
            case 't':
                text.Unit(9);
                break;
            case 'v':
                text.Unit(11);
                break;
            case 'x': {
                char32_t u = 0;
                int digits = 0;
                while (digits < 4 && pos < line.size() && HexDigit(line[pos]) >= 0) {
                    u = u * 16 + static_cast<char32_t>(HexDigit(line[pos++]));
                    ++digits;
                }
                if (digits == 0) {
                    text.Byte('x');
                } else {
                    text.Unit(u);
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
                    text.Unit(u);
                } else {
                    text.Byte(e);
                }
        }
    }
    return std::nullopt;
}

// Registry strings end at their first zero character.
std::string CutAtZero(std::string s) {
    if (auto z = s.find('\0'); z != std::string::npos) s.resize(z);
    return s;
}

std::optional<std::string> ParseHexBytes(std::string_view data) {
    std::string bytes;
    data = Trim(data);
    if (data.empty()) return bytes;
    std::size_t pos = 0;
    for (;;) {
        std::size_t comma = data.find(',', pos);
        std::string_view token = Trim(data.substr(
            pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
        if (token.empty() && comma == std::string_view::npos) break;  // trailing comma
        if (token.empty() || token.size() > 2) return std::nullopt;
        int value = 0;
        for (char c : token) {
            int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            value = value * 16 + d;
        }
        bytes += static_cast<char>(value);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    return bytes;
}

class TParser {
  public:
    using TKeyMap = std::map<std::string, std::map<std::string, TRegistryFile::TValue>>;

    TParser(std::string_view text, TKeyMap& keys) : Keys(keys) {
        std::size_t pos = 0;
        while (pos <= text.size()) {
            std::size_t nl = text.find('\n', pos);
            if (nl == std::string_view::npos) nl = text.size();
            Lines.push_back(text.substr(pos, nl - pos));
            pos = nl + 1;
        }
    }

    void Run() {
        while (Next < Lines.size()) {
            std::string_view line = Trim(Lines[Next++]);
            if (line.empty()) continue;
            if (Format == TFormat::Unknown) {
                if (line == "WINE REGISTRY Version 2") {
                    Format = TFormat::Wine;
                } else if (line == "Windows Registry Editor Version 5.00") {
                    Format = TFormat::Export5;
                } else if (line == "REGEDIT4") {
                    Format = TFormat::Export4;
                } else {
                    return;  // not a registry file
                }
                continue;
            }
            if (line[0] == '[') {
                KeyLine(line);
            } else if ((line[0] == '"' || line[0] == '@') && Current) {
                ValueLine(line);
            }
            // Comments (";"), Wine's "#time=" and the like, and anything else are skipped.
        }
    }

  private:
    void KeyLine(std::string_view line) {
        Current = nullptr;
        std::string path;
        if (Format == TFormat::Wine) {
            std::size_t pos = 1;
            auto name = ParseQuoted(line, pos, ']', Format);
            if (!name) return;
            path = *name;  // Wine's keys are relative to HKEY_CURRENT_USER already
        } else {
            std::size_t close = line.rfind(']');
            if (close == std::string_view::npos) return;
            std::string_view name = line.substr(1, close - 1);
            constexpr std::string_view Root = "HKEY_CURRENT_USER";
            if (!StartsWithNoCase(name, Root)) return;  // other hives, and "[-...]" removals
            name.remove_prefix(Root.size());
            if (!name.empty() && name[0] != '\\') return;  // HKEY_CURRENT_USER_LOCAL_SETTINGS
            if (!name.empty()) name.remove_prefix(1);
            path = name;
        }
        Current = &AddKey(FoldCase(path));
    }

    std::map<std::string, TRegistryFile::TValue>& AddKey(const std::string& path) {
        // A key implies its parents, as in the registry itself.
        for (std::size_t slash = path.find('\\'); slash != std::string::npos;
             slash = path.find('\\', slash + 1)) {
            Keys[path.substr(0, slash)];
        }
        return Keys[path];
    }

    void ValueLine(std::string_view line) {
        std::size_t pos = 1;
        std::string name;
        if (line[0] == '"') {
            auto quoted = ParseQuoted(line, pos, '"', Format);
            if (!quoted) return;
            name = *quoted;
        }
        while (pos < line.size() && IsSpace(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != '=') return;
        ++pos;
        while (pos < line.size() && IsSpace(line[pos])) ++pos;
        std::string_view data = line.substr(pos);
        std::string key = FoldCase(name);

        TRegistryFile::TValue value;
        if (!data.empty() && data[0] == '"') {
            std::size_t p = 1;
            auto text = ParseQuoted(data, p, '"', Format);
            if (!text) return;
            value = {TRegistryFile::TValueKind::String, CutAtZero(std::move(*text))};
        } else if (StartsWithNoCase(data, "str(")) {
            auto close = data.find("):\"");
            if (close == std::string_view::npos) return;
            auto type = ParseType(data.substr(4, close - 4));
            std::size_t p = close + 3;
            auto text = ParseQuoted(data, p, '"', Format);
            if (!type || !text) return;
            value = {KindOf(*type), CutAtZero(std::move(*text))};
        } else if (StartsWithNoCase(data, "hex")) {
            std::uint32_t type = 3;  // REG_BINARY
            std::size_t colon = data.find(':');
            if (colon == std::string_view::npos) return;
            std::string_view plan = Trim(data.substr(3, colon - 3));
            if (!plan.empty()) {
                if (plan.size() < 2 || plan.front() != '(' || plan.back() != ')') return;
                auto t = ParseType(plan.substr(1, plan.size() - 2));
                if (!t) return;
                type = *t;
            }
            auto bytes = ParseHexBytes(JoinContinuation(data.substr(colon + 1)));
            if (!bytes) return;
            value.Kind = KindOf(type);
            if (value.Kind == TRegistryFile::TValueKind::Other) {
                value.Data = std::move(*bytes);
            } else if (Format == TFormat::Export4) {
                value.Data = AnsiToUtf8(CutAtZero(std::move(*bytes)));
            } else {
                value.Data = CutAtZero(Utf16LeToUtf8(*bytes));
            }
        } else if (StartsWithNoCase(data, "dword:")) {
            std::string_view digits = Trim(data.substr(6));
            if (digits.empty() || digits.size() > 8) return;
            std::uint32_t v = 0;
            for (char c : digits) {
                int d = HexDigit(c);
                if (d < 0) return;
                v = v * 16 + static_cast<std::uint32_t>(d);
            }
            value.Kind = TRegistryFile::TValueKind::Other;
            for (int i = 0; i < 4; ++i) value.Data += static_cast<char>((v >> (8 * i)) & 0xFF);
        } else if (Trim(data) == "-") {
            Current->erase(key);  // removal of a value in an export file
            return;
        } else {
            return;
        }
        (*Current)[key] = std::move(value);
    }

    // Long hex data goes on over lines that end in a backslash.
    std::string JoinContinuation(std::string_view first) {
        std::string data(Trim(first));
        while (!data.empty() && data.back() == '\\' && Next < Lines.size()) {
            data.pop_back();
            data += Trim(Lines[Next++]);
        }
        if (!data.empty() && data.back() == '\\') data.pop_back();
        return data;
    }

    static std::optional<std::uint32_t> ParseType(std::string_view hex) {
        if (hex.empty() || hex.size() > 8) return std::nullopt;
        std::uint32_t v = 0;
        for (char c : hex) {
            int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        return v;
    }

    static TRegistryFile::TValueKind KindOf(std::uint32_t type) {
        if (type == 1) return TRegistryFile::TValueKind::String;        // REG_SZ
        if (type == 2) return TRegistryFile::TValueKind::ExpandString;  // REG_EXPAND_SZ
        return TRegistryFile::TValueKind::Other;
    }

    TKeyMap& Keys;
    std::vector<std::string_view> Lines;
    std::size_t Next = 0;
    TFormat Format = TFormat::Unknown;
    std::map<std::string, TRegistryFile::TValue>* Current = nullptr;
};

// A key path as looked up: one leading backslash (an absolute path) and one trailing
// backslash are dropped; an empty component, as in "Identities\\Software", names
// no key.
std::optional<std::string> LookupPath(std::string_view path) {
    if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    if (!path.empty() && (path.front() == '\\' || path.find("\\\\") != std::string_view::npos)) {
        return std::nullopt;
    }
    return FoldCase(path);
}

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

std::string NonEmptyEnv(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string WithoutTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

struct TCurrentUserFile {
    std::string Path;
    std::string Prefix;
};

TCurrentUserFile LocateCurrentUserFile() {
    if (std::string named = NonEmptyEnv("LUMBROOK_REGISTRY"); !named.empty()) {
        TCurrentUserFile f{named, {}};
        auto slash = named.rfind('/');
        std::string dir = slash == std::string::npos ? "." : named.substr(0, slash);
        if (dir.empty()) dir = "/";
        std::string base = slash == std::string::npos ? named : named.substr(slash + 1);
        if (base == "user.reg" &&
            DirectoryExists(IncludeTrailingPathDelimiter(dir) + "dosdevices")) {
            f.Prefix = dir;
        }
        return f;
    }
    std::string prefix = NonEmptyEnv("WINEPREFIX");
    if (prefix.empty()) {
        std::string home = HomeDirectory();
        if (home.empty()) return {};
        prefix = IncludeTrailingPathDelimiter(home) + ".wine";
    }
    prefix = WithoutTrailingSlashes(prefix);
    return {IncludeTrailingPathDelimiter(prefix) + "user.reg", prefix};
}

// The whole file, or nothing when it is missing, unreadable or not a regular file.
std::optional<std::string> ReadRegularFile(const std::string& path) {
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

TRegistryFile TRegistryFile::Parse(std::string_view text) {
    TRegistryFile reg;
    std::string decoded = DecodeFileText(text);
    TParser(decoded, reg.Keys).Run();
    return reg;
}

std::string TRegistryFile::CurrentUserFilePath() {
    return LocateCurrentUserFile().Path;
}

TRegistryFile TRegistryFile::LoadCurrentUser() {
    TCurrentUserFile where = LocateCurrentUserFile();
    if (where.Path.empty()) return {};
    auto raw = ReadRegularFile(where.Path);
    if (!raw) return {};
    TRegistryFile reg = Parse(*raw);
    reg.SetWinePrefix(where.Prefix);
    return reg;
}

bool TRegistryFile::KeyExists(std::string_view keyPath) const {
    auto path = LookupPath(keyPath);
    if (!path) return false;
    if (path->empty()) return !Keys.empty();
    return Keys.count(*path) != 0;
}

std::optional<TRegistryFile::TValue> TRegistryFile::ReadValue(std::string_view keyPath,
                                                              std::string_view valueName) const {
    auto path = LookupPath(keyPath);
    if (!path) return std::nullopt;
    auto key = Keys.find(*path);
    if (key == Keys.end()) return std::nullopt;
    auto value = key->second.find(FoldCase(valueName));
    if (value == key->second.end()) return std::nullopt;
    return value->second;
}

}  // namespace lumbrook
