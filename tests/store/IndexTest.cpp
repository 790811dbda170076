// The index walk and the record decoding of .dbx files, sound and damaged.

#include <random>

#include "StoreTestSupport.h"

namespace lumbrook {
namespace {

using TKind = TDbxField::TKind;

std::vector<std::string> Subjects(const TMessageList& list) {
    std::vector<std::string> out;
    for (const auto& m : list) out.push_back(m.Subject);
    return out;
}

std::vector<std::string> ExpectedSubjects(int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back("Subject " + std::to_string(i));
    return out;
}

TEST_F(StoreTest, MessageRecordsComeBackWithEveryField) {
    TDbxRecord r;
    r.Fields = {TDbxField::Direct(0x80, 7),
                TDbxField::Direct(0x81, 0xFFFFFF),
                TDbxField::Raw8(0x02, {1, 2, 3, 4, 5, 6, 7, 8}),
                TDbxField::DataOffset(),
                TDbxField::Text(0x07, "e07"),
                TDbxField::Text(0x08,
                                "Gr\xFC\xDF"
                                "e"),  // 8-bit bytes stay as they are
                TDbxField::Text(0x09, "e09"),
                TDbxField::Text(0x0A, "e0a"),
                TDbxField::Text(0x0B, "e0b"),
                TDbxField::Text(0x0D, "from"),
                TDbxField::Text(0x0E, "e0e"),
                TDbxField::FileTime(0x12, 0x01D7EF1328000000ULL),
                TDbxField::Text(0x13, "to"),
                TDbxField::Text(0x1A, "e1a"),
                TDbxField::Text(0x1B, "e1b"),
                TDbxField::Direct(0x91, 1234),
                TDbxField::Text(0x05, "skipped"),
                TDbxField::Direct(0x90, 3)};
    r.Text = "raw";
    TDbxImage image = Put("Inbox.dbx", {r});

    TMessageList list = Messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 1u);
    const Toe5_MessageInfo& m = list[0];
    EXPECT_EQ(m.Entry80, 7);
    EXPECT_EQ(m.Entry81, 0xFFFFFF);
    EXPECT_EQ(m.Entry02, (std::array<std::uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(m.Entry07, "e07");
    EXPECT_EQ(m.Subject,
              "Gr\xFC\xDF"
              "e");
    EXPECT_EQ(m.Entry09, "e09");
    EXPECT_EQ(m.Entry0A, "e0a");
    EXPECT_EQ(m.Entry0B, "e0b");
    EXPECT_EQ(m.From, "from");
    EXPECT_EQ(m.Entry0E, "e0e");
    EXPECT_EQ(m.Date, 0x01D7EF1328000000ULL);
    EXPECT_EQ(m.To, "to");
    EXPECT_EQ(m.Entry1A, "e1a");
    EXPECT_EQ(m.Entry1B, "e1b");
    EXPECT_EQ(m.Entry91, 1234);
    EXPECT_EQ(m.DataOffset, image.Layout.Blocks[0][0]);
    EXPECT_EQ(m.RecordOffset, image.Layout.Records[0]);
    EXPECT_EQ(ReadMessageText("Inbox.dbx", m.DataOffset), "raw");

    // A record with no entries at all keeps every initial value.
    Put("Empty.dbx", {TDbxRecord{}});
    TMessageList bare = Messages("Empty.dbx");
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].Subject, "");
    EXPECT_EQ(bare[0].Date, 0u);
    EXPECT_EQ(bare[0].DataOffset, 0);
    EXPECT_EQ(bare[0].Entry02, (std::array<std::uint8_t, 8>{}));
}

TEST_F(StoreTest, WalkOrderIsTheOrderOfTheTree) {
    // Small nodes make deep trees: the records reached through a node's first
    // link come before the node's own entries, each entry's child right after it.
    for (std::size_t capacity : {1u, 2u, 3u, 51u}) {
        for (int n : {1, 2, 51, 52, 200}) {
            TDbxFileOptions options;
            options.NodeCapacity = capacity;
            TDbxImage image = Put("Inbox.dbx", SimpleMessages(n), options);
            SCOPED_TRACE("capacity " + std::to_string(capacity) + ", records " + std::to_string(n));
            EXPECT_EQ(Subjects(Messages("Inbox.dbx")), ExpectedSubjects(n));
            if (n > int(capacity)) {
                EXPECT_GT(image.Layout.Nodes.size(), 1u);
            }
        }
    }
    // 2,600 records in nodes of 51 entries: three levels, as in a big real folder.
    Put("Big.dbx", SimpleMessages(2600));
    EXPECT_EQ(Subjects(Messages("Big.dbx")), ExpectedSubjects(2600));
}

TEST_F(StoreTest, EntryCountIsAllThreeBytes) {
    // 258 entries in one node: count bytes 0x02, 0x01, 0x00.
    TDbxFileOptions options;
    options.NodeCapacity = 300;
    TDbxImage image = Put("Inbox.dbx", SimpleMessages(258), options);
    const std::size_t root = static_cast<std::size_t>(image.Layout.Nodes[0]);
    ASSERT_EQ(image.Bytes[root + 17], 0x02);
    ASSERT_EQ(image.Bytes[root + 18], 0x01);
    EXPECT_EQ(Messages("Inbox.dbx").size(), 258u);

    // Byte 16 is not part of the count.
    image.PutU8(root + 16, 0xFF);
    Put("Inbox.dbx", image.Bytes);
    EXPECT_EQ(Messages("Inbox.dbx").size(), 258u);
    // Only two of them: bytes 0x02, 0x00, 0x00.
    image.PutU24(root + 17, 2);
    Put("Inbox.dbx", image.Bytes);
    EXPECT_EQ(Subjects(Messages("Inbox.dbx")), ExpectedSubjects(2));
}

TEST_F(StoreTest, ItemCountDecidesWhetherTheFileIsEmpty) {
    for (std::int32_t count : {0, -1, static_cast<std::int32_t>(0x80000000)}) {
        TDbxFileOptions options;
        options.ItemCount = count;
        TDbxImage image = Put("Inbox.dbx", SimpleMessages(3), options);
        EXPECT_TRUE(Messages("Inbox.dbx").empty()) << count;
        EXPECT_EQ(ReadMessageText("Inbox.dbx", image.Layout.Blocks[0][0]), "") << count;
    }
    // Any positive count reads the whole tree; the count is not a limit.
    TDbxFileOptions one;
    one.ItemCount = 1;
    Put("Inbox.dbx", SimpleMessages(3), one);
    EXPECT_EQ(Messages("Inbox.dbx").size(), 3u);

    // Too short to hold the count: empty, however the rest looks.
    for (std::size_t size : {0u, 1u, 48u, 196u, 199u}) {
        Put("Short.dbx", std::vector<std::uint8_t>(size, 0x11));
        EXPECT_TRUE(Messages("Short.dbx").empty()) << size;
        EXPECT_EQ(ReadMessageText("Short.dbx", 0x11111111), "") << size;
    }
}

TEST_F(StoreTest, NodeLinksAreAGraphWalkedOnce) {
    TDbxFileOptions options;
    options.NodeCapacity = 2;
    TDbxImage sound = BuildDbx(SimpleMessages(9), options);
    ASSERT_GE(sound.Layout.Nodes.size(), 3u);
    const auto& nodes = sound.Layout.Nodes;
    struct TCase {
        const char* Name;
        std::function<void(TDbxImage&)> Damage;
    };
    const std::vector<TCase> cases = {
        {"root's links lead back to the root",
         [&](TDbxImage& im) { im.PutI32(nodes[0] + 8, nodes[0]); }},
        {"two nodes link to each other",
         [&](TDbxImage& im) {
             im.PutI32(nodes[0] + 8, nodes[1]);  // nodes[1] links back as its parent
         }},
        {"child entries of a leaf point at the root and at the leaf itself",
         [&](TDbxImage& im) {
             const std::int32_t leaf = nodes.back();
             im.PutI32(leaf + 24 + 4, nodes[0]);
             im.PutI32(leaf + 24 + 12 + 4, leaf);
         }},
        {"every link of every node points at the root",
         [&](TDbxImage& im) {
             for (auto n : nodes) {
                 im.PutI32(n + 12, im.GetI32(n + 12) ? im.GetI32(n + 12) : nodes[0]);
                 im.PutI32(n + 8, nodes[0]);
             }
         }},
    };
    for (const auto& c : cases) {
        TDbxImage image = sound;
        c.Damage(image);
        Put("Inbox.dbx", image.Bytes);
        EXPECT_EQ(Subjects(Messages("Inbox.dbx")), ExpectedSubjects(9)) << c.Name;
    }

    // A second link to a node not reached otherwise is followed after the first link.
    TDbxImage image = sound;
    const std::int32_t firstChild = image.GetI32(nodes[0] + 12);
    image.PutI32(nodes[0] + 12, 0);
    image.PutI32(nodes[0] + 8, firstChild);
    Put("Inbox.dbx", image.Bytes);
    EXPECT_EQ(Subjects(Messages("Inbox.dbx")), ExpectedSubjects(9));

    // A record that two entries point at is listed twice.
    image = BuildDbx(SimpleMessages(2));
    image.PutI32(image.Layout.Nodes[0] + 24 + 12, image.Layout.Records[0]);
    Put("Inbox.dbx", image.Bytes);
    EXPECT_EQ(Subjects(Messages("Inbox.dbx")),
              (std::vector<std::string>{"Subject 0", "Subject 0"}));
}

TEST_F(StoreTest, SelfChecksSkipWhatFails) {
    TDbxFileOptions options;
    options.NodeCapacity = 2;
    TDbxImage sound = BuildDbx(SimpleMessages(9), options);
    const auto& L = sound.Layout;

    // Start node that fails: nothing.
    TDbxImage image = sound;
    image.PutI32(L.Nodes[0], L.Nodes[0] + 1);
    Put("Inbox.dbx", image.Bytes);
    EXPECT_TRUE(Messages("Inbox.dbx").empty());

    // Start node offset past the end, zero, negative: nothing.
    for (std::int32_t start : {0, -24, static_cast<std::int32_t>(L.Size), 0x7FFFFFFF}) {
        image = sound;
        image.PutI32(48, start);
        Put("Inbox.dbx", image.Bytes);
        EXPECT_TRUE(Messages("Inbox.dbx").empty()) << start;
    }

    // A record whose self offset fails is left out; the others stay.
    image = sound;
    image.PutI32(L.Records[4], 0);
    Put("Inbox.dbx", image.Bytes);
    std::vector<std::string> expected = ExpectedSubjects(9);
    expected.erase(expected.begin() + 4);
    EXPECT_EQ(Subjects(Messages("Inbox.dbx")), expected);

    // An entry pointing past the end of the file, or at the middle of a record.
    for (std::int32_t bad : {static_cast<std::int32_t>(L.Size) - 4,
                             static_cast<std::int32_t>(L.Size) + 100, L.Records[1] + 4}) {
        image = sound;
        for (auto node : L.Nodes) {
            for (std::size_t e = 0; e < 2; ++e) {
                std::size_t at = node + 24 + 12 * e;
                if (image.GetI32(at) == L.Records[4]) image.PutI32(at, bad);
            }
        }
        Put("Inbox.dbx", image.Bytes);
        EXPECT_EQ(Subjects(Messages("Inbox.dbx")), expected) << bad;
    }

    // A child node that fails takes its whole subtree with it, nothing else.
    image = sound;
    const std::int32_t child = image.GetI32(L.Nodes[0] + 24 + 4);
    ASSERT_GT(child, 0);
    image.PutI32(child, 1);
    Put("Inbox.dbx", image.Bytes);
    TMessageList list = Messages("Inbox.dbx");
    EXPECT_LT(list.size(), 9u);
    EXPECT_GT(list.size(), 0u);
}

TEST_F(StoreTest, DamagedEntryTablesAndCounts) {
    TDbxImage sound = BuildDbx(SimpleMessages(5));
    const std::size_t root = sound.Layout.Nodes[0];

    // Count 0xFFFFFF: the table runs to the end of the file; the real entries are
    // read, the rest (zeros and whatever follows) points at nothing.
    TDbxImage image = sound;
    image.PutU24(root + 17, 0xFFFFFF);
    Put("Inbox.dbx", image.Bytes);
    EXPECT_EQ(Subjects(Messages("Inbox.dbx")), ExpectedSubjects(5));

    // The table cut by the end of the file: the whole entries before it are used.
    image = sound;
    image.Bytes.resize(root + 24 + 12 * 3 + 7);
    Put("Inbox.dbx", image.Bytes);
    EXPECT_EQ(Subjects(Messages("Inbox.dbx")), ExpectedSubjects(3));

    // A node header cut short is no node.
    image = sound;
    image.Bytes.resize(root + 20);
    Put("Inbox.dbx", image.Bytes);
    EXPECT_TRUE(Messages("Inbox.dbx").empty());
}

TEST_F(StoreTest, RecordBoundsNeverReachOutsideTheRecord) {
    // A record whose entries point at and past the end of its data area, and a
    // text without a zero byte before the end of the data area.
    TDbxRecord r;
    // Data area: "subject\0" at 0, "from\0" at 8, padding up to 16 bytes.
    r.Fields = {TDbxField::Text(0x08, "subject"),    TDbxField::Text(0x0D, "from"),
                TDbxField::Position(0x0D, 16),        // at the end of the data area
                TDbxField::Position(0x13, 0xFFFFFF),  // far past it
                TDbxField::Position(0x12, 9),         // 8 bytes that run over the end
                TDbxField::Position(0x04, 13),        // 4 bytes that run over the end
                TDbxField::Position(0x02, 12),        // 8 bytes that run over the end
                TDbxField::Position(0x07, 8)};        // a text shared with From
    TDbxRecord next = MessageRecord(SimpleMessage(1));
    Put("Inbox.dbx", {r, next});
    TMessageList list = Messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Subject, "subject");
    EXPECT_EQ(list[0].From, "from");  // the entry that points nowhere changes nothing
    EXPECT_EQ(list[0].To, "");
    EXPECT_EQ(list[0].Date, 0u);
    EXPECT_EQ(list[0].DataOffset, 0);
    EXPECT_EQ(list[0].Entry02, (std::array<std::uint8_t, 8>{}));
    EXPECT_EQ(list[0].Entry07, "from");
    EXPECT_EQ(list[1].Subject, "Subject 1");

