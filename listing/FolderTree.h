#pragma once

// The folder tree as plain data: one node per folder record, nested under the node
// of its parent folder by repeated passes, siblings always in
// compareSiblingFolders order. The window mirrors the finished structure into its tree control.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "store/DbxReader.h"

namespace lumbrook {

// Siblings of the folder tree: special folders first, by ascending folderId, then
// the others by name without regard to case. Negative puts A first.
int compareSiblingFolders(const FolderInfo& a, const FolderInfo& b);

struct FolderNode {
    std::int32_t parent = -1;            // node index, -1 for a top-level node
    std::vector<std::int32_t> children;  // node indexes in sibling order
    bool expanded = false;               // set when the node received a child by a move
};

class FolderTree {
  public:
    // Builds the tree for Folders: a node per record (node index = record index =
    // the node's data value), then the re-parenting passes.
    explicit FolderTree(const FolderList& folders);

    const std::vector<FolderNode>& nodes() const { return allNodes; }
    const std::vector<std::int32_t>& roots() const { return rootNodes; }
    std::size_t count() const { return allNodes.size(); }

    // Node indexes top to bottom, depth first, each node before its children: what
    // the passes and start-up call positions.
    const std::vector<std::int32_t>& positions() const { return order; }

    // Passes run until one moved nothing (the last pass included).
    int passCount() const { return passes; }

  private:
    std::size_t sortedIndex(const std::vector<std::int32_t>& siblings, std::int32_t node) const;
    bool moveUnder(std::int32_t node, std::int32_t parent);
    bool runPass();

    const FolderList& folders;
    std::vector<FolderNode> allNodes;
    std::vector<std::int32_t> rootNodes;
    // The positions, kept up to date through every move: a node's subtree is the
    // run Order[Position[n]] .. Order[Position[n] + Size[n] - 1].
    std::vector<std::int32_t> order;
    std::vector<std::int32_t> position;
    std::vector<std::int32_t> size;
    // Node indexes by folder id, in record order.
    std::unordered_map<std::int32_t, std::vector<std::int32_t>> byId;
    int passes = 0;
};

}  // namespace lumbrook
