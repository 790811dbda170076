// The index walk and the record decoding of .dbx files, sound and damaged.

#include <filesystem>
#include <random>
#include <set>
#include <tuple>

#include "StoreTestSupport.h"

namespace lumbrook {
namespace {

using Kind = DbxField::Kind;

std::vector<std::string> subjects(const MessageList& list) {
    std::vector<std::string> out;
    for (const auto& m : list) out.push_back(m.subject);
    return out;
}

std::vector<std::string> expectedSubjects(int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back("Subject " + std::to_string(i));
    return out;
}

TEST_F(StoreTest, MessageRecordsComeBackWithTheFieldsKept) {
    DbxRecord r;
    r.fields = {DbxField::direct(0x80, 7),
                DbxField::direct(0x81, 0xFFFFFF),
                DbxField::raw8(0x02, {1, 2, 3, 4, 5, 6, 7, 8}),
                DbxField::dataOffset(),
                DbxField::text(0x07, "e07"),
                DbxField::text(0x08,
                                "Gr\xFC\xDF"
                                "e"),  // 8-bit bytes stay as they are
                DbxField::text(0x09, "e09"),
                DbxField::text(0x0A, "e0a"),
                DbxField::text(0x0B, "e0b"),
                DbxField::text(0x0D, "from"),
                DbxField::text(0x0E, "e0e"),
                DbxField::fileTime(0x12, 0x01D7EF1328000000ULL),
                DbxField::text(0x13, "to"),
                DbxField::text(0x1A, "e1a"),
                DbxField::text(0x1B, "e1b"),
                DbxField::direct(0x91, 1234),
                DbxField::text(0x05, "skipped"),
                DbxField::direct(0x90, 3)};
    r.text = "raw";
    DbxImage image = put("Inbox.dbx", {r});

    MessageList list = messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 1u);
    const MessageInfo& m = list[0];
    EXPECT_EQ(m.flags, 0xFFFFFFu);  // 0x81 stored directly
    EXPECT_EQ(m.subject,
              "Gr\xFC\xDF"
              "e");
    EXPECT_EQ(m.from, "from");
    EXPECT_EQ(m.date, 0x01D7EF1328000000ULL);
    EXPECT_EQ(m.to, "to");
    EXPECT_EQ(m.entry91, 1234);
    EXPECT_EQ(m.priority, 3u);
    EXPECT_EQ(m.dataOffset, image.layout.blocks[0][0]);
    EXPECT_EQ(m.recordOffset, image.layout.records[0]);
    EXPECT_EQ(readMessageText("Inbox.dbx", m.dataOffset), "raw");

    // A record with no entries at all keeps every initial value.
    put("Empty.dbx", {DbxRecord{}});
    MessageList bare = messages("Empty.dbx");
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].subject, "");
    EXPECT_EQ(bare[0].date, 0u);
    EXPECT_EQ(bare[0].dataOffset, 0);
    EXPECT_EQ(bare[0].flags, 0u);
}

TEST_F(StoreTest, WalkOrderIsTheOrderOfTheTree) {
    // Small nodes make deep trees: the records reached through a node's first
    // link come before the node's own entries, each entry's child right after it.
    for (std::size_t capacity : {1u, 2u, 3u, 51u}) {
        for (int n : {1, 2, 51, 52, 200}) {
            DbxFileOptions options;
            options.nodeCapacity = capacity;
            DbxImage image = put("Inbox.dbx", simpleMessages(n), options);
            SCOPED_TRACE("capacity " + std::to_string(capacity) + ", records " + std::to_string(n));
            EXPECT_EQ(subjects(messages("Inbox.dbx")), expectedSubjects(n));
            if (n > int(capacity)) {
                EXPECT_GT(image.layout.nodes.size(), 1u);
            }
        }
    }
    // 2,600 records in nodes of 51 entries: three levels, as in a big real folder.
    put("Big.dbx", simpleMessages(2600));
    EXPECT_EQ(subjects(messages("Big.dbx")), expectedSubjects(2600));
}

