#pragma once

// The folder tree as plain data: one node per folder record, nested under the node
// of its parent folder by repeated passes, siblings always in TreeView1Compare
// order. The window mirrors the finished structure into its tree control.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "store/oexpress.h"

namespace lumbrook {

struct TFolderNode {
    std::int32_t Parent = -1;            // node index, -1 for a top-level node
    std::vector<std::int32_t> Children;  // node indexes in sibling order
    bool Expanded = false;               // set when the node received a child by a move
};

class TFolderTree {
  public:
    // Builds the tree for Folders: a node per record (node index = record index =
    // the node's data value), then the re-parenting passes.
    explicit TFolderTree(const TFolderList& Folders);

    const std::vector<TFolderNode>& Nodes() const { return Nodes_; }
    const std::vector<std::int32_t>& Roots() const { return Roots_; }
    std::size_t Count() const { return Nodes_.size(); }

    // Node indexes top to bottom, depth first, each node before its children: what
    // the passes and start-up call positions.
    const std::vector<std::int32_t>& Positions() const { return Order; }

    // Passes run until one moved nothing (the last pass included).
    int PassCount() const { return Passes; }

  private:
    std::size_t SortedIndex(const std::vector<std::int32_t>& siblings, std::int32_t node) const;
    bool MoveUnder(std::int32_t node, std::int32_t parent);
    bool RunPass();

    const TFolderList& Folders;
    std::vector<TFolderNode> Nodes_;
    std::vector<std::int32_t> Roots_;
    // The positions, kept up to date through every move: a node's subtree is the
    // run Order[Position[n]] .. Order[Position[n] + Size[n] - 1].
    std::vector<std::int32_t> Order;
    std::vector<std::int32_t> Position;
    std::vector<std::int32_t> Size;
    // Node indexes by folder id, in record order.
    std::unordered_map<std::int32_t, std::vector<std::int32_t>> ById;
    int Passes = 0;
};

}  // namespace lumbrook
