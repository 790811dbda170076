// Message texts from block chains, opening store files, the store root and paths.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>
#include <vector>

#include "StoreTestSupport.h"
#include "tests/platform/PlatformTestSupport.h"
#include "base/Errors.h"

namespace lumbrook {
namespace {

std::string pattern(std::size_t n, char seed) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + (seed + i) % 26);
    return s;
}

TEST_F(StoreTest, TextsComeBackWhole) {
    // Sizes around the block size, and a text of many blocks.
    for (std::size_t size : {1u, 511u, 512u, 513u, 1300u, 1024u, 200'000u}) {
        std::string text = pattern(size, static_cast<char>(size % 26));
        DbxMessage m = simpleMessage(1, text);
        DbxImage image = put("Inbox.dbx", {messageRecord(m)});
        MessageList list = messages("Inbox.dbx");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(readMessageText("Inbox.dbx", list[0].dataOffset), text) << size;
    }
    // 1,300 bytes in blocks of 512, 512 and 276.
    std::string text = pattern(1300, 3);
    DbxImage image =
        put("Inbox.dbx", {withBlocks({block(text.substr(0, 512)), block(text.substr(512, 512)),
                                      block(text.substr(1024))})});
    ASSERT_EQ(image.layout.blocks[0].size(), 3u);
    EXPECT_EQ(image.getI32(image.layout.blocks[0][2] + 8), 276);
    EXPECT_EQ(readMessageText("Inbox.dbx", image.layout.blocks[0][0]), text);

    // Blocks that do not follow each other in the file, in any order.
    std::vector<DbxBlock> scattered = {block("one "), block("three "), block("two ")};
    scattered[0].nextIndex = 2;
    scattered[2].nextIndex = 1;
    scattered[1].nextRaw = 0;
    scattered[1].gapBefore = 5000;
    scattered[2].gapBefore = 3;
    image = put("Inbox.dbx", {withBlocks(scattered)});
    EXPECT_EQ(readMessageText("Inbox.dbx", image.layout.blocks[0][0]), "one two three ");
}

TEST_F(StoreTest, BlockPiecesFollowUsedLengthAndZeroBytes) {
    const std::string full = pattern(512, 0);
    std::string zeroAt100 = full;
    zeroAt100[100] = '\0';
    std::string zeroAt40 = full;
    zeroAt40[40] = '\0';
    struct Case {
        const char* name;
        std::vector<DbxBlock> blocks;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"used length above 512", {block(full, 600), block("next")}, full + "next"},
        {"used length far above 512", {block(full, 0x7FFFFFFF)}, full},
        {"zero byte at 100", {block(zeroAt100, 600)}, full.substr(0, 100)},
        {"zero byte at 40, next block follows",
         {block(zeroAt40, 512), block("tail")},
         full.substr(0, 40) + "tail"},
        {"zero byte at 0", {block(std::string(1, '\0') + "x", 2), block("b")}, "b"},
        {"used length shorter than the text",
         {block(full, 10), block("b")},
         full.substr(0, 10) + "b"},
        {"used length zero", {block(full, 0), block("b")}, "b"},
        {"used length negative", {block(full, -1), block("b")}, "b"},
    };
    for (const auto& c : cases) {
        DbxImage image = put("Inbox.dbx", {withBlocks(c.blocks)});
        EXPECT_EQ(readMessageText("Inbox.dbx", image.layout.blocks[0][0]), c.expected) << c.name;
    }
}