TEST_F(StoreTest, EntryCountIsAllThreeBytes) {
    // 258 entries in one node: count bytes 0x02, 0x01, 0x00.
    DbxFileOptions options;
    options.nodeCapacity = 300;
    DbxImage image = put("Inbox.dbx", simpleMessages(258), options);
    const std::size_t root = static_cast<std::size_t>(image.layout.nodes[0]);
    ASSERT_EQ(image.bytes[root + 17], 0x02);
    ASSERT_EQ(image.bytes[root + 18], 0x01);
    EXPECT_EQ(messages("Inbox.dbx").size(), 258u);

    // Byte 16 is not part of the count.
    image.putU8(root + 16, 0xFF);
    put("Inbox.dbx", image.bytes);
    EXPECT_EQ(messages("Inbox.dbx").size(), 258u);
    // Only two of them: bytes 0x02, 0x00, 0x00.
    image.putU24(root + 17, 2);
    put("Inbox.dbx", image.bytes);
    EXPECT_EQ(subjects(messages("Inbox.dbx")), expectedSubjects(2));
}

TEST_F(StoreTest, ItemCountDecidesWhetherTheFileIsEmpty) {
    for (std::int32_t count : {0, -1, static_cast<std::int32_t>(0x80000000)}) {
        DbxFileOptions options;
        options.itemCount = count;
        DbxImage image = put("Inbox.dbx", simpleMessages(3), options);
        EXPECT_TRUE(messages("Inbox.dbx").empty()) << count;
        EXPECT_EQ(readMessageText("Inbox.dbx", image.layout.blocks[0][0]), "") << count;
    }
    // Any positive count reads the whole tree; the count is not a limit.
    DbxFileOptions one;
    one.itemCount = 1;
    put("Inbox.dbx", simpleMessages(3), one);
    EXPECT_EQ(messages("Inbox.dbx").size(), 3u);

    // Too short to hold the count: empty, however the rest looks.
    for (std::size_t size : {0u, 1u, 48u, 196u, 199u}) {
        put("Short.dbx", std::vector<std::uint8_t>(size, 0x11));
        EXPECT_TRUE(messages("Short.dbx").empty()) << size;
        EXPECT_EQ(readMessageText("Short.dbx", 0x11111111), "") << size;
    }
}

TEST_F(StoreTest, NodeLinksAreAGraphWalkedOnce) {
    DbxFileOptions options;
    options.nodeCapacity = 2;
    DbxImage sound = buildDbx(simpleMessages(9), options);
    ASSERT_GE(sound.layout.nodes.size(), 3u);
    const auto& nodes = sound.layout.nodes;
    struct Case {
        const char* name;
        std::function<void(DbxImage&)> damage;
    };
    const std::vector<Case> cases = {
        {"root's links lead back to the root",
         [&](DbxImage& im) { im.putI32(nodes[0] + 8, nodes[0]); }},
        {"two nodes link to each other",
         [&](DbxImage& im) {
             im.putI32(nodes[0] + 8, nodes[1]);  // nodes[1] links back as its parent
         }},
        {"child entries of a leaf point at the root and at the leaf itself",
         [&](DbxImage& im) {
             const std::int32_t leaf = nodes.back();
             im.putI32(leaf + 24 + 4, nodes[0]);
             im.putI32(leaf + 24 + 12 + 4, leaf);
         }},
        {"every link of every node points at the root",
         [&](DbxImage& im) {
             for (auto n : nodes) {
                 im.putI32(n + 12, im.getI32(n + 12) ? im.getI32(n + 12) : nodes[0]);
                 im.putI32(n + 8, nodes[0]);
             }
         }},
    };
    for (const auto& c : cases) {
        DbxImage image = sound;
        c.damage(image);
        put("Inbox.dbx", image.bytes);
        EXPECT_EQ(subjects(messages("Inbox.dbx")), expectedSubjects(9)) << c.name;
    }

    // A second link to a node not reached otherwise is followed after the first link.
    DbxImage image = sound;
    const std::int32_t firstChild = image.getI32(nodes[0] + 12);
    image.putI32(nodes[0] + 12, 0);
    image.putI32(nodes[0] + 8, firstChild);
    put("Inbox.dbx", image.bytes);
    EXPECT_EQ(subjects(messages("Inbox.dbx")), expectedSubjects(9));

    // A record that two entries point at is listed (and read) once.
    image = buildDbx(simpleMessages(2));
    image.putI32(image.layout.nodes[0] + 24 + 12, image.layout.records[0]);
    put("Inbox.dbx", image.bytes);
    EXPECT_EQ(subjects(messages("Inbox.dbx")), (std::vector<std::string>{"Subject 0"}));
}

