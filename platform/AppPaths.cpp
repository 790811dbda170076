#include "platform/AppPaths.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/Files.h"
#include "base/Ascii.h"

#ifndef LUMBROOK_DATA_DIR
#define LUMBROOK_DATA_DIR "/usr/local/share/lumbrook"
#endif
#ifndef LUMBROOK_DATA_DIR_UNDER_PREFIX
#define LUMBROOK_DATA_DIR_UNDER_PREFIX "share/lumbrook"
#endif
#ifndef LUMBROOK_INSTALL_BIN_DIR
#define LUMBROOK_INSTALL_BIN_DIR "/usr/local/bin"
#endif

namespace lumbrook {
namespace fs = std::filesystem;

namespace {
std::string xdgDir(const char* variable, const char* fallbackUnderHome) {
    if (const char* v = std::getenv(variable); v && *v == '/') return v;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/" + fallbackUnderHome;
}

bool endsWithHtm(const std::string& name) {
    if (name.size() < 4) return false;
    return equalsNoCase(std::string_view(name).substr(name.size() - 4), ".htm");
}
}  // namespace

AppPaths AppPaths::forProgram(const std::string& programDir) {
    AppPaths paths;
    paths.programDir = includeTrailingPathDelimiter(programDir);
    paths.templateDirs.push_back(paths.programDir + "template/");
    // An installed copy keeps its options and working files in the user's XDG
    // directories, whether or not it may write its own directory (root may write
    // /usr/bin; a user may own a ~/.local/bin): they never belong in a bin directory.
    // Installed is a copy in the install prefix's bin directory, one with the data
    // directory of an install beside it (a package, under whatever prefix it was
    // put), or one that cannot write where it is.
    const std::string besideData = paths.programDir + "../" + LUMBROOK_DATA_DIR_UNDER_PREFIX + "/";
    const bool hasData = directoryExists(besideData);
    const bool installed = hasData ||
        paths.programDir == includeTrailingPathDelimiter(LUMBROOK_INSTALL_BIN_DIR) ||
        ::access(paths.programDir.c_str(), W_OK) != 0;
    if (!installed) {
        paths.optionsFile = paths.programDir + "options.dat";
        paths.workDir = paths.programDir + "Message/";
    } else {
        paths.optionsFile = xdgDir("XDG_CONFIG_HOME", ".config") + "/lumbrook/options.dat";
        paths.workDir = xdgDir("XDG_CACHE_HOME", ".cache") + "/lumbrook/Message/";
        paths.templateDirs.push_back((hasData ? besideData : includeTrailingPathDelimiter(LUMBROOK_DATA_DIR)) +
                                     "template/");
    }
    return paths;
}

AppPaths AppPaths::forThisProgram() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return forProgram(ec ? std::string(".") : exe.parent_path().string());
}

std::vector<std::string> listDesignTemplates(const AppPaths& paths) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const auto& dir : paths.templateDirs) {
        std::vector<std::string> here;
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (endsWithHtm(name) && !seen.count(name)) here.push_back(name);
        }
        std::sort(here.begin(), here.end());
        for (auto& name : here) {
            seen.insert(name);
            names.push_back(std::move(name));
        }
    }
    return names;
}

std::string designTemplatePath(const AppPaths& paths, const std::string& name) {
    if (name.empty()) return {};
    for (const auto& dir : paths.templateDirs) {
        if (fileExists(dir + name)) return dir + name;
    }
    return {};
}

}  // namespace lumbrook
