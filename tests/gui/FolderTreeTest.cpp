#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "listing/FolderTree.h"

namespace lumbrook {
namespace {

FolderInfo folder(std::int32_t id, std::int32_t parent, std::string name,
                       bool special = false) {
    FolderInfo f;
    f.folderId = id;
    f.parentId = parent;
    f.name = std::move(name);
    f.isSpecial = special;
    return f;
}

// The tree walked from its roots through the children lists; the positions the
// tree keeps while it moves nodes must agree with this walk.
std::vector<std::int32_t> walk(const FolderTree& tree) {
    std::vector<std::int32_t> order;
    std::vector<std::int32_t> stack(tree.roots().rbegin(), tree.roots().rend());
    while (!stack.empty()) {
        const std::int32_t node = stack.back();
        stack.pop_back();
        order.push_back(node);
        const auto& children = tree.nodes()[node].children;
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return order;
}

// The tree as text: each node's name indented by its depth, top to bottom.
std::string outline(const FolderList& folders) {
    const FolderTree tree(folders);
    EXPECT_EQ(tree.positions(), walk(tree));
    std::string out;
    for (const std::int32_t node : tree.positions()) {
        const std::int32_t parent = tree.nodes()[node].parent;
        const auto& siblings = parent < 0 ? tree.roots() : tree.nodes()[parent].children;
        EXPECT_NE(std::find(siblings.begin(), siblings.end(), node), siblings.end());
        int depth = 0;
        for (std::int32_t p = parent; p >= 0; p = tree.nodes()[p].parent) ++depth;
        out += std::string(2 * depth, ' ') + folders[node].name + "\n";
    }
    return out;
}

TEST(FolderTree, NestsEveryFolderUnderItsParentWhateverTheRecordOrder) {
    // R is its own parent and stays on top; A lies under R and B under A, also when
    // the children's records come before their parents'.
    const FolderList inOrder = {folder(0, 0, "R"), folder(1, 0, "A"), folder(2, 1, "B")};
    const FolderList reversed = {folder(2, 1, "B"), folder(1, 0, "A"), folder(0, 0, "R")};
    EXPECT_EQ(outline(inOrder), "R\n  A\n    B\n");
    EXPECT_EQ(outline(reversed), "R\n  A\n    B\n");

    const FolderTree tree(inOrder);
    EXPECT_EQ(tree.positions(), (std::vector<std::int32_t>{0, 1, 2}));  // position 2 is B
    EXPECT_TRUE(tree.nodes()[0].expanded);
    EXPECT_TRUE(tree.nodes()[1].expanded);
    EXPECT_FALSE(tree.nodes()[2].expanded);
}

TEST(FolderTree, FoldersWithoutAParentStayOnTop) {
    const FolderList folders = {folder(1, -1, "Outlook Express"), folder(2, 77, "Orphan"),
                                 folder(3, 1, "Local Folders")};
    EXPECT_EQ(outline(folders), "Orphan\nOutlook Express\n  Local Folders\n");
}

TEST(FolderTree, ParentCyclesEndThePassesAndKeepEveryFolder) {
    struct Case {
        const char* name;
        FolderList folders;
        std::string outline;
    };
    const std::vector<Case> cases = {
        {"two folders naming each other", {folder(1, 2, "X"), folder(2, 1, "Y")}, "Y\n  X\n"},
        {"a ring of three",
         {folder(1, 3, "P"), folder(2, 1, "Q"), folder(3, 2, "S")},
         "Q\n  S\n    P\n"},
        {"a ring hanging under a sound folder",
         {folder(0, -1, "Root"), folder(1, 2, "X"), folder(2, 1, "Y"), folder(3, 0, "Z")},
         "Root\n  Z\nY\n  X\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(outline(c.folders), c.outline);
        const FolderTree tree(c.folders);
        EXPECT_LE(tree.passCount(), static_cast<int>(c.folders.size()) + 1);
    }
}

TEST(FolderTree, SiblingsSpecialFirstByIdThenByNameIgnoringCase) {
    const FolderList folders = {folder(0, -1, "Root"),      folder(9, 0, "zeta"),
                                 folder(5, 0, "Five", true), folder(7, 0, "Alpha"),
                                 folder(2, 0, "Two", true),  folder(8, 0, "b"),
                                 folder(10, 0, "\xC4pfel"),  folder(11, 0, "a")};
    EXPECT_EQ(outline(folders), "Root\n  Two\n  Five\n  a\n  Alpha\n  b\n  zeta\n  \xC4pfel\n");
}

TEST(FolderTree, OfTwoFoldersWithOneIdTheFirstByPositionAdoptsTheChild) {
    const FolderList folders = {folder(3, -1, "Later"), folder(3, -1, "Earlier"),
                                 folder(4, 3, "Child")};
    EXPECT_EQ(outline(folders), "Earlier\n  Child\nLater\n");
}

TEST(FolderTree, DeepNestingNeedsNoDeepStack) {
    // Each folder's parent is the one after it: 3000 levels, built from the bottom.
    FolderList folders;
    const int n = 3000;
    for (int i = 0; i < n; ++i) folders.push_back(folder(i, i + 1 < n ? i + 1 : -1, "F"));
    const FolderTree tree(folders);
    const auto positions = tree.positions();
    ASSERT_EQ(positions.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(positions, walk(tree));
    EXPECT_EQ(positions.front(), n - 1);
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(tree.roots().size(), 1u);
}

TEST(FolderTree, EmptyListGivesEmptyTree) {
    const FolderTree tree(FolderList{});
    EXPECT_TRUE(tree.positions().empty());
    EXPECT_TRUE(tree.roots().empty());
}

}  // namespace
}  // namespace lumbrook
