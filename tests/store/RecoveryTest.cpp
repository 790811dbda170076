#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store/Recovery.h"
#include "store/DbxReader.h"
#include "store/StoreFile.h"
#include "base/Errors.h"
#include "tests/support/DbxImageBuilder.h"

namespace lumbrook {
namespace {

using Kind = RecoveredMessage::Kind;

// A message text of about size bytes: header lines, then body lines of words, so
// that no block after the first opens like a header line.
std::string messageText(const std::string& subject, std::size_t size) {
    std::string text = "Received: from mail.example.org by pop.example.net\r\n"
                       "From: Anna Berg <anna@example.org>\r\n"
                       "To: bob@example.net\r\n"
                       "Subject: " + subject + "\r\n"
                       "Date: Tue, 4 Mar 2003 10:11:12 +0100\r\n\r\n";
    for (int line = 0; text.size() < size; ++line)
        text += "line " + std::to_string(line) + " of " + subject + " and some more words\r\n";
    text.resize(size);
    return text;
}

RecoveryScan scan(const DbxImageBuilder& image, std::vector<std::uint64_t> listed = {},
                  std::size_t window = 4u << 20) {
    ScanOptions options;
    options.windowSize = window;
    return scanForMessages(MemoryByteSource(image.bytes()), listed, options);
}

std::string textOf(const DbxImageBuilder& image, const RecoveredMessage& m) {
    return readRecoveredText(MemoryByteSource(image.bytes()), m);
}

TEST(Recovery, FindsDeletedAndOrphanedMessagesButNotListedOnes) {
    DbxImageBuilder image;
    const std::string listedText = messageText("listed", 1500);
    const std::string deletedText = messageText("gone", 700);
    const std::string orphanText = messageText("orphan", 300);
    const std::string shortText = messageText("short", 100);
    const auto listed = image.addLive(listedText);
    image.appendGarbage(1000, 1);
    const auto deleted = image.addDeleted(deletedText);
    const auto orphan = image.addLive(orphanText);
    image.appendGarbage(77, 2);
    const auto deletedShort = image.addDeleted(shortText);

    const RecoveryScan found = scan(image, {listed});
    EXPECT_EQ(found.listedFound, 1u);
    EXPECT_EQ(found.freeListHead, deleted);
    EXPECT_TRUE(found.freeListHeadFound);
    ASSERT_EQ(found.messages.size(), 3u);

    struct Expected {
        Kind kind;
        std::uint64_t offset;
        std::string text;
        std::uint64_t lost;
    };
    const Expected expected[] = {
        {Kind::Deleted, deleted, DbxImageBuilder::deletedTextOf(deletedText), 8},
        {Kind::Orphaned, orphan, orphanText, 0},
        {Kind::Deleted, deletedShort, DbxImageBuilder::deletedTextOf(shortText), 4},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const RecoveredMessage& m = found.messages[i];
        EXPECT_EQ(m.kind, expected[i].kind);
        EXPECT_EQ(m.dataOffset, expected[i].offset);
        EXPECT_EQ(m.lostBytes, expected[i].lost);
        EXPECT_TRUE(m.complete);
        EXPECT_EQ(m.size, expected[i].text.size());
        EXPECT_EQ(textOf(image, m), expected[i].text);
        EXPECT_EQ(readTextAt(MemoryByteSource(image.bytes()), m.dataOffset), expected[i].text);
    }
    // "Received" lost its first four bytes; the fields below are whole.
    EXPECT_EQ(textOf(image, found.messages[0]).substr(0, 12), "????ived: fr");
    const auto headers = readRecoveredHeaders(MemoryByteSource(image.bytes()), found.messages[0]);
    EXPECT_EQ(headers.from, "Anna Berg <anna@example.org>");
    EXPECT_EQ(headers.subject, "gone");

    // Every chain the index lists is left out; without an index all are reported.
    EXPECT_EQ(scan(image, {listed, orphan}).messages.size(), 2u);
    EXPECT_EQ(scan(image).messages.size(), 4u);
    // An index entry pointing at a deleted block does not hide it.
    EXPECT_EQ(scan(image, {listed, deleted}).messages.size(), 3u);
}

TEST(Recovery, ChainCutShortKeepsItsBytesAndSaysSo) {
    struct Case {
        const char* name;
        bool deleted;
        std::size_t cutInSecondBlock;  // bytes of the second block left in the file
        ChainEnd end;
    };
    const Case cases[] = {
        {"live, cut in the data", false, 200, ChainEnd::FileEnds},
        {"live, cut in the header", false, 8, ChainEnd::OutsideFile},
        {"live, cut at the block", false, 0, ChainEnd::OutsideFile},
        {"deleted, cut in the data", true, 300, ChainEnd::FileEnds},
        {"deleted, cut in the previous field", true, 18, ChainEnd::MissingBlock},
        {"deleted, cut at the block", true, 0, ChainEnd::OutsideFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DbxImageBuilder image;
        const std::string text = messageText("cut", 1400);
        const auto first = c.deleted ? image.addDeleted(text) : image.addLive(text);
        const std::size_t cutAt = first + DbxImageBuilder::BlockSize + c.cutInSecondBlock;
        const std::vector<std::uint8_t> cut(image.bytes().begin(), image.bytes().begin() + cutAt);
        const MemoryByteSource source(cut);

        const RecoveryScan found = scanForMessages(source, {});
        ASSERT_EQ(found.messages.size(), 1u);
        const RecoveredMessage& m = found.messages[0];
        EXPECT_FALSE(m.complete);
        EXPECT_EQ(m.end, c.end);
        const std::string whole = c.deleted ? DbxImageBuilder::deletedTextOf(text) : text;
        std::size_t kept = 512;
        // A deleted block's four lost bytes count as text; its data starts 4 bytes later.
        if (c.end == ChainEnd::FileEnds) kept += c.cutInSecondBlock - 16;
        EXPECT_EQ(readRecoveredText(source, m), whole.substr(0, kept));
        EXPECT_EQ(describeChainAt(source, first)->end, c.end);
    }
}

TEST(Recovery, FileWithoutItsFirst64KiB) {
    DbxImageBuilder image;
    image.appendGarbage(50000, 3);
    const std::string spanning = messageText("across the cut", 12000);
    const std::string after = messageText("after the cut", 2000);
    const std::string deletedText = messageText("deleted after the cut", 900);
    const auto spanningAt = image.addLive(spanning);
    const auto afterAt = image.addLive(after);
    const auto deletedAt = image.addDeleted(deletedText);
    constexpr std::size_t Lost = 64 * 1024;
    ASSERT_LT(spanningAt, Lost);
    const std::vector<std::uint8_t> rest(image.bytes().begin() + Lost, image.bytes().end());
    const MemoryByteSource source(rest);

    const RecoveryScan found = scanForMessages(source, {});
    ASSERT_EQ(found.messages.size(), 3u);
    const RecoveredMessage& tail = found.messages[0];
    EXPECT_EQ(tail.kind, Kind::Orphaned);
    EXPECT_EQ(tail.shift, std::int64_t(Lost));
    EXPECT_FALSE(tail.startsLikeMessage);
    EXPECT_FALSE(tail.complete);  // its start is in the lost part
    const std::size_t tailStart = (Lost - spanningAt + 527) / 528 * 528;
    EXPECT_EQ(readRecoveredText(source, tail), spanning.substr(tailStart / 528 * 512));

    EXPECT_EQ(found.messages[1].dataOffset, afterAt - Lost);
    EXPECT_TRUE(found.messages[1].complete);
    EXPECT_EQ(readRecoveredText(source, found.messages[1]), after);
    EXPECT_EQ(found.messages[2].kind, Kind::Deleted);
    EXPECT_EQ(found.messages[2].dataOffset, deletedAt - Lost);
    EXPECT_TRUE(found.messages[2].complete);
    EXPECT_EQ(readRecoveredText(source, found.messages[2]), DbxImageBuilder::deletedTextOf(deletedText));
}

TEST(Recovery, CyclesAndSharedBlocksEndChainsIncomplete) {
    DbxImageBuilder image;
    const std::string head = messageText("ring", 512);
    const std::string body(512, 'b');
    auto u32 = [](std::uint64_t v) { return static_cast<std::uint32_t>(v); };

    // start -> a -> b -> a: the chain ends where it comes back.
    const auto rho = image.reserveBlocks(3);
    image.putLiveBlock(rho[0], u32(rho[0]), 512, u32(rho[1]), head);
    image.putLiveBlock(rho[1], u32(rho[1]), 512, u32(rho[2]), body);
    image.putLiveBlock(rho[2], u32(rho[2]), 512, u32(rho[1]), body);
    // x -> y -> x, with no start: still reported.
    const auto ring = image.reserveBlocks(2);
    image.putLiveBlock(ring[0], u32(ring[0]), 512, u32(ring[1]), body);
    image.putLiveBlock(ring[1], u32(ring[1]), 512, u32(ring[0]), body);
    // c -> shared and d -> shared: the first chain keeps the block.
    const auto two = image.reserveBlocks(3);
    image.putLiveBlock(two[0], u32(two[0]), 512, u32(two[2]), head);
    image.putLiveBlock(two[1], u32(two[1]), 512, u32(two[2]), head);
    image.putLiveBlock(two[2], u32(two[2]), 10, 0, "end\r\n.....");

    const RecoveryScan found = scan(image);
    ASSERT_EQ(found.messages.size(), 4u);
    const RecoveredMessage& rhoChain = found.messages[0];
    EXPECT_EQ(rhoChain.end, ChainEnd::Cycle);
    EXPECT_EQ(rhoChain.blockCount, 3u);
    EXPECT_FALSE(rhoChain.complete);
    EXPECT_EQ(textOf(image, rhoChain), head + body + body);
    const RecoveredMessage& ringChain = found.messages[1];
    EXPECT_EQ(ringChain.dataOffset, ring[0]);
    EXPECT_EQ(ringChain.end, ChainEnd::Cycle);
    EXPECT_EQ(ringChain.blockCount, 2u);
    EXPECT_FALSE(ringChain.complete);
    EXPECT_EQ(found.messages[2].dataOffset, two[0]);
    EXPECT_TRUE(found.messages[2].complete);
    EXPECT_EQ(textOf(image, found.messages[2]), head + "end\r\n.....");
    EXPECT_EQ(found.messages[3].dataOffset, two[1]);
    EXPECT_EQ(found.messages[3].end, ChainEnd::SharedBlock);
    EXPECT_FALSE(found.messages[3].complete);
    EXPECT_EQ(textOf(image, found.messages[3]), head);

    const auto alone = describeChainAt(MemoryByteSource(image.bytes()), rho[0]);
    ASSERT_TRUE(alone.has_value());
    EXPECT_EQ(alone->end, ChainEnd::Cycle);
    EXPECT_EQ(alone->blockCount, 3u);
}

TEST(Recovery, GarbageThatLooksLikeHeadersStaysBounded) {
    DbxImageBuilder image;
    image.appendGarbage(1 << 20, 4);
    // A live header every 12 bytes: first each with a shift of its own, then each
    // naming its own position and pointing at the next.
    const auto dense = static_cast<std::uint32_t>(image.size());
    for (std::uint32_t pos = dense; pos < dense + 720000; pos += 12) {
        image.putU32(pos, pos < dense + 360000 ? 0x10000 : pos);
        image.putU32(pos + 4, 0x200);
        image.putU32(pos + 8, 0x100);
    }
    // Random headers with random fields.
    image.appendGarbage(1 << 20, 5);
    for (std::uint64_t pos = image.size() - (1 << 20); pos < image.size(); pos += 4096) {
        image.putU32(pos + 4, (pos & 4096) ? 0x200 : 0x1FC);
        image.putU32(pos + 8, (pos & 4096) ? 0x80 : 0x210);
        image.putU32(pos + 12, static_cast<std::uint32_t>(pos * 7) & ~3u);
    }
    const std::string real = messageText("among garbage", 3000);
    const auto realAt = image.addLive(real);
    image.appendGarbage(999, 6);

    const RecoveryScan found = scan(image);
    EXPECT_GT(found.ignoredBlocks, 0u);  // the lone shifted headers were seen and set aside
    EXPECT_LE(found.liveBlocks + found.deletedBlocks + found.ignoredBlocks, image.size() / 528 + 1);
    std::uint64_t total = 0;
    bool realFound = false;
    for (const RecoveredMessage& m : found.messages) {
        EXPECT_EQ(textOf(image, m).size(), m.size);
        total += m.size;
        if (m.dataOffset == realAt) {
            realFound = true;
            EXPECT_TRUE(m.complete);
            EXPECT_EQ(textOf(image, m), real);
        }
    }
    EXPECT_TRUE(realFound);
    EXPECT_LE(total, image.size());

    // The window the file is read through changes nothing.
    const RecoveryScan small = scan(image, {}, 4096);
    ASSERT_EQ(small.messages.size(), found.messages.size());
    for (std::size_t i = 0; i < found.messages.size(); ++i) {
        EXPECT_EQ(small.messages[i].dataOffset, found.messages[i].dataOffset);
        EXPECT_EQ(small.messages[i].size, found.messages[i].size);
        EXPECT_EQ(small.messages[i].end, found.messages[i].end);
    }
}

TEST(Recovery, HeaderFieldsAreUnfoldedAndTheFirstOneCounts) {
    struct Case {
        const char* text;
        RecoveredMessageHeaders expected;
    };
    const Case cases[] = {
        {"FROM: a@b\r\nsubject: Hello\r\n\tworld\r\n to all\r\nDate: today\r\nTo: c@d\r\n\r\n",
         {"a@b", "c@d", "Hello\tworld to all", "today"}},
        {"Subject: first\r\nSubject: second\r\nX-From: no\r\n\r\nFrom: body@x\r\n",
         {"", "", "first", ""}},
        {"????ived: x\nFrom:  spaced  \nTo:\n folded only\n", {"spaced", "folded only", "", ""}},
        {"no header at all", {"", "", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto h = parseRecoveredHeaders(c.text);
        EXPECT_EQ(h.from, c.expected.from);
        EXPECT_EQ(h.to, c.expected.to);
        EXPECT_EQ(h.subject, c.expected.subject);
        EXPECT_EQ(h.date, c.expected.date);
    }
    const auto decoded = parseRecoveredHeaders("Subject: =?x?Q?y?=\r\n\r\n",
                                               [](std::string_view raw) { return "[" + std::string(raw) + "]"; });
    EXPECT_EQ(decoded.subject, "[=?x?Q?y?=]");
    EXPECT_EQ(decoded.from, "");
}

TEST(Recovery, FileSourceReadsWithoutChangingTheFile) {
    DbxImageBuilder image;
    image.addDeleted(messageText("on disk", 5000));
    const std::string bytes(image.bytes().begin(), image.bytes().end());
    const auto dir = std::filesystem::temp_directory_path() / ("lumbrook-recovery-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "Inbox.dbx";
    std::ofstream(path, std::ios::binary) << bytes;
    {
        const StoreFile file(path.string());
        const RecoveryScan found = scanForMessages(file, {});
        ASSERT_EQ(found.messages.size(), 1u);
        EXPECT_EQ(readRecoveredText(file, found.messages[0]), textOf(image, scan(image).messages[0]));
    }
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
    try {
        StoreFile missing((dir / "Missing.dbx").string());
        ADD_FAILURE() << "a missing file opened";
    } catch (const FileOpenError& e) {
        EXPECT_EQ(e.path(), (dir / "Missing.dbx").string());
    }
    EXPECT_THROW(StoreFile{dir.string()}, FileOpenError);
    std::filesystem::remove_all(dir);
}

// The real stores: every text reads back as counted, and the one message lying
// outside its index (blocks copied 32 KB down, left behind by a compaction) is found.
TEST(Recovery, RealSamples) {
    const std::filesystem::path root = LUMBROOK_SAMPLES_DIR;
    if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "no samples in " << root;
    bool sawFreeSpaceMessage = false;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".dbx" || entry.path().filename() == "Folders.dbx") continue;
        SCOPED_TRACE(entry.path().string());
        const StoreFile file(entry.path().string());
        std::vector<std::uint64_t> listed;
        for (const auto& record : readMessageIndex(file))
            if (record.dataOffset > 0) listed.push_back(std::uint64_t(record.dataOffset));
        const RecoveryScan found = scanForMessages(file, listed);
        EXPECT_EQ(found.listedFound, listed.size());
        for (const RecoveredMessage& m : found.messages) {
            EXPECT_EQ(readRecoveredText(file, m).size(), m.size);
            const auto headers = readRecoveredHeaders(file, m);
            if (headers.from == "noreply@freshmeat.net") {
                sawFreeSpaceMessage = true;
                EXPECT_TRUE(m.complete);
                EXPECT_EQ(m.shift, 32768);
                EXPECT_EQ(headers.subject, "[fmII] centericq 4.7.5 released (Default branch)");
            }
        }
    }
    if (std::filesystem::exists(root / "Mail-Transport-Dbx/test.dbx")) {
        EXPECT_TRUE(sawFreeSpaceMessage);
    }
}

}  // namespace
}  // namespace lumbrook
