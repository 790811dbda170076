#include "mainwindow/FolderTree.h"

#include <algorithm>

#include "mainwindow/SortOrder.h"

namespace lumbrook {

TFolderTree::TFolderTree(const TFolderList& Folders)
    : Folders(Folders), Nodes_(Folders.size()), Size(Folders.size(), 1) {
    for (std::size_t i = 0; i < Folders.size(); ++i) {
        const auto node = static_cast<std::int32_t>(i);
        Roots_.insert(Roots_.begin() + static_cast<std::ptrdiff_t>(SortedIndex(Roots_, node)),
                      node);
        ById[Folders[i].FolderId].push_back(node);
    }
    Order = Roots_;
    Position.resize(Order.size());
    for (std::size_t p = 0; p < Order.size(); ++p)
        Position[Order[p]] = static_cast<std::int32_t>(p);

    // With distinct folder ids every node moves at most once, so n + 1 passes
    // always reach a quiet one. Duplicate ids could in theory keep nodes trading
    // places; the cap ends that too.
    const std::size_t maxPasses = Nodes_.size() + 1;
    do {
        ++Passes;
    } while (RunPass() && static_cast<std::size_t>(Passes) < maxPasses);
}

std::size_t TFolderTree::SortedIndex(const std::vector<std::int32_t>& siblings,
                                     std::int32_t node) const {
    // After the siblings that do not sort behind it: equal names keep their arrival order.
    const auto at = std::upper_bound(siblings.begin(), siblings.end(), node,
                                     [this](std::int32_t a, std::int32_t b) {
                                         return TreeView1Compare(Folders[a], Folders[b]) < 0;
                                     });
    return static_cast<std::size_t>(at - siblings.begin());
}

bool TFolderTree::MoveUnder(std::int32_t node, std::int32_t parent) {
    const std::int32_t from = Position[node];
    const std::int32_t size = Size[node];
    // A folder cannot live under itself or under one of its own descendants: parent
    // ids that form a cycle leave the folder where it is.
    const bool inOwnSubtree = Position[parent] >= from && Position[parent] < from + size;
    if (inOwnSubtree || Nodes_[node].Parent == parent) return false;

    // Where the subtree goes: right after the new parent when it becomes the first
    // child, else after the whole subtree of the sibling before it (sizes as they
    // are now, with the moving subtree still in its old place).
    auto& children = Nodes_[parent].Children;
    const std::size_t index = SortedIndex(children, node);
    const std::int32_t to = index == 0 ? Position[parent] + 1
                                       : Position[children[index - 1]] + Size[children[index - 1]];

    auto& oldSiblings = Nodes_[node].Parent < 0 ? Roots_ : Nodes_[Nodes_[node].Parent].Children;
    oldSiblings.erase(std::find(oldSiblings.begin(), oldSiblings.end(), node));
    for (std::int32_t a = Nodes_[node].Parent; a >= 0; a = Nodes_[a].Parent) Size[a] -= size;
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), node);
    Nodes_[node].Parent = parent;
    for (std::int32_t a = parent; a >= 0; a = Nodes_[a].Parent) Size[a] += size;
    Nodes_[parent].Expanded = true;

    // The subtree is one run of the positions; moving it rotates the stretch
    // between its old and its new place.
    std::int32_t first = 0, last = 0;
    if (to > from + size) {
        std::rotate(Order.begin() + from, Order.begin() + from + size, Order.begin() + to);
        first = from, last = to;
    } else if (to < from) {
        std::rotate(Order.begin() + to, Order.begin() + from, Order.begin() + from + size);
        first = to, last = from + size;
    }
    for (std::int32_t p = first; p < last; ++p) Position[Order[p]] = p;
    return true;
}

bool TFolderTree::RunPass() {
    bool moved = false;
    const std::size_t n = Order.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t node = Order[i];
        const auto found = ById.find(Folders[node].ParentId);
        if (found == ById.end()) continue;
        // Of several nodes with that id the first by position is meant.
        std::int32_t parent = found->second.front();
        for (std::int32_t candidate : found->second) {
            if (Position[candidate] < Position[parent]) parent = candidate;
        }
        if (MoveUnder(node, parent)) moved = true;
    }
    return moved;
}

}  // namespace lumbrook