    // A text without any zero byte ends at the end of the data area, even though
    // the next record follows directly in the file.
    TDbxRecord open;
    TDbxField text = TDbxField::Text(0x08, "abcdefgh");
    text.TextWithoutZero = true;
    open.Fields = {text};
    Put("Inbox.dbx", {open, next});
    list = Messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Subject, "abcdefgh");
    EXPECT_EQ(list[1].Subject, "Subject 1");

    // A body length smaller than the entry table: direct values apply, entries
    // into the (now empty) data area find nothing.
    for (std::int32_t length : {0, -5, 4, static_cast<std::int32_t>(0x80000000)}) {
        TDbxRecord shortBody = MessageRecord(SimpleMessage(2));
        shortBody.BodyLength = length;
        Put("Inbox.dbx", {shortBody, next});
        list = Messages("Inbox.dbx");
        ASSERT_EQ(list.size(), 2u) << length;
        EXPECT_EQ(list[0].Entry80, 2) << length;
        EXPECT_NE(list[0].DataOffset, 0) << length;  // 0x84 is direct
        EXPECT_EQ(list[0].Subject, "") << length;
        EXPECT_EQ(list[1].Subject, "Subject 1") << length;
    }

    // A body length beyond the end of the file: the part that is there is used.
    TDbxRecord huge = MessageRecord(SimpleMessage(3));
    huge.BodyLength = 0x7FFFFFFF;
    Put("Inbox.dbx", {huge});
    list = Messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Subject, "Subject 3");

    // A record cut by the end of the file: whole entry words apply.
    TDbxImage cut = BuildDbx({MessageRecord(SimpleMessage(4))});
    const std::size_t rec = cut.Layout.Records[0];
    // Nodes are written after the records, so the cut file gets a node of its own
    // in the unused part of the file header.
    std::vector<std::uint8_t> bytes(cut.Bytes.begin(), cut.Bytes.begin() + rec + 12 + 4 + 2);
    const std::size_t node = 0x1000;
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(48, node);
    put32(node, node);
    bytes[node + 17] = 1;
    put32(node + 24, static_cast<std::uint32_t>(rec));
    Put("Inbox.dbx", bytes);
    list = Messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Entry80, 4);  // the first word was whole
    EXPECT_EQ(list[0].RecordOffset, static_cast<std::int32_t>(rec));
}