TEST_F(StoreTest, ChainsEndAtBreaksAndCycles) {
    struct Case {
        const char* name;
        std::vector<DbxBlock> blocks;
        std::string expected;
    };
    const auto next = withNext;
    const auto nextIndex = withNextIndex;
    const auto self = withSelf;
    const std::vector<Case> cases = {
        {"self check fails in the middle", {block("a"), self(block("b"), 4), block("c")}, "a"},
        {"cycle back to the first block", {block("a"), nextIndex(block("b"), 0)}, "ab"},
        {"block pointing at itself", {nextIndex(block("a"), 0)}, "a"},
        {"next offset past the end of the file", {next(block("a"), 0x7FFFFFF0)}, "a"},
        {"next offset negative", {next(block("a"), -528), block("b")}, "a"},
        {"next offset inside the same block", {next(block("a"), 0x24BC + 16)}, "a"},
    };
    for (const auto& c : cases) {
        DbxImage image = put("Inbox.dbx", {DbxRecord{}, withBlocks(c.blocks)});
        EXPECT_EQ(readMessageText("Inbox.dbx", image.layout.blocks[1][0]), c.expected) << c.name;
    }

    // A block that overlaps one already read ends the chain: here a block inside
    // the text of the first one, whose self check passes and which would add "yyyy".
    DbxImage image = put("Inbox.dbx", {withBlocks({block(std::string(512, 'x'))})});
    const std::int32_t first = image.layout.blocks[0][0];
    const std::int32_t inner = first + 16 + 256;
    image.putI32(first + 12, inner);
    image.putI32(inner, inner);
    image.putI32(inner + 8, 4);
    image.putI32(inner + 12, 0);
    for (int i = 0; i < 4; ++i) image.putU8(inner + 16 + i, 'y');
    put("Inbox.dbx", image.bytes);
    std::string expected;
    for (int i = 0; i < 512 && image.bytes[first + 16 + i] != 0; ++i)
        expected += static_cast<char>(image.bytes[first + 16 + i]);
    EXPECT_EQ(readMessageText("Inbox.dbx", first), expected);
    EXPECT_EQ(expected.find('y'), std::string::npos);  // the inner block was not taken...
    image.putI32(first + 12, 0);
    image.putI32(first + 8, 0);
    put("Inbox.dbx", image.bytes);
    EXPECT_EQ(readMessageText("Inbox.dbx", inner), "yyyy");  // ...though it is a block

    // No data offset, or none that points at a block: empty, no file opened.
    EXPECT_EQ(readMessageText("Missing.dbx", 0), "");
    EXPECT_EQ(readMessageText("Missing.dbx", -1), "");
    EXPECT_EQ(readMessageText("Inbox.dbx", 0x7FFFFFFF), "");
    EXPECT_EQ(readMessageText("Inbox.dbx", 1), "");
}

TEST_F(StoreTest, TruncatedFilesGiveWhatIsThere) {
    const std::string text = pattern(1300, 7);
    DbxImage sound = buildDbx({messageRecord(simpleMessage(1, text))});
    const auto& blocks = sound.layout.blocks[0];
    struct Case {
        std::size_t size;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {std::size_t(blocks[2]) + 16 + 100, text.substr(0, 1124)},  // third block's text cut
        {std::size_t(blocks[2]) + 15, text.substr(0, 1024)},        // third block's header cut
        {std::size_t(blocks[1]) + 2, text.substr(0, 512)},
        {std::size_t(blocks[0]), ""},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes(sound.bytes.begin(), sound.bytes.begin() + c.size);
        put("Inbox.dbx", bytes);
        EXPECT_EQ(readMessageText("Inbox.dbx", blocks[0]), c.expected) << c.size;
        EXPECT_TRUE(messages("Inbox.dbx").empty());  // the index nodes are gone
    }
}

TEST_F(StoreTest, LargeFilesUseTheInt32DataOffset) {
    // Blocks beyond 16 MB cannot be named by a 24-bit direct value: the writer
    // stores the offset as an int32 entry 0x04, as real big folders do.
    DbxRecord r = messageRecord(simpleMessage(1, "far away"));
    r.text.reset();
    DbxBlock far = block("far away");
    far.gapBefore = 17 * 1024 * 1024;
    r.blocks = {far};
    DbxImage image = put("Inbox.dbx", {r});
    MessageList list = messages("Inbox.dbx");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_GT(list[0].dataOffset, 0xFFFFFF);
    EXPECT_EQ(readMessageText("Inbox.dbx", list[0].dataOffset), "far away");
}

TEST_F(StoreTest, FilesThatCannotBeOpened) {
    // The path of the FileOpenError that read throws, or "" when it throws none.
    auto openError = [](const std::function<void()>& read) -> std::string {
        try {
            read();
        } catch (const FileOpenError& e) {
            return e.path();
        }
        return "";
    };
    auto expectOpenError = [&](const std::string& name, const std::string& path) {
        if (name == "folders.dbx") {
            EXPECT_EQ(openError([&] { folders(); }), path);
            return;
        }
        EXPECT_EQ(openError([&] { messages(name); }), path);
        EXPECT_EQ(openError([&] { readMessageText(name, 0x24BC); }), path);
    };
    expectOpenError("Missing.dbx", dir + "/Missing.dbx");
    std::filesystem::create_directory(dir + "/Folder.dbx");
    expectOpenError("Folder.dbx", dir + "/Folder.dbx");
    ASSERT_EQ(::mkfifo((dir + "/Pipe.dbx").c_str(), 0600), 0);
    expectOpenError("Pipe.dbx", dir + "/Pipe.dbx");  // must not hang either
    expectOpenError("folders.dbx", dir + "/folders.dbx");

    if (::geteuid() != 0) {  // root reads anything
        put("Locked.dbx", buildDbx(simpleMessages(1)).bytes);
        ASSERT_EQ(::chmod((dir + "/Locked.dbx").c_str(), 0), 0);
        expectOpenError("Locked.dbx", dir + "/Locked.dbx");
    }

    // A read-only file reads fine.
    put("Inbox.dbx", buildDbx(simpleMessages(2)).bytes);
    ASSERT_EQ(::chmod((dir + "/Inbox.dbx").c_str(), 0444), 0);
    EXPECT_EQ(messages("Inbox.dbx").size(), 2u);
}

