// Whole and damaged message texts, a folder's shared blocks, bounded work on
// hostile files, and store file names from other code pages.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>

#include "StoreTestSupport.h"
#include "base/Errors.h"
#include "store/DbxLayout.h"

namespace lumbrook {
namespace {

TEST_F(StoreTest, MessagesTellWholeFromDamaged) {
    struct Case {
        const char* name;
        std::vector<DbxBlock> blocks;
        std::string text;
        std::string problem;  // empty: whole
    };
    const auto next = withNext;
    const auto nextIndex = withNextIndex;
    const auto self = withSelf;
    const std::vector<Case> cases = {
        {"sound", {block("a"), block("b")}, "ab", ""},
        {"next block fails its self check", {block("a"), self(block("b"), 4)}, "a",
         "there is no data block at offset"},
        {"loop", {block("a"), nextIndex(block("b"), 0)}, "ab", "loops back"},
        {"next past the end", {next(block("a"), 0x7FFFFFF0)}, "a", "past the end of the file"},
        {"next negative", {next(block("a"), -528)}, "a", "outside the file"},
    };
    for (const auto& c : cases) {
        DbxImage image = put("Inbox.dbx", {DbxRecord{}, withBlocks(c.blocks)});
        const MessageText m = store().readMessage("Inbox.dbx", image.layout.blocks[1][0]);
        EXPECT_EQ(m.text, c.text) << c.name;
        EXPECT_EQ(m.whole, c.problem.empty()) << c.name;
        EXPECT_NE(m.problem.find(c.problem), std::string::npos) << c.name << ": " << m.problem;
    }

    // A data offset past the end, and a file that ends inside the last block.
    DbxImage image = put("Inbox.dbx", {withBlocks({block("abc"), block(std::string(300, 'x'))})});
    const MessageText past = store().readMessage("Inbox.dbx", 0x7FFFFFF0);
    EXPECT_FALSE(past.whole);
    EXPECT_NE(past.problem.find("first block"), std::string::npos);
    const std::int32_t last = image.layout.blocks[0][1];
    std::vector<std::uint8_t> cut(image.bytes.begin(), image.bytes.begin() + last + 16 + 100);
    put("Inbox.dbx", cut);
    const MessageText shortened = store().readMessage("Inbox.dbx", image.layout.blocks[0][0]);
    EXPECT_EQ(shortened.text, "abc" + std::string(100, 'x'));
    EXPECT_FALSE(shortened.whole);
    EXPECT_NE(shortened.problem.find("file ends inside"), std::string::npos);
    EXPECT_EQ(store().readMessage("Inbox.dbx", 0).whole, true);  // a record without text
}

// Two records whose chains meet: the one read first keeps the shared blocks, the
// other is damaged there, and the folder's texts never repeat a byte.
TEST_F(StoreTest, BlocksAreReadForOneMessageOfTheFolder) {
    DbxImage image = put("Inbox.dbx", {withBlocks({block("one"), block("two")}),
                                       withBlocks({block("own")})});
    const std::int32_t shared = image.layout.blocks[0][1];
    image.putI32(image.layout.blocks[1][0] + static_cast<std::int32_t>(dbx::BlockNextAt), shared);
    put("Inbox.dbx", image.bytes);

    FolderReader reader(store(), "Inbox.dbx");
    const MessageText first = reader.read(image.layout.blocks[0][0]);
    EXPECT_TRUE(first.whole) << first.problem;
    EXPECT_EQ(first.text, "onetwo");
    const MessageText second = reader.read(image.layout.blocks[1][0]);
    EXPECT_EQ(second.text, "own");
    EXPECT_FALSE(second.whole);
    EXPECT_NE(second.problem.find("another message"), std::string::npos) << second.problem;
    // The same message again is the same chain taken twice.
    EXPECT_FALSE(reader.read(image.layout.blocks[0][0]).whole);
    // On its own each message reads all of its chain.
    EXPECT_EQ(store().readMessage("Inbox.dbx", image.layout.blocks[1][0]).text, "owntwo");
}

// Counts the bytes the reader asks for.
class CountingSource final : public ByteSource {
  public:
    explicit CountingSource(const std::vector<std::uint8_t>& bytes) : inner(bytes) {}
    std::uint64_t size() const override { return inner.size(); }
    std::size_t readAt(std::uint64_t off, std::uint8_t* dst, std::size_t len) const override {
        const std::size_t got = inner.readAt(off, dst, len);
        read += got;
        return got;
    }
    mutable std::uint64_t read = 0;