TEST_F(StoreTest, SelfChecksSkipWhatFails) {
    DbxFileOptions options;
    options.nodeCapacity = 2;
    DbxImage sound = buildDbx(simpleMessages(9), options);
    const auto& l = sound.layout;

    // Start node that fails: nothing.
    DbxImage image = sound;
    image.putI32(l.nodes[0], l.nodes[0] + 1);
    put("Inbox.dbx", image.bytes);
    EXPECT_TRUE(messages("Inbox.dbx").empty());

    // Start node offset past the end, zero, negative: nothing.
    for (std::int32_t start : {0, -24, static_cast<std::int32_t>(l.size), 0x7FFFFFFF}) {
        image = sound;
        image.putI32(48, start);
        put("Inbox.dbx", image.bytes);
        EXPECT_TRUE(messages("Inbox.dbx").empty()) << start;
    }

    // A record whose self offset fails is left out; the others stay.
    image = sound;
    image.putI32(l.records[4], 0);
    put("Inbox.dbx", image.bytes);
    std::vector<std::string> expected = expectedSubjects(9);
    expected.erase(expected.begin() + 4);
    EXPECT_EQ(subjects(messages("Inbox.dbx")), expected);

    // An entry pointing past the end of the file, or at the middle of a record.
    for (std::int32_t bad : {static_cast<std::int32_t>(l.size) - 4,
                             static_cast<std::int32_t>(l.size) + 100, l.records[1] + 4}) {
        image = sound;
        for (auto node : l.nodes) {
            for (std::size_t e = 0; e < 2; ++e) {
                std::size_t at = node + 24 + 12 * e;
                if (image.getI32(at) == l.records[4]) image.putI32(at, bad);
            }
        }
        put("Inbox.dbx", image.bytes);
        EXPECT_EQ(subjects(messages("Inbox.dbx")), expected) << bad;
    }

    // A child node that fails takes its whole subtree with it, nothing else.
    image = sound;
    const std::int32_t child = image.getI32(l.nodes[0] + 24 + 4);
    ASSERT_GT(child, 0);
    image.putI32(child, 1);
    put("Inbox.dbx", image.bytes);
    MessageList list = messages("Inbox.dbx");
    EXPECT_LT(list.size(), 9u);
    EXPECT_GT(list.size(), 0u);
}

TEST_F(StoreTest, DamagedEntryTablesAndCounts) {
    DbxImage sound = buildDbx(simpleMessages(5));
    const std::size_t root = sound.layout.nodes[0];

    // Count 0xFFFFFF: the table runs to the end of the file; the real entries are
    // read, the rest (zeros and whatever follows) points at nothing.
    DbxImage image = sound;
    image.putU24(root + 17, 0xFFFFFF);
    put("Inbox.dbx", image.bytes);
    EXPECT_EQ(subjects(messages("Inbox.dbx")), expectedSubjects(5));

    // The table cut by the end of the file: the whole entries before it are used.
    image = sound;
    image.bytes.resize(root + 24 + 12 * 3 + 7);
    put("Inbox.dbx", image.bytes);
    EXPECT_EQ(subjects(messages("Inbox.dbx")), expectedSubjects(3));

    // A node header cut short is no node.
    image = sound;
    image.bytes.resize(root + 20);
    put("Inbox.dbx", image.bytes);
    EXPECT_TRUE(messages("Inbox.dbx").empty());
}

