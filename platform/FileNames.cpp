#include "platform/FileNames.h"

#include <sys/stat.h>

namespace lumbrook {

std::string cleanFileName(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7F) {
            c = '_';
            continue;
        }
        switch (c) {
            case ':': case '.': case '/': case '\\': case '?':
            case '*': case '"': case '<': case '>':
                c = '_';
                break;
            default:
                break;
        }
    }
    return out;
}

std::string fitName(std::string_view stem, std::string_view suffix, std::string_view ext) {
    const std::size_t tail = suffix.size() + ext.size();
    if (tail < MaxNameBytes && stem.size() > MaxNameBytes - tail) {
        std::size_t cut = MaxNameBytes - tail;
        // Back to the start of the character the cut falls in: continuation bytes
        // are 10xxxxxx.
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        stem = stem.substr(0, cut);
    }
    std::string name;
    name.reserve(stem.size() + tail);
    name.append(stem).append(suffix).append(ext);
    return name;
}

namespace {
// lstat, so that a dangling symbolic link also counts as taken.
bool nameTaken(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}
}  // namespace

std::string OutputNames::nextFree(const std::string& dir, const std::string& stem,
                                  std::string_view ext, std::string_view companion) {
    std::string key = stem;
    key += '\0';
    key += ext;
    key += '\0';
    key += companion;
    // The stem is fitted for the longer of the two endings.
    const std::string_view longer = companion.size() > ext.size() ? companion : ext;
    std::uint64_t& next = nextSuffix[key];
    for (;; ++next) {
        const std::string suffix = next == 0 ? std::string() : "_" + std::to_string(next - 1);
        std::string base = fitName(stem, suffix, longer);
        base.resize(base.size() - longer.size());
        std::string name = base + std::string(ext);
        if (reserved.contains(name) || nameTaken(dir + name)) continue;
        if (!companion.empty() && nameTaken(dir + base + std::string(companion))) continue;
        ++next;
        return name;
    }
}

std::string uniqueStem(const std::string& dir, const std::string& stem, std::string_view ext) {
    OutputNames names;
    std::string name = names.nextFree(dir, stem, ext);
    name.resize(name.size() - ext.size());
    return name;
}

}  // namespace lumbrook