TEST_F(StoreTest, LaterEntriesWin) {
    auto withEntries = [](std::vector<TDbxField> fields) {
        TDbxRecord r;
        r.Fields = std::move(fields);
        return r;
    };
    Put("Inbox.dbx",
        {withEntries({TDbxField::Direct(0x84, 1000), TDbxField::Int32(0x04, 2000)}),
         withEntries({TDbxField::Int32(0x04, 2000), TDbxField::Direct(0x84, 1000)}),
         withEntries({TDbxField::Text(0x08, "first"), TDbxField::Text(0x08, "second")}),
         withEntries({TDbxField::Direct(0x80, 1), TDbxField::Direct(0x80, 2)})});
    TMessageList list = Messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].DataOffset, 2000);
    EXPECT_EQ(list[1].DataOffset, 1000);
    EXPECT_EQ(list[2].Subject, "second");
    EXPECT_EQ(list[3].Entry80, 2);
}

TEST_F(StoreTest, FolderRecords) {
    TDbxRecord noFile;  // neither 0x03 nor 0x06: dropped
    noFile.Fields = {TDbxField::Direct(0x80, 6), TDbxField::Direct(0x81, 1),
                     TDbxField::Text(0x02, "Never created"), TDbxField::Direct(0x89, 3)};
    TDbxRecord noId;  // 0x06 only, no 0x80
    noId.Fields = {TDbxField::Text(0x02, "Outlook Express"), TDbxField::Text(0x06, "x")};
    Put("Folders.dbx",
        {noId, FolderRecord({1, {}, "Local Folders", {}, false}),
         FolderRecord({4, 1, "Inbox", "Inbox.dbx", true}), noFile,
         FolderRecord({0xFFFFFF, 0xFFFFFF, "Gel\xF6scht", "Gel\xF6scht.dbx", false})},
        FolderFileOptions());

    // Callers ask for "folders.dbx"; real stores hold "Folders.dbx".
    TFolderList list = Folders();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].FolderId, -1);
    EXPECT_EQ(list[0].ParentId, -1);
    EXPECT_EQ(list[0].Name, "Outlook Express");
    EXPECT_EQ(list[0].FileName, "");
    EXPECT_FALSE(list[0].IsSpecial);
    EXPECT_EQ(list[1].FolderId, 1);
    EXPECT_EQ(list[1].ParentId, -1);
    EXPECT_EQ(list[1].FileName, "");
    EXPECT_EQ(list[2].FolderId, 4);
    EXPECT_EQ(list[2].ParentId, 1);
    EXPECT_EQ(list[2].FileName, "Inbox.dbx");
    EXPECT_TRUE(list[2].IsSpecial);
    EXPECT_EQ(list[3].FolderId, 0xFFFFFF);
    EXPECT_EQ(list[3].ParentId, 0xFFFFFF);
    EXPECT_EQ(list[3].Name, "Gel\xF6scht");

    // The list is appended to, never cleared.
    TFolderList more = list;
    ReadIndexFile("folders.dbx", more);
    EXPECT_EQ(more.size(), 8u);
}

