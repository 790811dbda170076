#include <gtest/gtest.h>

#include <climits>

#include "mainwindow/ListRatio.h"
#include "listing/FolderTree.h"
#include "listing/MessageOrder.h"

namespace lumbrook {
namespace {

int sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

TEST(SortOrder, TextComparisonFoldsOnlyAsciiLettersAndComparesUnsignedBytes) {
    struct Case {
        std::string a, b;
        int sign;
    };
    const std::vector<Case> cases = {
        {"abc", "ABC", 0},
        {"a", "b", -1},
        {"ab", "abc", -1},  // a beginning comes first
        {"", "a", -1},
        {"Zebra", "apple", 1},
        {"\xE9t\xE9", "Zulu", 1},            // a byte above 0x7F after every letter
        {"\xE9", "\xC9", 1},                 // letters with diacritics keep their case
        {"[", "a", 1},                       // 'a' folds to 'A' (0x41), '[' is 0x5B
        {std::string("ab\0z", 4), "ab", 0},  // a C text ends at its zero
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.a + " vs " + c.b);
        EXPECT_EQ(sign(compareText(c.a, c.b)), c.sign);
        EXPECT_EQ(sign(compareText(c.b, c.a)), -c.sign);
    }
    EXPECT_EQ(compareText("a", "c"), 'A' - 'C');
}

TEST(SortOrder, SpecialFoldersByIdWithoutWrapping) {
    FolderInfo a, b;
    a.isSpecial = b.isSpecial = true;
    a.folderId = INT_MIN;
    b.folderId = 1;
    // A 32-bit difference would wrap to a positive number here.
    EXPECT_LT(compareSiblingFolders(a, b), 0);
    EXPECT_GT(compareSiblingFolders(b, a), 0);
    b.isSpecial = false;
    EXPECT_LT(compareSiblingFolders(a, b), 0);
    EXPECT_GT(compareSiblingFolders(b, a), 0);
}

TEST(ListRatio, ResizeAndDragKeepTheListShare) {
    EXPECT_EQ(listHeightFor(301, 50), 150);
    EXPECT_EQ(listHeightFor(400, 90), 360);
    EXPECT_EQ(ratioAfterDrag(380, 400, 50), 90);  // 95 % is kept at 90
    EXPECT_EQ(ratioAfterDrag(20, 400, 50), 10);
    EXPECT_EQ(ratioAfterDrag(133, 400, 50), 33);
    EXPECT_EQ(ratioAfterDrag(100, 0, 42), 42);  // no panel, no new ratio
}

}  // namespace
}  // namespace lumbrook
