#include "platform/TempFiles.h"

#include <cstdio>

namespace lumbrook {

void TempFiles::deleteTempFiles() {
    for (const auto& path : files) std::remove(path.c_str());
    files.clear();
}

}  // namespace lumbrook