TEST_F(StoreTest, TheNameAskedForDecidesTheRecordKind) {
    Put("Folders.dbx", {FolderRecord({4, 1, "Inbox", "Inbox.dbx", true})}, FolderFileOptions());
    Put("Inbox.dbx", SimpleMessages(2));

    // "folders.dbx" exactly: folder records; a list of the other kind gets nothing.
    TMessageList messages;
    ReadIndexFile("folders.dbx", messages);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Folders("folders.dbx").size(), 1u);

    // Any other spelling is a message file, even when it finds the same file.
    EXPECT_TRUE(Folders("Folders.dbx").empty());
    TMessageList asMessages = Messages("Folders.dbx");
    ASSERT_EQ(asMessages.size(), 1u);
    EXPECT_EQ(asMessages[0].Entry80, 4);

    // A message file read into a folder list: nothing, and the file is not even
    // opened (a missing one does not throw).
    EXPECT_TRUE(Folders("Inbox.dbx").empty());
    EXPECT_NO_THROW(Folders("Missing.dbx"));

    // Message files are found without regard to case too.
    EXPECT_EQ(Messages("INBOX.DBX").size(), 2u);
    EXPECT_EQ(Messages("inbox.dbx").size(), 2u);
}

TEST_F(StoreTest, ChainOfAMillionNodesIsWalked) {
    // Each node links to the next through its first link; the last one carries the
    // tree. Walked on an explicit stack, not the call stack.
    TDbxFileOptions options;
    options.ChainNodes = 1'000'000;
    Put("Inbox.dbx", SimpleMessages(3), options);
    EXPECT_EQ(Subjects(Messages("Inbox.dbx")), ExpectedSubjects(3));
}