TEST_F(StoreTest, RecordBoundsNeverReachOutsideTheRecord) {
    // A record whose entries point at and past the end of its data area, and a
    // text without a zero byte before the end of the data area.
    DbxRecord r;
    // Data area: "subject\0" at 0, "from\0" at 8, padding up to 16 bytes.
    r.fields = {DbxField::text(0x08, "subject"),    DbxField::text(0x0D, "from"),
                DbxField::position(0x0D, 16),        // at the end of the data area
                DbxField::position(0x13, 0xFFFFFF),  // far past it
                DbxField::position(0x12, 9),         // 8 bytes that run over the end
                DbxField::position(0x04, 13),        // 4 bytes that run over the end
                DbxField::position(0x01, 13)};       // 4 bytes that run over the end
    DbxRecord next = messageRecord(simpleMessage(1));
    put("Inbox.dbx", {r, next});
    MessageList list = messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].subject, "subject");
    EXPECT_EQ(list[0].from, "from");  // the entry that points nowhere changes nothing
    EXPECT_EQ(list[0].to, "");
    EXPECT_EQ(list[0].date, 0u);
    EXPECT_EQ(list[0].dataOffset, 0);
    EXPECT_EQ(list[0].flags, 0u);
    EXPECT_EQ(list[1].subject, "Subject 1");

    // A text without any zero byte ends at the end of the data area, even though
    // the next record follows directly in the file.
    DbxRecord open;
    DbxField text = DbxField::text(0x08, "abcdefgh");
    text.textWithoutZero = true;
    open.fields = {text};
    put("Inbox.dbx", {open, next});
    list = messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].subject, "abcdefgh");
    EXPECT_EQ(list[1].subject, "Subject 1");

    // A body length smaller than the entry table: direct values apply, entries
    // into the (now empty) data area find nothing.
    for (std::int32_t length : {0, -5, 4, static_cast<std::int32_t>(0x80000000)}) {
        DbxRecord shortBody = messageRecord(simpleMessage(2));
        shortBody.bodyLength = length;
        put("Inbox.dbx", {shortBody, next});
        list = messages("Inbox.dbx");
        ASSERT_EQ(list.size(), 2u) << length;
        EXPECT_NE(list[0].dataOffset, 0) << length;  // 0x84 is direct
        EXPECT_EQ(list[0].subject, "") << length;
        EXPECT_EQ(list[1].subject, "Subject 1") << length;
    }

    // A body length beyond the end of the file: the part that is there is used.
    DbxRecord huge = messageRecord(simpleMessage(3));
    huge.bodyLength = 0x7FFFFFFF;
    put("Inbox.dbx", {huge});
    list = messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].subject, "Subject 3");

    // A record cut by the end of the file: whole entry words apply.
    DbxRecord twoWords;
    twoWords.fields = {DbxField::direct(0x90, 5), DbxField::direct(0x81, MessageFlag::Read)};
    DbxImage cut = buildDbx({twoWords});
    const std::size_t rec = cut.layout.records[0];
    // Nodes are written after the records, so the cut file gets a node of its own
    // in the unused part of the file header.
    std::vector<std::uint8_t> bytes(cut.bytes.begin(), cut.bytes.begin() + rec + 12 + 4 + 2);
    const std::size_t node = 0x1000;
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(48, node);
    put32(node, node);
    bytes[node + 17] = 1;
    put32(node + 24, static_cast<std::uint32_t>(rec));
    put("Inbox.dbx", bytes);
    list = messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].priority, 5u);  // the first word was whole
    EXPECT_EQ(list[0].flags, 0u);     // the second was not
    EXPECT_EQ(list[0].recordOffset, static_cast<std::int32_t>(rec));
}

TEST_F(StoreTest, LaterEntriesWin) {
    auto withEntries = [](std::vector<DbxField> fields) {
        DbxRecord r;
        r.fields = std::move(fields);
        return r;
    };
    put("Inbox.dbx",
        {withEntries({DbxField::direct(0x84, 1000), DbxField::int32(0x04, 2000)}),
         withEntries({DbxField::int32(0x04, 2000), DbxField::direct(0x84, 1000)}),
         withEntries({DbxField::text(0x08, "first"), DbxField::text(0x08, "second")}),
         withEntries({DbxField::direct(0x90, 1), DbxField::direct(0x90, 5)})});
    MessageList list = messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].dataOffset, 2000);
    EXPECT_EQ(list[1].dataOffset, 1000);
    EXPECT_EQ(list[2].subject, "second");
    EXPECT_EQ(list[3].priority, 5u);
}

