#include "fuzz/FuzzSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace lumbrook::fuzz {

namespace fs = std::filesystem;

namespace {
std::string makeScratch() {
    std::error_code ec;
    fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path dir = base / ("lumbrook-fuzz-" + std::to_string(::getpid()));
    fs::remove_all(dir, ec);
    if (!fs::create_directories(dir, ec) && !fs::is_directory(dir))
        broken("cannot create " + dir.string());
    static const std::string Keep = dir.string();
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(Keep, ignored);
    });
    return dir.string() + "/";
}
}  // namespace

const std::string& scratchDir() {
    static const std::string Dir = makeScratch();
    return Dir;
}

void writeScratchFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) broken("cannot write " + path);
}

void clearDirectory(const std::string& dir) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) fs::remove_all(entry.path(), ec);
}

std::string listTree(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        // A Content-ID may hold CR and LF, which stay file names of the directory;
        // escaped, every entry is one line of the listing.
        std::string name;
        for (char c : fs::relative(it->path(), dir, ec).string()) {
            if (static_cast<unsigned char>(c) < 0x20 || c == '\\') {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
                name += hex;
            } else {
                name += c;
            }
        }
        if (it->is_directory(ec) && !it->is_symlink(ec)) name += '/';
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += n + '\n';
    return out;
}

void broken(std::string_view what) {
    std::fprintf(stderr, "fuzz target promise broken: %.*s\n", static_cast<int>(what.size()),
                 what.data());
    std::abort();
}

}  // namespace lumbrook::fuzz
