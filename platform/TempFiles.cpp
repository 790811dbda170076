#include "platform/TempFiles.h"

#include <sys/stat.h>

#include <cstdio>

namespace lumbrook {

void TempFiles::add(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::chmod(path.c_str(), 0600);
    files.push_back(path);
}

void TempFiles::deleteTempFiles() {
    for (const auto& path : files) std::remove(path.c_str());
    files.clear();
}

}  // namespace lumbrook