TEST_F(StoreTest, FolderRecords) {
    DbxRecord noFile;  // neither 0x03 nor 0x06: dropped
    noFile.fields = {DbxField::direct(0x80, 6), DbxField::direct(0x81, 1),
                     DbxField::text(0x02, "Never created"), DbxField::direct(0x89, 3)};
    DbxRecord noId;  // 0x06 only, no 0x80
    noId.fields = {DbxField::text(0x02, "Outlook Express"), DbxField::text(0x06, "x")};
    put("Folders.dbx",
        {noId, folderRecord({1, {}, "Local Folders", {}, false}),
         folderRecord({4, 1, "Inbox", "Inbox.dbx", true}), noFile,
         folderRecord({0xFFFFFF, 0xFFFFFF, "Gel\xF6scht", "Gel\xF6scht.dbx", false})},
        folderFileOptions());

    // Callers ask for "folders.dbx"; real stores hold "Folders.dbx".
    FolderList list = folders();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].folderId, -1);
    EXPECT_EQ(list[0].parentId, -1);
    EXPECT_EQ(list[0].name, "Outlook Express");
    EXPECT_EQ(list[0].fileName, "");
    EXPECT_FALSE(list[0].isSpecial);
    EXPECT_EQ(list[1].folderId, 1);
    EXPECT_EQ(list[1].parentId, -1);
    EXPECT_EQ(list[1].fileName, "");
    EXPECT_EQ(list[2].folderId, 4);
    EXPECT_EQ(list[2].parentId, 1);
    EXPECT_EQ(list[2].fileName, "Inbox.dbx");
    EXPECT_TRUE(list[2].isSpecial);
    EXPECT_EQ(list[3].folderId, 0xFFFFFF);
    EXPECT_EQ(list[3].parentId, 0xFFFFFF);
    EXPECT_EQ(list[3].name, "Gel\xF6scht");
}