  private:
    MemoryByteSource inner;
};

long maxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// An index that lists one large record a hundred thousand times, and as many
// records that all point at one large message: listing and reading the folder
// cost about what the file holds, not that times the number of entries.
TEST_F(StoreTest, HostileIndexesCostAboutTheFileSize) {
    const std::size_t big = 1 << 20;
    DbxRecord large = messageRecord(simpleMessage(1, "Subject: big\r\n\r\n" + std::string(big, 'x')));
    large.extraData = std::string(big, 'y');  // a record of more than a megabyte
    std::vector<DbxRecord> records{large};
    for (int i = 0; i < 999; ++i) {
        DbxRecord r;
        r.fields = {DbxField::direct(0x80, static_cast<std::uint32_t>(i))};
        records.push_back(r);
    }
    DbxImage image = buildDbx(records);
    // Every entry of the index lists the large record; every small record's text
    // is the large message's.
    for (std::int32_t node : image.layout.nodes) {
        const std::uint32_t count =
            static_cast<std::uint32_t>(image.bytes[node + 17]) | (image.bytes[node + 18] << 8);
        for (std::uint32_t e = 0; e < count; ++e)
            image.putI32(node + 24 + static_cast<std::int32_t>(e) * 12, image.layout.records[0]);
    }
    put("Inbox.dbx", image.bytes);

    const CountingSource counted(image.bytes);
    ASSERT_EQ(readMessageIndex(counted).size(), 1u);
    EXPECT_LE(counted.read, 4 * image.bytes.size());

    const long rssBefore = maxRssKb();
    const auto start = std::chrono::steady_clock::now();
    const MessageList list = messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 1u);
    std::uint64_t total = 0;
    FolderReader reader(store(), "Inbox.dbx");
    for (int i = 0; i < 1000; ++i) total += reader.read(list[0].dataOffset).text.size();
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    EXPECT_LE(total, image.bytes.size());
    EXPECT_LT(seconds.count(), 20.0);
    EXPECT_LT(maxRssKb() - rssBefore, 200 * 1024);  // kilobytes