TEST_F(StoreTest, StoreFilesAreNeverChanged) {
    std::vector<DbxRecord> records = simpleMessages(60);
    records.push_back(messageRecord(simpleMessage(60, pattern(5000, 1))));
    DbxImage image = put("Inbox.dbx", records);
    put("Folders.dbx", {folderRecord({1, {}, "Inbox", "Inbox.dbx", true})}, folderFileOptions());
    const std::string paths[] = {dir + "/Inbox.dbx", dir + "/Folders.dbx"};

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

    for (const auto& m : messages("Inbox.dbx")) readMessageText("Inbox.dbx", m.dataOffset);
    folders();

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
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(StoreTest, StoreFilePaths) {
    put("Folders.dbx", std::vector<std::uint8_t>{});
    put("Inbox.dbx", std::vector<std::uint8_t>{});
    put("inbox.dbx", std::vector<std::uint8_t>{});
    EXPECT_EQ(store().filePath("folders.dbx"), dir + "/Folders.dbx");
    EXPECT_EQ(store().filePath("FOLDERS.DBX"), dir + "/Folders.dbx");
    EXPECT_EQ(store().filePath("inbox.dbx"), dir + "/inbox.dbx");  // an exact match wins
    EXPECT_EQ(store().filePath("Inbox.dbx"), dir + "/Inbox.dbx");
    EXPECT_EQ(store().filePath("Missing.dbx"), dir + "/Missing.dbx");

    EXPECT_EQ(MailStore(dir + "/").filePath("folders.dbx"), dir + "/Folders.dbx");
    EXPECT_EQ(MailStore("").filePath("folders.dbx"), "/folders.dbx");
}

// The folder list is data: whoever wrote it must not get a file outside the store
// read, whether by its name or by a link planted in the store directory.
TEST_F(StoreTest, FilesOutsideTheStoreDirectoryAreRefusedAndNeverRead) {
    const std::string storeDir = dir + "/store";
    const std::string secret = dir + "/private/Secret.dbx";
    ASSERT_TRUE(std::filesystem::create_directories(storeDir + "/sub"));
    ASSERT_TRUE(std::filesystem::create_directories(dir + "/private"));
    for (const std::string& file : {secret, storeDir + "/Inbox.dbx", storeDir + "/sub/Inside.dbx",
                                    storeDir + "/\xE8\xA1\xA8.dbx"})
        writeBytes(file, buildDbx(simpleMessages(2)).bytes);
    // Links that stay in the directory are read; chains are followed to their end.
    for (const auto& [name, target] : std::vector<std::pair<std::string, std::string>>{
             {"Same.dbx", storeDir + "/Inbox.dbx"}, {"Out.dbx", "../private/Secret.dbx"},
             {"OutAbsolute.dbx", secret}, {"Hop.dbx", "Out.dbx"},
             {"Dangling.dbx", "../private/Missing.dbx"}, {"Up.dbx", ".."}})
        ASSERT_EQ(::symlink(target.c_str(), (storeDir + "/" + name).c_str()), 0) << name;
    const MailStore inside(storeDir, CodePage());
    EXPECT_EQ(inside.readMessages("Same.dbx").size(), 2u);
    // A trail byte 0x5C of a double-byte code page is part of a letter, no separator.
    EXPECT_EQ(MailStore(storeDir, CodePage::fromSetting("932")).readMessages("\x95\x5C.dbx").size(), 2u);

    for (const std::string& name :
         {std::string("../private/Secret.dbx"), secret, std::string("..\\private\\Secret.dbx"),
          std::string("sub/Inside.dbx"), std::string(".."), std::string("Out.dbx"),
          std::string("OutAbsolute.dbx"), std::string("Hop.dbx"), std::string("Dangling.dbx"),
          std::string("Up.dbx")}) {
        for (const auto& read : std::vector<std::function<void()>>{
                 [&] { inside.readMessages(name); }, [&] { inside.readMessage(name, 0x24BC + 12); },
                 [&] { inside.filePath(name); }, [&] { FolderReader folder(inside, name); }}) {
            try {
                read();
                ADD_FAILURE() << name << " was read";
            } catch (const OutsideStoreError& e) {
                EXPECT_EQ(e.fileName(), name);
            }
        }
    }
    // The folder list is one of the store's files like any other.
    ASSERT_EQ(::symlink(secret.c_str(), (storeDir + "/Folders.dbx").c_str()), 0);
    EXPECT_THROW(inside.readFolders(), OutsideStoreError);
}

TEST_F(StoreTest, OpenStoreReadsThePathOrTheRegistryOnce) {
    EXPECT_EQ(openStore(dir).directory(), dir);

    const std::string reg = dir + "/user.reg";
    auto writeRegistry = [&](const std::string& value) {
        std::ofstream out(reg, std::ios::binary);
        out << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express]\n"
            << "\"Store Root\"=" << value << "\n";
    };
    test::EnvGuard registry("LUMBROOK_REGISTRY", reg);
    {
        // The code page and the registry are read when the store is opened, the
        // registry in the store's code page; later changes reach only new stores.
        test::EnvGuard codePage("LUMBROOK_CODEPAGE", "1251");
        writeRegistry("\"/first/\xC0\"");
        const MailStore first = openStore(std::nullopt);
        EXPECT_EQ(first.directory(), "/first/\xD0\x90");
        writeRegistry("\"/second/store\"");
        ::setenv("LUMBROOK_CODEPAGE", "1252", 1);
        EXPECT_EQ(first.directory(), "/first/\xD0\x90");
        EXPECT_EQ(first.codePage().number(), 1251);
        EXPECT_EQ(first.toUtf8("\xC0"), "\xD0\x90");
        const MailStore second = openStore(std::nullopt);
        EXPECT_EQ(second.filePath("folders.dbx"), "/second/store/folders.dbx");
        EXPECT_EQ(second.toUtf8("\xC0"), "\xC3\x80");
    }

    // A registry the mail client could not read either: every read of the store
    // says so, as it would have without a store directory; nothing throws before.
    writeRegistry("dword:00000001");
    const MailStore broken = openStore(std::nullopt);
    for (const auto& read : std::vector<std::function<void()>>{
             [&] { broken.readFolders(); }, [&] { broken.readMessages("Inbox.dbx"); },
             [&] { broken.readMessageText("Inbox.dbx", 0x24BC); },
             [&] { broken.filePath("Inbox.dbx"); }}) {
        try {
            read();
            ADD_FAILURE() << "read a store the registry does not name";
        } catch (const LumbrookError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InvalidRegistryType);
            EXPECT_EQ(e.argument(), "Store Root");
        }
    }
    EXPECT_EQ(broken.readMessageText("Inbox.dbx", 0), "");
    EXPECT_TRUE(broken.readMessages("folders.dbx").empty());
}

