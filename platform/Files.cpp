#include "platform/Files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "base/AsciiCase.h"

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

bool forceDirectories(const std::string& dir) {
    if (dir.empty()) return false;
    std::error_code failed;  // shows in the answer below
    std::filesystem::create_directories(dir, failed);
    return directoryExists(dir);
}

}  // namespace lumbrook