// The folders are the folder files on disk: those the list names, the ones it
// does not name, and all of them flat when there is no usable list; a lone folder
// file is a store of one folder. Other files never become folders.
TEST_F(StoreTest, TheFoldersAreTheFolderFilesOnDisk) {
    const std::vector<DbxRecord> folderList = {
        folderRecord({0, {}, "Outlook Express", {}, false}),
        folderRecord({4, 0, "Inbox", "inbox.dbx", true}),
        folderRecord({9, 4, "Gone", "Gone.dbx", false})};
    const std::vector<std::uint8_t> listBytes = buildDbx(folderList, folderFileOptions()).bytes;
    struct Case {
        const char* what;
        std::optional<std::vector<std::uint8_t>> folders;  // Folders.dbx, when there is one
        // name, parent id, whether unlisted; the listed folders first, in list order
        std::vector<std::tuple<std::string, std::int32_t, bool>> expected;
        std::optional<FolderListProblem::Kind> problem;
    };
    const std::vector<Case> cases = {
        {"a list that misses a file",
         listBytes,
         {{"Outlook Express", -1, false},
          {"Inbox", 0, false},
          {"Gone", 4, false},
          {"Unlisted: Archive 2001.dbx", 0, true},
          {"Unlisted: zz.DBX", 0, true}},
         std::nullopt},
        {"no list",
         std::nullopt,
         {{"Archive 2001.dbx", -1, true}, {"Inbox.dbx", -1, true}, {"zz.DBX", -1, true}},
         FolderListProblem::Kind::Missing},
        {"a cut list",
         std::vector<std::uint8_t>(listBytes.begin(), listBytes.begin() + 600),
         {{"Archive 2001.dbx", -1, true}, {"Inbox.dbx", -1, true}, {"zz.DBX", -1, true}},
         FolderListProblem::Kind::Unreadable},
        {"a list with no folder",
         buildDbx({}, folderFileOptions()).bytes,
         {{"Archive 2001.dbx", -1, true}, {"Inbox.dbx", -1, true}, {"zz.DBX", -1, true}},
         FolderListProblem::Kind::Unreadable},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string storeDir = dir + "/" + std::to_string(n++);
        std::filesystem::create_directory(storeDir);
        const auto putIn = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
            writeBytes(storeDir + "/" + name, bytes);
        };
        if (c.folders) putIn("Folders.dbx", *c.folders);
        putIn("Inbox.dbx", buildDbx(simpleMessages(2)).bytes);
        putIn("Archive 2001.dbx", buildDbx(simpleMessages(3)).bytes);
        putIn("zz.DBX", buildDbx({}).bytes);
        // Folder list signatures, and other words, are never folders; neither are the
        // mail client's other files, whatever opens them.
        putIn("Offline.dbx", buildDbx(simpleMessages(1)).bytes);
        putIn("Pop3uidl.dbx", listBytes);
        putIn("Copy of Folders.dbx", listBytes);
        putIn("junk.dbx", std::vector<std::uint8_t>(64, 0x41));
        putIn("Inbox.txt", buildDbx(simpleMessages(1)).bytes);

        const MailStore store(storeDir, CodePage());
        const FolderList got = store.readFolders();
        std::vector<std::tuple<std::string, std::int32_t, bool>> shape;
        for (const FolderInfo& f : got) shape.emplace_back(f.name, f.parentId, f.unlisted);
        EXPECT_EQ(shape, c.expected);
        const auto problem = store.folderListProblem();
        ASSERT_EQ(problem.has_value(), c.problem.has_value());
        if (problem) {
            EXPECT_EQ(problem->kind, *c.problem);
            EXPECT_EQ(problem->path, storeDir + (c.folders ? "/Folders.dbx" : "/folders.dbx"));
        }
        // Every folder found is read as any other, and its id is its own.
        std::set<std::int32_t> ids;
        std::size_t messageCount = 0;
        for (const FolderInfo& f : got) {
            ids.insert(f.folderId);
            if (!f.fileName.empty() && f.name != "Gone") messageCount += store.readMessages(f.fileName).size();
        }
        EXPECT_EQ(ids.size(), got.size());
        EXPECT_EQ(messageCount, 5u);

        // A lone folder file is a store of that one folder, whatever lies beside it.
        const MailStore lone(storeDir + "/Archive 2001.dbx", CodePage());
        const FolderList one = lone.readFolders();
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(one[0].name, "Archive 2001.dbx");
        EXPECT_EQ(lone.readMessages(one[0].fileName).size(), 3u);
        EXPECT_FALSE(lone.folderListProblem());
        // Any other file is read as a directory, and fails as one.
        EXPECT_THROW(MailStore(storeDir + "/Pop3uidl.dbx", CodePage()).readFolders(),
                     FileOpenError);
    }

    // With no folder file either, the missing list is the failure it always was.
    std::filesystem::create_directory(dir + "/empty");
    const MailStore empty(dir + "/empty", CodePage());
    EXPECT_THROW(empty.readFolders(), FileOpenError);
    EXPECT_FALSE(empty.folderListProblem());
}

TEST_F(StoreTest, TheNameAskedForDecidesTheRecordKind) {
    const DbxImage list =
        put("Folders.dbx", {folderRecord({4, 1, "Inbox", "Inbox.dbx", true})}, folderFileOptions());
    put("Inbox.dbx", simpleMessages(2));

    // "folders.dbx" exactly holds folder records: as a message file it gives
    // nothing, and is not even opened (a store without it does not throw).
    EXPECT_EQ(folders().size(), 1u);
    EXPECT_TRUE(messages("folders.dbx").empty());
    EXPECT_NO_THROW(MailStore(dir + "/none", CodePage()).readMessages("folders.dbx"));

    // Any other spelling is a message file, even when it finds the same file.
    MessageList asMessages = messages("Folders.dbx");
    ASSERT_EQ(asMessages.size(), 1u);
    EXPECT_EQ(asMessages[0].recordOffset, list.layout.records[0]);

    // Message files are found without regard to case too.
    EXPECT_EQ(messages("INBOX.DBX").size(), 2u);
    EXPECT_EQ(messages("inbox.dbx").size(), 2u);
}

