#include "mainwindow/SortOrder.h"

#include <cstdint>

namespace lumbrook {

int treeView1Compare(const FolderInfo& a, const FolderInfo& b) {
    if (!a.isSpecial && !b.isSpecial) return compareText(a.name, b.name);
    if (a.isSpecial && !b.isSpecial) return -1;
    if (!a.isSpecial && b.isSpecial) return 1;
    // The difference taken in 64 bits: a 32-bit one wraps for ids far apart and
    // would make the order contradict itself.
    const std::int64_t diff = std::int64_t{a.folderId} - std::int64_t{b.folderId};
    return diff < 0 ? -1 : (diff > 0 ? 1 : 0);
}

}  // namespace lumbrook
