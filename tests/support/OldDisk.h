#pragma once

// A tree of two mounted Windows disks as Outlook Express left them, for the tests
// of finding stores and reading them in their code page:
//   xp/     Windows XP: "Documents and Settings/Alice" with two identities, one store
//           where Outlook Express puts it, one moved to C:\Mail\Work (the disk has
//           it as "mail/work"); a SYSTEM hive naming code page 1250 (a Czech Windows)
//   vista/  a later Windows: "Users/Ivan" with one identity and no Store Root value
//           (the default place), a Cyrillic store whose folder list names its files
//           in code page 1251 while the disk has them in UTF-8; no SYSTEM hive
//   backup/ a copy of a store outside any profile, found by the scan alone
// and a link from Ivan's profile to a store outside the tree, never to be followed.

#include <string>

namespace lumbrook::test {

struct OldDisk {
    std::string root;
    std::string aliceMain;  // the store directories, as created
    std::string aliceWork;
    std::string ivanMain;
    std::string backup;
    std::string outside;  // the store the link leads to, beside root
};

// Builds the tree in root (which must exist and be empty) and the outside store in
// outsideDir.
OldDisk makeOldDisk(const std::string& root, const std::string& outsideDir);

}  // namespace lumbrook::test
