#include "mainwindow/SortOrder.h"

#include <cstdint>

namespace lumbrook {

int TreeView1Compare(const Toe5_FolderInfo& A, const Toe5_FolderInfo& B) {
    if (!A.IsSpecial && !B.IsSpecial) return CompareText(A.Name, B.Name);
    if (A.IsSpecial && !B.IsSpecial) return -1;
    if (!A.IsSpecial && B.IsSpecial) return 1;
    // The difference taken in 64 bits: a 32-bit one wraps for ids far apart and
    // would make the order contradict itself.
    const std::int64_t diff = std::int64_t{A.FolderId} - std::int64_t{B.FolderId};
    return diff < 0 ? -1 : (diff > 0 ? 1 : 0);
}

}  // namespace lumbrook
