#pragma once

#include <string>
#include <vector>

namespace lumbrook {

// The working files the preview and printing leave in the working directory:
// deleted before each new preview and at shutdown. The directory itself stays.
class TempFiles {
public:
    // They hold the text of a mail: each is made the user's alone (0600) as it is
    // added, in a working directory made 0700.
    void add(const std::string& path);
    const std::vector<std::string>& paths() const { return files; }
    // Deletes each listed file that exists, ignoring failures, then forgets them all.
    void deleteTempFiles();

private:
    std::vector<std::string> files;
};

}  // namespace lumbrook
