// Message texts from block chains, opening store files, the store root and paths.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "StoreTestSupport.h"
#include "base/Errors.h"

namespace lumbrook {
namespace {

TDbxRecord WithBlocks(std::vector<TDbxBlock> blocks) {
    TDbxRecord r;
    r.Fields = {TDbxField::DataOffset()};
    r.Blocks = std::move(blocks);
    return r;
}

TDbxBlock Block(std::string text, std::optional<std::int32_t> used = {}) {
    TDbxBlock b;
    b.Text = std::move(text);
    b.Used = used;
    return b;
}

std::string Pattern(std::size_t n, char seed) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + (seed + i) % 26);
    return s;
}

TEST_F(StoreTest, TextsComeBackWhole) {
    // Sizes around the block size, and a text of many blocks.
    for (std::size_t size : {1u, 511u, 512u, 513u, 1300u, 1024u, 200'000u}) {
        std::string text = Pattern(size, static_cast<char>(size % 26));
        TDbxMessage m = SimpleMessage(1, text);
        TDbxImage image = Put("Inbox.dbx", {MessageRecord(m)});
        TMessageList list = Messages("Inbox.dbx");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(ReadMessageText("Inbox.dbx", list[0].DataOffset), text) << size;
    }
    // 1,300 bytes in blocks of 512, 512 and 276.
    std::string text = Pattern(1300, 3);
    TDbxImage image =
        Put("Inbox.dbx", {WithBlocks({Block(text.substr(0, 512)), Block(text.substr(512, 512)),
                                      Block(text.substr(1024))})});
    ASSERT_EQ(image.Layout.Blocks[0].size(), 3u);
    EXPECT_EQ(image.GetI32(image.Layout.Blocks[0][2] + 8), 276);
    EXPECT_EQ(ReadMessageText("Inbox.dbx", image.Layout.Blocks[0][0]), text);

    // Blocks that do not follow each other in the file, in any order.
    std::vector<TDbxBlock> scattered = {Block("one "), Block("three "), Block("two ")};
    scattered[0].NextIndex = 2;
    scattered[2].NextIndex = 1;
    scattered[1].NextRaw = 0;
    scattered[1].GapBefore = 5000;
    scattered[2].GapBefore = 3;
    image = Put("Inbox.dbx", {WithBlocks(scattered)});
    EXPECT_EQ(ReadMessageText("Inbox.dbx", image.Layout.Blocks[0][0]), "one two three ");
}

TEST_F(StoreTest, BlockPiecesFollowUsedLengthAndZeroBytes) {
    const std::string full = Pattern(512, 0);
    std::string zeroAt100 = full;
    zeroAt100[100] = '\0';
    std::string zeroAt40 = full;
    zeroAt40[40] = '\0';
    struct TCase {
        const char* Name;
        std::vector<TDbxBlock> Blocks;
        std::string Expected;
    };
    const std::vector<TCase> cases = {
        {"used length above 512", {Block(full, 600), Block("next")}, full + "next"},
        {"used length far above 512", {Block(full, 0x7FFFFFFF)}, full},
        {"zero byte at 100", {Block(zeroAt100, 600)}, full.substr(0, 100)},
        {"zero byte at 40, next block follows",
         {Block(zeroAt40, 512), Block("tail")},
         full.substr(0, 40) + "tail"},
        {"zero byte at 0", {Block(std::string(1, '\0') + "x", 2), Block("b")}, "b"},
        {"used length shorter than the text",
         {Block(full, 10), Block("b")},
         full.substr(0, 10) + "b"},
        {"used length zero", {Block(full, 0), Block("b")}, "b"},
        {"used length negative", {Block(full, -1), Block("b")}, "b"},
    };
    for (const auto& c : cases) {
        TDbxImage image = Put("Inbox.dbx", {WithBlocks(c.Blocks)});
        EXPECT_EQ(ReadMessageText("Inbox.dbx", image.Layout.Blocks[0][0]), c.Expected) << c.Name;
    }
}

TEST_F(StoreTest, ChainsEndAtBreaksAndCycles) {
    struct TCase {
        const char* Name;
        std::vector<TDbxBlock> Blocks;
        std::string Expected;
    };
    auto next = [](TDbxBlock b, std::int32_t raw) {
        b.NextRaw = raw;
        return b;
    };
    auto nextIndex = [](TDbxBlock b, std::size_t i) {
        b.NextIndex = i;
        return b;
    };
    auto self = [](TDbxBlock b, std::int32_t s) {
        b.Self = s;
        return b;
    };
    const std::vector<TCase> cases = {
        {"self check fails in the middle", {Block("a"), self(Block("b"), 4), Block("c")}, "a"},
        {"cycle back to the first block", {Block("a"), nextIndex(Block("b"), 0)}, "ab"},
        {"block pointing at itself", {nextIndex(Block("a"), 0)}, "a"},
        {"next offset past the end of the file", {next(Block("a"), 0x7FFFFFF0)}, "a"},
        {"next offset negative", {next(Block("a"), -528), Block("b")}, "a"},
        {"next offset inside the same block", {next(Block("a"), 0x24BC + 16)}, "a"},
    };
    for (const auto& c : cases) {
        TDbxImage image = Put("Inbox.dbx", {TDbxRecord{}, WithBlocks(c.Blocks)});
        EXPECT_EQ(ReadMessageText("Inbox.dbx", image.Layout.Blocks[1][0]), c.Expected) << c.Name;
    }

    // A block that overlaps one already read ends the chain: here a block inside
    // the text of the first one, whose self check passes and which would add "yyyy".
    TDbxImage image = Put("Inbox.dbx", {WithBlocks({Block(std::string(512, 'x'))})});
    const std::int32_t first = image.Layout.Blocks[0][0];
    const std::int32_t inner = first + 16 + 256;
    image.PutI32(first + 12, inner);
    image.PutI32(inner, inner);
    image.PutI32(inner + 8, 4);
    image.PutI32(inner + 12, 0);
    for (int i = 0; i < 4; ++i) image.PutU8(inner + 16 + i, 'y');
    Put("Inbox.dbx", image.Bytes);
    std::string expected;
    for (int i = 0; i < 512 && image.Bytes[first + 16 + i] != 0; ++i)
        expected += static_cast<char>(image.Bytes[first + 16 + i]);
    EXPECT_EQ(ReadMessageText("Inbox.dbx", first), expected);
    EXPECT_EQ(expected.find('y'), std::string::npos);  // the inner block was not taken...
    image.PutI32(first + 12, 0);
    image.PutI32(first + 8, 0);
    Put("Inbox.dbx", image.Bytes);
    EXPECT_EQ(ReadMessageText("Inbox.dbx", inner), "yyyy");  // ...though it is a block

    // No data offset, or none that points at a block: empty, no file opened.
    EXPECT_EQ(ReadMessageText("Missing.dbx", 0), "");
    EXPECT_EQ(ReadMessageText("Missing.dbx", -1), "");
    EXPECT_EQ(ReadMessageText("Inbox.dbx", 0x7FFFFFFF), "");
    EXPECT_EQ(ReadMessageText("Inbox.dbx", 1), "");
}

TEST_F(StoreTest, TruncatedFilesGiveWhatIsThere) {
    const std::string text = Pattern(1300, 7);
    TDbxImage sound = BuildDbx({MessageRecord(SimpleMessage(1, text))});
    const auto& blocks = sound.Layout.Blocks[0];
    struct TCase {
        std::size_t Size;
        std::string Expected;
    };
    const std::vector<TCase> cases = {
        {std::size_t(blocks[2]) + 16 + 100, text.substr(0, 1124)},  // third block's text cut
        {std::size_t(blocks[2]) + 15, text.substr(0, 1024)},        // third block's header cut
        {std::size_t(blocks[1]) + 2, text.substr(0, 512)},
        {std::size_t(blocks[0]), ""},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes(sound.Bytes.begin(), sound.Bytes.begin() + c.Size);
        Put("Inbox.dbx", bytes);
        EXPECT_EQ(ReadMessageText("Inbox.dbx", blocks[0]), c.Expected) << c.Size;
        EXPECT_TRUE(Messages("Inbox.dbx").empty());  // the index nodes are gone
    }
}

TEST_F(StoreTest, LargeFilesUseTheInt32DataOffset) {
    // Blocks beyond 16 MB cannot be named by a 24-bit direct value: the writer
    // stores the offset as an int32 entry 0x04, as real big folders do.
    TDbxRecord r = MessageRecord(SimpleMessage(1, "far away"));
    r.Text.reset();
    TDbxBlock far = Block("far away");
    far.GapBefore = 17 * 1024 * 1024;
    r.Blocks = {far};
    TDbxImage image = Put("Inbox.dbx", {r});
    TMessageList list = Messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_GT(list[0].DataOffset, 0xFFFFFF);
    EXPECT_EQ(ReadMessageText("Inbox.dbx", list[0].DataOffset), "far away");
}

TEST_F(StoreTest, FilesThatCannotBeOpened) {
    // The message of the EFOpenError that Read throws, or "" when it throws none.
    auto openError = [](const std::function<void()>& Read) -> std::string {
        try {
            Read();
        } catch (const EFOpenError& e) {
            return e.what();
        }
        return "";
    };
    auto expectOpenError = [&](const std::string& name, const std::string& path) {
        const std::string message = "Datei " + path + " kann nicht geöffnet werden";
        TFolderList folders;
        TMessageList messages;
        if (name == "folders.dbx") {
            EXPECT_EQ(openError([&] { ReadIndexFile(name, folders); }), message);
            return;
        }
        EXPECT_EQ(openError([&] { ReadIndexFile(name, messages); }), message);
        EXPECT_EQ(openError([&] { ReadMessageText(name, 0x24BC); }), message);
    };
    expectOpenError("Missing.dbx", Dir + "/Missing.dbx");
    std::filesystem::create_directory(Dir + "/Folder.dbx");
    expectOpenError("Folder.dbx", Dir + "/Folder.dbx");
    ASSERT_EQ(::mkfifo((Dir + "/Pipe.dbx").c_str(), 0600), 0);
    expectOpenError("Pipe.dbx", Dir + "/Pipe.dbx");  // must not hang either
    expectOpenError("folders.dbx", Dir + "/folders.dbx");

    if (::geteuid() != 0) {  // root reads anything
        Put("Locked.dbx", BuildDbx(SimpleMessages(1)).Bytes);
        ASSERT_EQ(::chmod((Dir + "/Locked.dbx").c_str(), 0), 0);
        expectOpenError("Locked.dbx", Dir + "/Locked.dbx");
    }

    // A read-only file reads fine.
    Put("Inbox.dbx", BuildDbx(SimpleMessages(2)).Bytes);
    ASSERT_EQ(::chmod((Dir + "/Inbox.dbx").c_str(), 0444), 0);
    EXPECT_EQ(Messages("Inbox.dbx").size(), 2u);
}

TEST_F(StoreTest, StoreFilesAreNeverChanged) {
    std::vector<TDbxRecord> records = SimpleMessages(60);
    records.push_back(MessageRecord(SimpleMessage(60, Pattern(5000, 1))));
    TDbxImage image = Put("Inbox.dbx", records);
    Put("Folders.dbx", {FolderRecord({1, {}, "Inbox", "Inbox.dbx", true})}, FolderFileOptions());
    const std::string paths[] = {Dir + "/Inbox.dbx", Dir + "/Folders.dbx"};

    // An old modification time, so that any write would show.
    struct timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    struct stat before[2];
    std::vector<std::string> contents;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(::utimensat(AT_FDCWD, paths[i].c_str(), times, 0), 0);
        ASSERT_EQ(::stat(paths[i].c_str(), &before[i]), 0);
        std::ifstream in(paths[i], std::ios::binary);
        contents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    for (const auto& m : Messages("Inbox.dbx")) ReadMessageText("Inbox.dbx", m.DataOffset);
    Folders();

    for (int i = 0; i < 2; ++i) {
        struct stat after;
        ASSERT_EQ(::stat(paths[i].c_str(), &after), 0);
        EXPECT_EQ(after.st_mtim.tv_sec, before[i].st_mtim.tv_sec);
        EXPECT_EQ(after.st_mtim.tv_nsec, before[i].st_mtim.tv_nsec);
        EXPECT_EQ(after.st_ctim.tv_sec, before[i].st_ctim.tv_sec);
        EXPECT_EQ(after.st_ctim.tv_nsec, before[i].st_ctim.tv_nsec);
        EXPECT_EQ(after.st_size, before[i].st_size);
        std::ifstream in(paths[i], std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
                  contents[i]);
    }
    // Nothing new in the store directory (no lock or journal files).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(StoreTest, StoreFilePaths) {
    Put("Folders.dbx", std::vector<std::uint8_t>{});
    Put("Inbox.dbx", std::vector<std::uint8_t>{});
    Put("inbox.dbx", std::vector<std::uint8_t>{});
    EXPECT_EQ(StoreFilePath("folders.dbx"), Dir + "/Folders.dbx");
    EXPECT_EQ(StoreFilePath("FOLDERS.DBX"), Dir + "/Folders.dbx");
    EXPECT_EQ(StoreFilePath("inbox.dbx"), Dir + "/inbox.dbx");  // an exact match wins
    EXPECT_EQ(StoreFilePath("Inbox.dbx"), Dir + "/Inbox.dbx");
    EXPECT_EQ(StoreFilePath("Missing.dbx"), Dir + "/Missing.dbx");

    SetStoreRootOverride(Dir + "/");
    EXPECT_EQ(StoreFilePath("folders.dbx"), Dir + "/Folders.dbx");
    SetStoreRootOverride(std::string());
    EXPECT_EQ(StoreFilePath("folders.dbx"), "/folders.dbx");
}

TEST_F(StoreTest, StoreRootOverrideWinsAndRegistryIsReadAfresh) {
    EXPECT_EQ(GetStoreRoot(), Dir);

    // Without an override the current user's registry decides, read anew each time.
    const std::string reg = Dir + "/user.reg";
    auto writeRegistry = [&](const std::string& root) {
        std::ofstream out(reg);
        out << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n"
            << "\"Store Root\"=\"" << root << "\"\n";
    };
    const char* old = std::getenv("LUMBROOK_REGISTRY");
    std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("LUMBROOK_REGISTRY", reg.c_str(), 1);
    SetStoreRootOverride(std::nullopt);
    writeRegistry("/first/store");
    EXPECT_EQ(GetStoreRoot(), "/first/store");
    writeRegistry("/second/store");
    EXPECT_EQ(GetStoreRoot(), "/second/store");
    EXPECT_EQ(StoreFilePath("folders.dbx"), "/second/store/folders.dbx");

    SetStoreRootOverride(Dir);
    EXPECT_EQ(GetStoreRoot(), Dir);
    if (saved)
        ::setenv("LUMBROOK_REGISTRY", saved->c_str(), 1);
    else
        ::unsetenv("LUMBROOK_REGISTRY");
}

}  // namespace
}  // namespace lumbrook
