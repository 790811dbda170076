#pragma once

#include <string>
#include <vector>

namespace lumbrook {

// Where the program's own files live. Everything is found from the directory of
// the program file, never from the current directory. A copy in a directory of its
// own (the build tree, an unpacked folder) keeps its options and working directory
// there. An installed copy (in the install prefix's bin directory, beside an
// install's share/lumbrook, or where it cannot write) keeps them in the user's XDG
// config and cache directories, writable bin directory or not, and also finds
// templates in the installed data directory.
struct AppPaths {
    std::string programDir;    // ends with a separator
    std::string optionsFile;   // "options.dat"
    std::string workDir;       // "Message" + separator
    std::vector<std::string> templateDirs;  // each ends with a separator, searched in order

    static AppPaths forProgram(const std::string& programDir);
    static AppPaths forThisProgram();  // from /proc/self/exe
};

// Names of the "*.htm" files of the template directories, in the order the box
// shows them (by name within each directory; a name found twice counts once).
std::vector<std::string> listDesignTemplates(const AppPaths& paths);

// Full path of a template by its name: the first directory that holds it; empty
// when no directory does or the name is empty.
std::string designTemplatePath(const AppPaths& paths, const std::string& name);

}  // namespace lumbrook
