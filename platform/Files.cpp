#include "platform/Files.h"

#include <dirent.h>
#include <locale.h>
#include <wctype.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/Ascii.h"
#include "base/Charset.h"

namespace lumbrook {

namespace {

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The directory entry of dir that equals name without regard to ASCII case; the
// smallest such entry when there are several, so the choice never depends on the
// order the file system lists them in.
std::optional<std::string> matchEntryNoCase(const std::string& dir, std::string_view name) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return std::nullopt;
    std::optional<std::string> best;
    while (dirent* e = readdir(d)) {
        std::string_view entry(e->d_name);
        if (equalsNoCase(entry, name) && (!best || entry < *best)) best = std::string(entry);
    }
    closedir(d);
    return best;
}

// Every letter of a UTF-8 text in lower case, by the C.UTF-8 locale's tables
// (the same on every machine, whatever the user's locale); nothing when the text
// is not UTF-8 or the locale is missing.
std::optional<std::u32string> foldUtf8(std::string_view text) {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!utf8 || !isValidUtf8(text)) return std::nullopt;
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (std::size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += len;
        out.push_back(static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), utf8)));
    }
    return out;
}

std::vector<std::string> readEntries(const std::string& dir) {
    std::vector<std::string> entries;
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return entries;
    while (dirent* e = readdir(d)) entries.emplace_back(e->d_name);
    closedir(d);
    return entries;
}

bool isDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isWindowsSeparator(char c) {
    return c == '\\' || c == '/';
}

}  // namespace

std::string includeTrailingPathDelimiter(std::string_view dir) {
    std::string out(dir);
    if (out.empty() || out.back() != PathDelim) out += PathDelim;
    return out;
}

std::string findFileNoCase(std::string_view dir, std::string_view name) {
    std::string base = includeTrailingPathDelimiter(dir);
    std::string exact = base + std::string(name);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        exists(exact)) {
        return exact;
    }
    if (auto match = matchEntryNoCase(dir.empty() ? std::string("/") : std::string(dir), name)) {
        return base + *match;
    }
    return exact;
}

std::optional<std::string> findEntry(std::string_view dir, const std::vector<std::string>& names) {
    const std::string base = includeTrailingPathDelimiter(dir);
    for (const std::string& name : names) {
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
            continue;
        if (exists(base + name)) return name;
    }
    const std::vector<std::string> entries = readEntries(dir.empty() ? "/" : std::string(dir));
    const auto smallest = [&](auto&& matches) -> std::optional<std::string> {
        const std::string* best = nullptr;
        for (const std::string& entry : entries)
            if (matches(entry) && (!best || entry < *best)) best = &entry;
        if (!best) return std::nullopt;
        return *best;
    };
    for (const std::string& name : names) {
        if (name.empty() || name == "." || name == "..") continue;
        if (auto m = smallest([&](const std::string& e) { return equalsNoCase(e, name); }))
            return m;
        if (auto folded = foldUtf8(name)) {
            auto m = smallest([&](const std::string& e) {
                if (e.size() > 4 * name.size() || name.size() > 4 * e.size()) return false;
                auto other = foldUtf8(e);
                return other && *other == *folded;
            });
            if (m) return m;
        }
    }
    return std::nullopt;
}

std::string mapWindowsPath(std::string_view windowsPath, std::string_view winePrefix) {
    std::string_view path = windowsPath;
    // "\\?\C:\..." is the long form of "C:\...".
    if (path.size() >= 6 && path.substr(0, 4) == "\\\\?\\" && isDriveLetter(path[4]) &&
        path[5] == ':') {
        path.remove_prefix(4);
    }
    if (winePrefix.empty() || path.size() < 2 || !isDriveLetter(path[0]) || path[1] != ':') {
        return std::string(windowsPath);
    }
    const char drive[3] = {lowerAscii(path[0]), ':', '\0'};
    std::string dosdevices = includeTrailingPathDelimiter(winePrefix) + "dosdevices";
    std::string out = findFileNoCase(dosdevices, drive);

    // Components as Windows resolves them: empty and "." ones vanish, ".." steps back
    // but never above the drive.
    std::vector<std::string_view> parts;
    std::size_t pos = 2;
    while (pos < path.size()) {
        while (pos < path.size() && isWindowsSeparator(path[pos])) ++pos;
        std::size_t end = pos;
        while (end < path.size() && !isWindowsSeparator(path[end])) ++end;
        std::string_view part = path.substr(pos, end - pos);
        pos = end;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    bool existing = directoryExists(out);
    for (std::string_view part : parts) {
        if (existing) {
            out = findFileNoCase(out, part);
            existing = directoryExists(out);
        } else {
            out = includeTrailingPathDelimiter(out) + std::string(part);
        }
    }
    return out;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool directoryExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool forcePrivateDirectories(const std::string& dir) {
    if (dir.empty()) {
        errno = ENOENT;
        return false;
    }
    std::vector<std::filesystem::path> missing;
    for (std::filesystem::path p = std::filesystem::path(dir).lexically_normal(); !p.empty();
         p = p.parent_path()) {
        struct stat st;
        if (::stat(p.c_str(), &st) == 0) break;
        if (p.has_filename()) missing.push_back(p);  // "a/b/" names "a/b" once
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    if (directoryExists(dir)) return true;
    errno = ENOTDIR;
    return false;
}

bool forceDirectories(const std::string& dir) {
    if (dir.empty()) return false;
    std::error_code failed;  // shows in the answer below
    std::filesystem::create_directories(dir, failed);
    return directoryExists(dir);
}

}  // namespace lumbrook