TEST_F(StoreTest, RandomAndMutatedFilesNeverCrash) {
    std::mt19937 random(20240601);
    TDbxFileOptions options;
    options.NodeCapacity = 3;
    std::vector<TDbxRecord> records = SimpleMessages(12);
    records.push_back(MessageRecord(SimpleMessage(99, std::string(3000, 'x'))));
    const TDbxImage sound = BuildDbx(records, options);

    auto readEverything = [&](const std::vector<std::uint8_t>& bytes) {
        Put("Inbox.dbx", bytes);
        Put("Folders.dbx", bytes);
        TMessageList list;
        ASSERT_NO_THROW(ReadIndexFile("Inbox.dbx", list));
        for (const auto& m : list) ASSERT_NO_THROW(ReadMessageText("Inbox.dbx", m.DataOffset));
        for (auto b : sound.Layout.Blocks)
            for (auto off : b) ASSERT_NO_THROW(ReadMessageText("Inbox.dbx", off));
        TFolderList folders;
        ASSERT_NO_THROW(ReadIndexFile("folders.dbx", folders));
    };

    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> bytes = sound.Bytes;
        // Overwrite a few int32s with values likely to matter: offsets of the
        // file's own structures, small numbers, huge numbers, negatives.
        int changes = 1 + static_cast<int>(random() % 8);
        for (int c = 0; c < changes; ++c) {
            std::size_t at = random() % (bytes.size() - 4);
            std::uint32_t v;
            switch (random() % 5) {
                case 0:
                    v = static_cast<std::uint32_t>(
                        sound.Layout.Nodes[random() % sound.Layout.Nodes.size()]);
                    break;
                case 1:
                    v = static_cast<std::uint32_t>(
                        sound.Layout.Records[random() % sound.Layout.Records.size()]);
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
