// Finding the stores of an old disk: what the profiles' registry says and what the
// scan finds, merged.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "discovery/StoreFinder.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/OldDisk.h"
#include "tests/support/RecordTestSupport.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;

TEST(StoreFinderTest, BothWindowsLayoutsGiveEveryStoreWithItsUserIdentityAndCodePage) {
    test::TempDir root, outside;
    const test::OldDisk disk = test::makeOldDisk(root.str(), outside.str());

    std::vector<FindProgress> reports;
    const FindResult found =
        findStores({root.str()}, [&](const FindProgress& p) { reports.push_back(p); });
    ASSERT_FALSE(found.cancelled);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().storesFound, 4u);  // the scan alone sees the same four

    std::map<std::string, FoundStore> byPath;
    for (const FoundStore& s : found.stores) byPath[fs::canonical(s.path).string()] = s;
    ASSERT_EQ(byPath.size(), 4u) << "the link out of the tree is never followed";
    const auto at = [&](const std::string& dir) { return byPath.at(fs::canonical(dir).string()); };

    const FoundStore main = at(disk.aliceMain);
    EXPECT_EQ(main.user, "Alice");
    EXPECT_EQ(main.identity, "Main Identity");
    EXPECT_EQ(main.identityId, "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(main.source, FoundStore::Source::Registry);
    EXPECT_EQ(main.codePage, 1250);  // from the SYSTEM hive
    EXPECT_EQ(main.folders, 2u);
    EXPECT_EQ(main.messages, 3u);
    EXPECT_GT(main.bytes, 0u);
    EXPECT_EQ(main.firstDate, test::fileTimeUtc(2003, 9, 14, 16, 2));
    EXPECT_EQ(main.lastDate, test::fileTimeUtc(2004, 1, 2));

    // C:\Mail\Work on a disk that spells it mail/work.
    const FoundStore work = at(disk.aliceWork);
    EXPECT_EQ(work.user, "Alice");
    EXPECT_EQ(work.identity, "Work");
    EXPECT_EQ(work.source, FoundStore::Source::Registry);
    EXPECT_EQ(work.messages, 1u);
    EXPECT_EQ(work.codePage, 1250);

    // No Store Root value: where Outlook Express puts it on a later Windows; no
    // SYSTEM hive: the code page under which the folder files exist.
    const FoundStore ivan = at(disk.ivanMain);
    EXPECT_EQ(ivan.user, "Ivan");
    EXPECT_EQ(ivan.identity, "Иван");
    EXPECT_EQ(ivan.source, FoundStore::Source::Registry);
    EXPECT_EQ(ivan.codePage, 1251);
    EXPECT_EQ(ivan.folders, 2u);
    EXPECT_EQ(ivan.messages, 2u);

    const FoundStore backup = at(disk.backup);
    EXPECT_EQ(backup.user, "");
    EXPECT_EQ(backup.identity, "");
    EXPECT_EQ(backup.source, FoundStore::Source::Scan);
    EXPECT_EQ(backup.messages, 1u);
    EXPECT_TRUE(found.notices.empty());

    // A profile folder on its own: the registry still names its stores, and a
    // store root on another drive is told, not lost.
    const FindResult profileOnly = findStores({root / "xp/Documents and Settings/Alice"});
    ASSERT_EQ(profileOnly.stores.size(), 1u);
    EXPECT_EQ(profileOnly.stores[0].identity, "Main Identity");
    EXPECT_EQ(profileOnly.stores[0].source, FoundStore::Source::Registry);
    ASSERT_EQ(profileOnly.notices.size(), 1u);
    EXPECT_EQ(profileOnly.notices[0].identity, "Work");

    std::atomic<bool> cancel{true};
    EXPECT_TRUE(findStores({root.str()}, {}, &cancel).cancelled);
}

}  // namespace
}  // namespace lumbrook
