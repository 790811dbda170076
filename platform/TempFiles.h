#pragma once

#include <string>
#include <vector>

namespace lumbrook {

// The working files the preview and printing leave in the working directory:
// deleted before each new preview and at shutdown. The directory itself stays.
class TempFiles {
public:
    void add(const std::string& path) { files.push_back(path); }
    const std::vector<std::string>& paths() const { return files; }
    // Deletes each listed file that exists, ignoring failures, then forgets them all.
    void deleteTempFiles();

private:
    std::vector<std::string> files;
};

}  // namespace lumbrook
