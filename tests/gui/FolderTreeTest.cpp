#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mainwindow/FolderTree.h"

namespace lumbrook {
namespace {

Toe5_FolderInfo Folder(std::int32_t id, std::int32_t parent, std::string name,
                       bool special = false) {
    Toe5_FolderInfo f;
    f.FolderId = id;
    f.ParentId = parent;
    f.Name = std::move(name);
    f.IsSpecial = special;
    return f;
}

// The tree walked from its roots through the children lists; the positions the
// tree keeps while it moves nodes must agree with this walk.
std::vector<std::int32_t> Walk(const TFolderTree& tree) {
    std::vector<std::int32_t> order;
    std::vector<std::int32_t> stack(tree.Roots().rbegin(), tree.Roots().rend());
    while (!stack.empty()) {
        const std::int32_t node = stack.back();
        stack.pop_back();
        order.push_back(node);
        const auto& children = tree.Nodes()[node].Children;
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return order;
}

// The tree as text: each node's name indented by its depth, top to bottom.
std::string Outline(const TFolderList& folders) {
    const TFolderTree tree(folders);
    EXPECT_EQ(tree.Positions(), Walk(tree));
    std::string out;
    for (const std::int32_t node : tree.Positions()) {
        const std::int32_t parent = tree.Nodes()[node].Parent;
        const auto& siblings = parent < 0 ? tree.Roots() : tree.Nodes()[parent].Children;
        EXPECT_NE(std::find(siblings.begin(), siblings.end(), node), siblings.end());
        int depth = 0;
        for (std::int32_t p = parent; p >= 0; p = tree.Nodes()[p].Parent) ++depth;
        out += std::string(2 * depth, ' ') + folders[node].Name + "\n";
    }
    return out;
}

TEST(FolderTree, NestsEveryFolderUnderItsParentWhateverTheRecordOrder) {
    // R is its own parent and stays on top; A lies under R and B under A, also when
    // the children's records come before their parents'.
    const TFolderList inOrder = {Folder(0, 0, "R"), Folder(1, 0, "A"), Folder(2, 1, "B")};
    const TFolderList reversed = {Folder(2, 1, "B"), Folder(1, 0, "A"), Folder(0, 0, "R")};
    EXPECT_EQ(Outline(inOrder), "R\n  A\n    B\n");
    EXPECT_EQ(Outline(reversed), "R\n  A\n    B\n");

    const TFolderTree tree(inOrder);
    EXPECT_EQ(tree.Positions(), (std::vector<std::int32_t>{0, 1, 2}));  // position 2 is B
    EXPECT_TRUE(tree.Nodes()[0].Expanded);
    EXPECT_TRUE(tree.Nodes()[1].Expanded);
    EXPECT_FALSE(tree.Nodes()[2].Expanded);
}

TEST(FolderTree, FoldersWithoutAParentStayOnTop) {
    const TFolderList folders = {Folder(1, -1, "Outlook Express"), Folder(2, 77, "Orphan"),
                                 Folder(3, 1, "Local Folders")};
    EXPECT_EQ(Outline(folders), "Orphan\nOutlook Express\n  Local Folders\n");
}

TEST(FolderTree, ParentCyclesEndThePassesAndKeepEveryFolder) {
    struct Case {
        const char* name;
        TFolderList folders;
        std::string outline;
    };
    const std::vector<Case> cases = {
        {"two folders naming each other", {Folder(1, 2, "X"), Folder(2, 1, "Y")}, "Y\n  X\n"},
        {"a ring of three",
         {Folder(1, 3, "P"), Folder(2, 1, "Q"), Folder(3, 2, "S")},
         "Q\n  S\n    P\n"},
        {"a ring hanging under a sound folder",
         {Folder(0, -1, "Root"), Folder(1, 2, "X"), Folder(2, 1, "Y"), Folder(3, 0, "Z")},
         "Root\n  Z\nY\n  X\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Outline(c.folders), c.outline);
        const TFolderTree tree(c.folders);
        EXPECT_LE(tree.PassCount(), static_cast<int>(c.folders.size()) + 1);
    }
}

TEST(FolderTree, SiblingsSpecialFirstByIdThenByNameIgnoringCase) {
    const TFolderList folders = {Folder(0, -1, "Root"),      Folder(9, 0, "zeta"),
                                 Folder(5, 0, "Five", true), Folder(7, 0, "Alpha"),
                                 Folder(2, 0, "Two", true),  Folder(8, 0, "b"),
                                 Folder(10, 0, "\xC4pfel"),  Folder(11, 0, "a")};
    EXPECT_EQ(Outline(folders), "Root\n  Two\n  Five\n  a\n  Alpha\n  b\n  zeta\n  \xC4pfel\n");
}

TEST(FolderTree, OfTwoFoldersWithOneIdTheFirstByPositionAdoptsTheChild) {
    const TFolderList folders = {Folder(3, -1, "Later"), Folder(3, -1, "Earlier"),
                                 Folder(4, 3, "Child")};
    EXPECT_EQ(Outline(folders), "Earlier\n  Child\nLater\n");
}

TEST(FolderTree, DeepNestingNeedsNoDeepStack) {
    // Each folder's parent is the one after it: 3000 levels, built from the bottom.
    TFolderList folders;
    const int n = 3000;
    for (int i = 0; i < n; ++i) folders.push_back(Folder(i, i + 1 < n ? i + 1 : -1, "F"));
    const TFolderTree tree(folders);
    const auto positions = tree.Positions();
    ASSERT_EQ(positions.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(positions, Walk(tree));
    EXPECT_EQ(positions.front(), n - 1);
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(tree.Roots().size(), 1u);
}

TEST(FolderTree, EmptyListGivesEmptyTree) {
    const TFolderTree tree(TFolderList{});
    EXPECT_TRUE(tree.Positions().empty());
    EXPECT_TRUE(tree.Roots().empty());
}

}  // namespace
}  // namespace lumbrook
