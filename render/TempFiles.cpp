#include "render/TempFiles.h"

#include <cstdio>

namespace lumbrook {

void TTempFiles::DeleteTempFiles() {
    for (const auto& path : Files) std::remove(path.c_str());
    Files.clear();
}

}  // namespace lumbrook