TEST_F(StoreTest, OpenStoreOpensAStoreDirectoryAndNamesWhatIsMissingElsewhere) {
    put("Folders.dbx", {folderRecord({4, 1, "Inbox", "Inbox.dbx", true})}, folderFileOptions());
    put("Inbox.dbx", simpleMessages(3));
    const MailStore opened = openStore(dir, CodePage());
    const MailStore copy = opened;  // shares the reader
    ASSERT_EQ(copy.readFolders().size(), 1u);
    EXPECT_EQ(copy.readFolders()[0].fileName, "Inbox.dbx");
    const MessageList list = copy.readMessages("Inbox.dbx");
    ASSERT_EQ(list.size(), 3u);
    FolderReader folder(copy, "Inbox.dbx");
    for (const auto& m : list) {
        const MessageText text = folder.read(m.dataOffset);
        EXPECT_TRUE(text.whole);
        EXPECT_EQ(text.text, opened.readMessageText("Inbox.dbx", m.dataOffset));
        EXPECT_EQ(text.text.substr(0, 9), "Subject: ");
    }
    EXPECT_EQ(opened.fileType("Inbox.dbx"), MailStore::FileType::FolderFile);
    EXPECT_EQ(opened.fileType("folders.dbx"), MailStore::FileType::FolderList);

    // What is no store opens all the same; its first read names the folder list it
    // looked for, and why it is not there.
    put("notes.txt", std::vector<std::uint8_t>{'n'});
    std::filesystem::create_directory(dir + "/empty");
    for (const auto& [path, error] : std::vector<std::pair<std::string, int>>{
             {dir + "/notes.txt", ENOTDIR}, {dir + "/none", ENOENT}, {dir + "/empty", ENOENT}}) {
        const MailStore none = openStore(path, CodePage());
        EXPECT_TRUE(none.found());
        EXPECT_EQ(none.directory(), path);
        try {
            none.readFolders();
            ADD_FAILURE() << path << " read as a store";
        } catch (const FileOpenError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::FileOpen);
            EXPECT_EQ(e.argument(), path + "/folders.dbx");
            EXPECT_EQ(e.errorNumber(), error) << path;
        }
    }
}

}  // namespace
}  // namespace lumbrook
