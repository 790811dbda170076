#pragma once

#include <string>
#include <vector>

namespace lumbrook {

// The working files the preview and printing leave in the working directory:
// deleted before each new preview and at shutdown. The directory itself stays.
class TTempFiles {
public:
    void Add(const std::string& path) { Files.push_back(path); }
    const std::vector<std::string>& Paths() const { return Files; }
    // Deletes each listed file that exists, ignoring failures, then forgets them all.
    void DeleteTempFiles();

private:
    std::vector<std::string> Files;
};

}  // namespace lumbrook