TEST_F(StoreTest, ImagesInMemoryReadAsTheirFilesDo) {
    const DbxImage inbox = put("Inbox.dbx", simpleMessages(7));
    const DbxImage list =
        put("Folders.dbx", {folderRecord({4, 1, "Inbox", "Inbox.dbx", true})}, folderFileOptions());
    const MemoryByteSource source(inbox.bytes);
    const MessageList fromMemory = readMessageIndex(source);
    EXPECT_EQ(subjects(fromMemory), subjects(messages("Inbox.dbx")));
    ASSERT_EQ(fromMemory.size(), 7u);
    for (const auto& m : fromMemory)
        EXPECT_EQ(readMessageChain(source, m.dataOffset), readMessageText("Inbox.dbx", m.dataOffset));
    EXPECT_EQ(readFolderIndex(MemoryByteSource(list.bytes)).size(), 1u);
    EXPECT_TRUE(readMessageIndex(MemoryByteSource(std::string_view())).empty());
}

TEST_F(StoreTest, ChainOfAMillionNodesIsWalked) {
    // Each node links to the next through its first link; the last one carries the
    // tree. Walked on an explicit stack, not the call stack.
    DbxFileOptions options;
    options.chainNodes = 1'000'000;
    put("Inbox.dbx", simpleMessages(3), options);
    EXPECT_EQ(subjects(messages("Inbox.dbx")), expectedSubjects(3));
}

TEST_F(StoreTest, RandomAndMutatedFilesNeverCrash) {
    std::mt19937 random(20240601);
    DbxFileOptions options;
    options.nodeCapacity = 3;
    std::vector<DbxRecord> records = simpleMessages(12);
    records.push_back(messageRecord(simpleMessage(99, std::string(3000, 'x'))));
    const DbxImage sound = buildDbx(records, options);

    auto readEverything = [&](const std::vector<std::uint8_t>& bytes) {
        put("Inbox.dbx", bytes);
        put("Folders.dbx", bytes);
        MessageList list;
        ASSERT_NO_THROW(list = messages("Inbox.dbx"));
        for (const auto& m : list) ASSERT_NO_THROW(readMessageText("Inbox.dbx", m.dataOffset));
        for (auto b : sound.layout.blocks)
            for (auto off : b) ASSERT_NO_THROW(readMessageText("Inbox.dbx", off));
        ASSERT_NO_THROW(folders());
    };

    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> bytes = sound.bytes;
        // Overwrite a few int32s with values likely to matter: offsets of the
        // file's own structures, small numbers, huge numbers, negatives.
        int changes = 1 + static_cast<int>(random() % 8);
        for (int c = 0; c < changes; ++c) {
            std::size_t at = random() % (bytes.size() - 4);
            std::uint32_t v;
            switch (random() % 5) {
                case 0:
                    v = static_cast<std::uint32_t>(
                        sound.layout.nodes[random() % sound.layout.nodes.size()]);
                    break;
                case 1:
                    v = static_cast<std::uint32_t>(
                        sound.layout.records[random() % sound.layout.records.size()]);
                    break;
                case 2:
                    v = random() % 1024;
                    break;
                case 3:
                    v = 0xFFFFFF00u | (random() & 0xFF);
                    break;
                default:
                    v = static_cast<std::uint32_t>(random());
                    break;
            }
            for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
        if (random() % 4 == 0) bytes.resize(random() % bytes.size());
        SCOPED_TRACE("round " + std::to_string(round));
        readEverything(bytes);
    }
    // Pure noise with a plausible header.
    for (int round = 0; round < 20; ++round) {
        std::vector<std::uint8_t> bytes(0x2600 + random() % 0x4000);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        bytes[196] = 1;
        readEverything(bytes);
    }
}

}  // namespace
}  // namespace lumbrook