    // Records of their own that all name the same text: the first is whole, the
    // rest damaged and empty.
    std::vector<DbxRecord> same;
    for (int i = 0; i < 2000; ++i) {
        DbxRecord r;
        r.fields = {DbxField::direct(0x80, static_cast<std::uint32_t>(i)),
                    DbxField::direct(0x84, 0)};
        same.push_back(r);
    }
    same[0] = messageRecord(simpleMessage(0, "Subject: big\r\n\r\n" + std::string(big, 'x')));
    image = buildDbx(same);
    const std::int32_t text = image.layout.blocks[0][0];
    for (std::size_t r = 1; r < same.size(); ++r) {
        // the direct 0x84 entry is the second word after the record header
        const std::int32_t word = image.layout.records[r] + 12 + 4;
        image.putI32(word, (text << 8) | 0x84);
    }
    put("Inbox.dbx", image.bytes);
    const MessageList all = messages("Inbox.dbx");
    ASSERT_EQ(all.size(), same.size());
    FolderReader folder(store(), "Inbox.dbx");
    total = 0;
    std::size_t whole = 0;
    for (const auto& m : all) {
        ASSERT_EQ(m.dataOffset, text);
        const MessageText t = folder.read(m.dataOffset);
        total += t.text.size();
        whole += t.whole;
    }
    EXPECT_EQ(whole, 1u);
    EXPECT_LE(total, image.bytes.size());
    const CountingSource source(image.bytes);
    BlockClaims claims;
    for (const auto& m : all) readMessage(source, m.dataOffset, &claims);
    EXPECT_LE(source.read, 4 * image.bytes.size());
}

TEST_F(StoreTest, FolderReadsThroughTheWindowGiveWhatSingleReadsGive) {
    // Texts of every size around a block and past the largest read, a message
    // whose chain runs into another's blocks, and one whose chain leaves the file.
    std::vector<DbxRecord> records;
    for (std::size_t size : {1u, 511u, 512u, 513u, 5000u, 300000u, 1100000u, 40u}) {
        std::string text(size, 'x');
        for (std::size_t k = 0; k < size; k += 97) text[k] = static_cast<char>('a' + k % 26);
        records.push_back(messageRecord(simpleMessage(static_cast<int>(size), text)));
    }
    records.push_back(withBlocks({block("into another")}));  // next set below
    records.push_back(withBlocks({block("away")}));
    records.back().blocks[0].nextRaw = 0x7FFFFF00;
    DbxImage image = buildDbx(records);
    // The first of the two points at the third block of the 5000-byte text.
    const std::uint64_t nextAt = image.layout.blocks[8][0] + dbx::BlockNextAt;
    const auto target = static_cast<std::uint32_t>(image.layout.blocks[4][2]);
    for (int k = 0; k < 4; ++k) image.bytes[nextAt + k] = static_cast<std::uint8_t>(target >> (8 * k));
    const MemoryByteSource source(image.bytes);
    std::vector<std::int32_t> offsets;
    std::int64_t first = INT64_MAX, end = 0;  // where the blocks lie
    for (const auto& chain : image.layout.blocks) {
        offsets.push_back(chain.at(0));
        for (std::int32_t b : chain) {
            first = std::min<std::int64_t>(first, b);
            end = std::max<std::int64_t>(end, b + std::int64_t(dbx::BlockSize));
        }
    }

    // In file order, backwards, and the damaged ones first; sizes expected right,
    // none, too small and absurd.
    std::vector<std::vector<std::int32_t>> orders = {offsets, {offsets.rbegin(), offsets.rend()}};
    orders.push_back({offsets[8], offsets[9], offsets[4], offsets[0], offsets[6], offsets[5]});
    for (const std::uint32_t hint : {0u, 1u, 6000u, 0xFFFFFFFFu}) {
        for (const auto& order : orders) {
            BlockClaims alone, windowed;
            ChainWindow window;
            for (std::int32_t offset : order) {
                const MessageText expected = readMessage(source, offset, &alone);
                const MessageText got = readMessage(source, offset, &windowed, &window, hint);
                EXPECT_EQ(got.text, expected.text) << offset << " " << hint;
                EXPECT_EQ(got.whole, expected.whole) << offset << " " << hint;
                EXPECT_EQ(got.problem, expected.problem) << offset << " " << hint;
            }
        }
    }

    // Read in file order, no byte of the blocks is fetched twice (but for a block
    // cut at the end of a read, and the header).
    const CountingSource counted(image.bytes);
    BlockClaims claims;
    ChainWindow window;
    std::uint64_t textBytes = 0;
    for (std::int32_t offset : offsets)
        textBytes += readMessage(counted, offset, &claims, &window).text.size();
    EXPECT_GT(textBytes, 1400000u);
    EXPECT_LE(counted.read, static_cast<std::uint64_t>(end - first) + 16 * dbx::BlockSize);
}

TEST_F(StoreTest, FileNamesFromOtherCodePagesAreFoundInUtf8) {
    // Folders.dbx holds the names in the store's code page; the disk holds UTF-8.
    const std::vector<std::uint8_t> bytes = buildDbx(simpleMessages(1)).bytes;
    put("M\xC3\xBCller & S\xC3\xB6hne GmbH.dbx", bytes);
    put("\xD0\x92\xD1\x85\xD0\xBE\xD0\xB4\xD1\x8F\xD1\x89\xD0\xB8\xD0\xB5.dbx", bytes);  // Входящие
    put("raw-\xFC.dbx", bytes);  // copied without conversion
    const MailStore german(dir, CodePage::fromSetting("1252"));
    const MailStore russian(dir, CodePage::fromSetting("1251"));
    struct Case {
        const MailStore& store;
        std::string name;
        std::string found;  // empty: not there
    };
    const std::vector<Case> cases = {
        {german, "M\xFCller & S\xF6hne GmbH.dbx", "M\xC3\xBCller & S\xC3\xB6hne GmbH.dbx"},
        {german, "m\xFCller & s\xF6hne gmbh.DBX", "M\xC3\xBCller & S\xC3\xB6hne GmbH.dbx"},
        {german, "M\xDCLLER & S\xD6HNE GMBH.DBX", "M\xC3\xBCller & S\xC3\xB6hne GmbH.dbx"},
        {russian, "\xC2\xF5\xEE\xE4\xFF\xF9\xE8\xE5.dbx",
         "\xD0\x92\xD1\x85\xD0\xBE\xD0\xB4\xD1\x8F\xD1\x89\xD0\xB8\xD0\xB5.dbx"},
        {russian, "\xE2\xD5\xCE\xC4\xDF\xD9\xC8\xC5.dbx",  // ВХОДЯЩИЕ
         "\xD0\x92\xD1\x85\xD0\xBE\xD0\xB4\xD1\x8F\xD1\x89\xD0\xB8\xD0\xB5.dbx"},
        {german, "raw-\xFC.dbx", "raw-\xFC.dbx"},
        {german, "Gel\xF6schte Objekte.dbx", ""},
    };
    for (const auto& c : cases) {
        const std::string path = c.store.filePath(c.name);
        if (c.found.empty()) {
            // The path tried, in UTF-8, is what an open fails on and names.
            EXPECT_EQ(path, dir + "/Gel\xC3\xB6schte Objekte.dbx");
            try {
                c.store.readMessages(c.name);
                ADD_FAILURE() << "no error";
            } catch (const FileOpenError& e) {
                EXPECT_EQ(e.path(), path);
                EXPECT_EQ(e.errorNumber(), ENOENT);
            }
            continue;
        }
        EXPECT_EQ(path, dir + "/" + c.found) << c.name;
        EXPECT_EQ(c.store.readMessages(c.name).size(), 1u) << c.name;
    }
}

}  // namespace
}  // namespace lumbrook
