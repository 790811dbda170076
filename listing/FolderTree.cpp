#include "listing/FolderTree.h"

#include <algorithm>

#include "listing/MessageOrder.h"

namespace lumbrook {

int compareSiblingFolders(const FolderInfo& a, const FolderInfo& b) {
    if (!a.isSpecial && !b.isSpecial) return compareText(a.name, b.name);
    if (a.isSpecial && !b.isSpecial) return -1;
    if (!a.isSpecial && b.isSpecial) return 1;
    // The difference taken in 64 bits: a 32-bit one wraps for ids far apart and
    // would make the order contradict itself.
    const std::int64_t diff = std::int64_t{a.folderId} - std::int64_t{b.folderId};
    return diff < 0 ? -1 : (diff > 0 ? 1 : 0);
}


FolderTree::FolderTree(const FolderList& folders)
    : folders(folders), allNodes(folders.size()), size(folders.size(), 1) {
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const auto node = static_cast<std::int32_t>(i);
        rootNodes.insert(rootNodes.begin() + static_cast<std::ptrdiff_t>(sortedIndex(rootNodes, node)),
                      node);
        byId[folders[i].folderId].push_back(node);
    }
    order = rootNodes;
    position.resize(order.size());
    for (std::size_t p = 0; p < order.size(); ++p)
        position[order[p]] = static_cast<std::int32_t>(p);

    // With distinct folder ids every node moves at most once, so n + 1 passes
    // always reach a quiet one. Duplicate ids could in theory keep allNodes trading
    // places; the cap ends that too.
    const std::size_t maxPasses = allNodes.size() + 1;
    do {
        ++passes;
    } while (runPass() && static_cast<std::size_t>(passes) < maxPasses);
}

std::size_t FolderTree::sortedIndex(const std::vector<std::int32_t>& siblings,
                                     std::int32_t node) const {
    // After the siblings that do not sort behind it: equal names keep their arrival order.
    const auto at = std::upper_bound(siblings.begin(), siblings.end(), node,
                                     [this](std::int32_t a, std::int32_t b) {
                                         return compareSiblingFolders(folders[a], folders[b]) < 0;
                                     });
    return static_cast<std::size_t>(at - siblings.begin());
}

bool FolderTree::moveUnder(std::int32_t node, std::int32_t parent) {
    const std::int32_t from = position[node];
    const std::int32_t subtreeSize = size[node];
    // A folder cannot live under itself or under one of its own descendants: parent
    // ids that form a cycle leave the folder where it is.
    const bool inOwnSubtree = position[parent] >= from && position[parent] < from + subtreeSize;
    if (inOwnSubtree || allNodes[node].parent == parent) return false;

    // Where the subtree goes: right after the new parent when it becomes the first
    // child, else after the whole subtree of the sibling before it (sizes as they
    // are now, with the moving subtree still in its old place).
    auto& children = allNodes[parent].children;
    const std::size_t index = sortedIndex(children, node);
    const std::int32_t to = index == 0 ? position[parent] + 1
                                       : position[children[index - 1]] + size[children[index - 1]];

    auto& oldSiblings = allNodes[node].parent < 0 ? rootNodes : allNodes[allNodes[node].parent].children;
    oldSiblings.erase(std::find(oldSiblings.begin(), oldSiblings.end(), node));
    for (std::int32_t a = allNodes[node].parent; a >= 0; a = allNodes[a].parent) size[a] -= subtreeSize;
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), node);
    allNodes[node].parent = parent;
    for (std::int32_t a = parent; a >= 0; a = allNodes[a].parent) size[a] += subtreeSize;
    allNodes[parent].expanded = true;

    // The subtree is one run of the positions; moving it rotates the stretch
    // between its old and its new place.
    std::int32_t first = 0, last = 0;
    if (to > from + subtreeSize) {
        std::rotate(order.begin() + from, order.begin() + from + subtreeSize, order.begin() + to);
        first = from, last = to;
    } else if (to < from) {
        std::rotate(order.begin() + to, order.begin() + from, order.begin() + from + subtreeSize);
        first = to, last = from + subtreeSize;
    }
    for (std::int32_t p = first; p < last; ++p) position[order[p]] = p;
    return true;
}

bool FolderTree::runPass() {
    bool moved = false;
    const std::size_t n = order.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t node = order[i];
        const auto found = byId.find(folders[node].parentId);
        if (found == byId.end()) continue;
        // Of several allNodes with that id the first by position is meant.
        std::int32_t parent = found->second.front();
        for (std::int32_t candidate : found->second) {
            if (position[candidate] < position[parent]) parent = candidate;
        }
        if (moveUnder(node, parent)) moved = true;
    }
    return moved;
}

}  // namespace lumbrook
