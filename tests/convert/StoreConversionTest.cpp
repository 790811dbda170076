// The whole store walk: messages are read ahead on a second thread while they are
// written, and a run stopped part way goes on to the same result.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "convert/MailboxManifest.h"
#include "convert/MailboxMbox.h"
#include "convert/StoreConversion.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/RecordTestSupport.h"
#include "dbxwriter/DbxWriter.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;
using test::readFileBytes;
using test::TempDir;

// Every file below dir but the conversion record, by relative path: its size and
// a hash of its bytes (a failure then prints names, not megabytes).
std::map<std::string, std::pair<std::size_t, std::size_t>> filesBelow(const fs::path& dir) {
    std::map<std::string, std::pair<std::size_t, std::size_t>> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file() || e.path().filename() == ConvertManifest::FileName) continue;
        const std::string bytes = readFileBytes(e.path().string());
        files[fs::relative(e.path(), dir).string()] = {bytes.size(),
                                                       std::hash<std::string>()(bytes)};
    }
    return files;
}

// The messages of the record in their order, once each (a resumed mbox run adds
// size lines, and confirms the append it finds finished in the file).
std::vector<std::string> recordedMessages(const fs::path& dir) {
    std::istringstream in(readFileBytes((dir / std::string(ConvertManifest::FileName)).string()));
    std::vector<std::string> keys;
    std::set<std::string> seen;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("M\t", 0) != 0 && line.rfind("A\t", 0) != 0) continue;
        std::size_t end = 0;
        for (int field = 0; field < 6 && end != std::string::npos; ++field) end = line.find('\t', end + 1);
        std::string key = line.substr(2, end - 2);  // format, folder file, offset, size, path
        if (seen.insert(key).second) keys.push_back(std::move(key));
    }
    return keys;
}

TEST(StoreConversion, ReadAheadKeepsTheOrderAndAStoppedRunGoesOnToTheSameResult) {
    TempDir store, work;
    DbxFileOptions folderFile;
    folderFile.kind = DbxFileKind::Folders;
    writeBytes(store / "Folders.dbx",
               buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                         folderRecord({1, 0, "Local Folders", std::nullopt, false}),
                         folderRecord({100, 1, "Inbox", "Inbox.dbx", false}),
                         folderRecord({101, 100, "Sub", "Sub.dbx", false})},
                        folderFile)
                   .bytes);
    // More messages than the read-ahead holds, dates out of index order with many
    // equal ones (the sort must stay stable), repeated subjects (numbered eml names),
    // lines to quote, texts with and without a final line end, and one big text.
    std::vector<DbxRecord> inbox, sub;
    for (int i = 0; i < 1300; ++i) {
        std::string text = "From: a" + std::to_string(i % 17) + "@x.example\r\nSubject: s" +
                           std::to_string(i % 40) + "\r\n\r\nmessage " + std::to_string(i) + "\r\n";
        if (i % 7 == 0) text += "From here\r\n>From there\r\n";
        text += std::string(static_cast<std::size_t>(i % 50) * 200, 'x');
        if (i % 5 != 0) text += "\r\n";
        if (i == 600) text += std::string(3 << 20, 'b');
        const auto date = test::fileTimeUtc(2003, 1 + (i * 7) % 12, 1 + i % 28, (i * 13) % 3, 0);
        inbox.push_back(messageRecord({i + 1, "a", "b", "s" + std::to_string(i % 40), date, text}));
    }
    for (int i = 0; i < 30; ++i)
        sub.push_back(messageRecord({i + 1, "c", "d", "sub", test::fileTimeUtc(2004, 2, 1 + i),
                                     "Subject: sub\r\n\r\n" + std::to_string(i) + "\r\n"}));
    writeBytes(store / "Inbox.dbx", buildDbx(inbox).bytes);
    writeBytes(store / "Sub.dbx", buildDbx(sub).bytes);
    const MailStore dbx(store.str());
    const std::size_t total = inbox.size() + sub.size();

    // The Inbox's texts in the order a single reader takes them: oldest first.
    MessageList list = dbx.readMessages("Inbox.dbx");
    std::stable_sort(list.begin(), list.end(),
                     [](const MessageInfo& a, const MessageInfo& b) { return a.date < b.date; });
    FolderReader reader(dbx, "Inbox.dbx");
    std::vector<std::string> oldestFirst;
    for (const auto& m : list) oldestFirst.push_back(reader.read(m.dataOffset).text);

    for (const auto format : {MailboxFormat::Mbox, MailboxFormat::Eml, MailboxFormat::Maildir}) {
        const std::string name(mailboxFormatName(format));
        SCOPED_TRACE(name);
        ConversionOptions options;
        options.mailbox.format = format;
        const fs::path whole = fs::path(work.str()) / ("whole-" + name);
        const fs::path resumed = fs::path(work.str()) / ("resumed-" + name);

        options.outDir = whole.string();
        std::size_t calls = 0, lastDone = 0;
        bool ordered = true;
        const ConversionReport all = convertStore(dbx, options, [&](const ConversionProgress& p) {
            ordered = ordered && p.messagesDone == lastDone + 1 && p.messagesTotal == total;
            lastDone = p.messagesDone;
            ++calls;
        });
        EXPECT_TRUE(ordered);
        EXPECT_EQ(calls, total);
        EXPECT_EQ(all.written, total);
        EXPECT_FALSE(all.cancelled);
        EXPECT_TRUE(all.failures.empty() && all.damaged.empty());

        // Stopped after 500 messages from the progress (as the window's Cancel and
        // Ctrl+C do), then run again.
        options.outDir = resumed.string();
        std::atomic<bool> cancel{false};
        const ConversionReport first = convertStore(dbx, options, [&](const ConversionProgress& p) {
            if (p.messagesDone == 500) cancel = true;
        }, &cancel);
        EXPECT_TRUE(first.cancelled);
        EXPECT_EQ(first.written, 500u);
        const ConversionReport second = convertStore(dbx, options);
        EXPECT_FALSE(second.cancelled);
        EXPECT_EQ(second.written, total - 500);
        EXPECT_EQ(second.alreadyThere, 500u);

        const auto files = filesBelow(whole);
        EXPECT_EQ(files, filesBelow(resumed));
        EXPECT_EQ(recordedMessages(whole), recordedMessages(resumed));
        EXPECT_EQ(recordedMessages(whole).size(), total);
        if (format == MailboxFormat::Mbox) {
            std::vector<std::string> texts;
            const std::string mbox =
                readFileBytes((whole / "Inbox").string());
            for (auto& entry : readMboxrd(mbox, true))
                texts.push_back(std::move(entry.message));
            std::vector<std::string> closed = oldestFirst;
            for (std::string& text : closed) text += addedLineEnd(text);
            EXPECT_TRUE(texts == closed) << texts.size() << " messages";
        }
    }
}

// A folder named two levels down keeps its place in the tree, and only it is
// converted (its parents hold no messages of their own).
TEST(StoreConversion, ANestedFolderIsConvertedUnderItsParents) {
    TempDir store, work;
    DbxFileOptions folderFile;
    folderFile.kind = DbxFileKind::Folders;
    writeBytes(store / "Folders.dbx",
               buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                         folderRecord({1, 0, "Local Folders", std::nullopt, false}),
                         folderRecord({100, 1, "Inbox", "Inbox.dbx", false}),
                         folderRecord({101, 1, "Sent", "Sent.dbx", false})},
                        folderFile)
                   .bytes);
    const std::string text = "Subject: x\r\n\r\nx\r\n";
    writeBytes(store / "Inbox.dbx",
               buildDbx({messageRecord({1, "a", "b", "x", test::fileTimeUtc(2003, 1, 1), text})}).bytes);
    writeBytes(store / "Sent.dbx",
               buildDbx({messageRecord({1, "a", "b", "x", test::fileTimeUtc(2003, 1, 2), text})}).bytes);
    ConversionOptions options;
    options.outDir = work / "out";
    options.folders = {"inbox"};
    const ConversionReport report = convertStore(MailStore(store.str()), options);
    EXPECT_EQ(report.written, 1u);
    EXPECT_GT(readFileBytes(work / "out/Inbox").size(),
              text.size());
    EXPECT_FALSE(fs::exists(work / "out/Sent"));
}

// What a mail program finds is the store: the root levels are no folders (OUT/Inbox
// is the Inbox), empty folders are there in every format, an account's node stays
// a folder; and a destination an older version began goes on in its own layout.
TEST(StoreConversion, TheOutputIsTheStoresTreeWithoutItsRootLevels) {
    TempDir store, work;
    DbxFileOptions folderFile;
    folderFile.kind = DbxFileKind::Folders;
    writeBytes(store / "Folders.dbx",
               buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                         folderRecord({1, 0, "Local Folders", std::nullopt, false}),
                         folderRecord({100, 1, "Inbox", "Inbox.dbx", false}),
                         folderRecord({101, 100, "Empty", "Empty.dbx", false}),
                         folderRecord({9, 0, "imap.example", std::nullopt, false}),
                         folderRecord({200, 9, "INBOX", "Imap.dbx", false})},
                        folderFile)
                   .bytes);
    const std::string text = "Subject: x\r\n\r\nx\r\n";
    writeBytes(store / "Inbox.dbx",
               buildDbx({messageRecord({1, "a", "b", "x", test::fileTimeUtc(2003, 1, 1), text})}).bytes);
    writeBytes(store / "Empty.dbx", buildDbx({}).bytes);
    writeBytes(store / "Imap.dbx", buildDbx({}).bytes);
    const MailStore dbx(store.str());
    for (const auto format : {MailboxFormat::Mbox, MailboxFormat::Maildir, MailboxFormat::Eml}) {
        SCOPED_TRACE(std::string(mailboxFormatName(format)));
        ConversionOptions options;
        options.outDir = work / std::string(mailboxFormatName(format));
        options.mailbox.format = format;
        const ConversionReport report = convertStore(dbx, options);
        EXPECT_EQ(report.failures, std::vector<std::string>{});
        EXPECT_EQ(report.written, 1u);
        EXPECT_EQ(report.folders, 4u);
        const fs::path out = options.outDir;
        std::set<std::string> top;
        for (const auto& e : fs::directory_iterator(out))
            if (e.path().filename() != ConvertManifest::FileName) top.insert(e.path().filename().string());
        if (format == MailboxFormat::Mbox) {
            EXPECT_EQ(top, (std::set<std::string>{"Inbox", "Inbox.sbd", "imap.example", "imap.example.sbd"}));
            EXPECT_EQ(readMboxrd(readFileBytes(out / "Inbox"), true).size(), 1u);
            EXPECT_TRUE(fs::is_regular_file(out / "Inbox.sbd/Empty"));
            EXPECT_EQ(fs::file_size(out / "Inbox.sbd/Empty"), 0u);
            EXPECT_TRUE(fs::is_regular_file(out / "imap.example.sbd/INBOX"));
        } else {
            EXPECT_EQ(top, (std::set<std::string>{"Inbox", "imap.example"}));
            for (const char* empty : {"Inbox/Empty", "imap.example/INBOX"}) {
                EXPECT_TRUE(fs::is_directory(out / empty)) << empty;
                for (const char* part : {"cur", "new", "tmp"})
                    EXPECT_EQ(fs::is_directory(out / empty / part), format == MailboxFormat::Maildir)
                        << empty << "/" << part;
            }
        }
        // A second run finds everything where it is and makes nothing new.
        const auto before = filesBelow(out);
        const ConversionReport again = convertStore(dbx, options);
        EXPECT_EQ(again.written, 0u);
        EXPECT_EQ(again.alreadyThere, 1u);
        EXPECT_EQ(filesBelow(out), before);
    }

    // A record without a layout was begun with the root levels as folders: the run
    // goes on there, never with a second tree beside it.
    const fs::path old = work / "old";
    {
        fs::create_directories(old);
        ConvertManifest record(old.string(), false);
        record.recordMboxState("Outlook Express", 0, tailHash({}));
    }
    writeBytes(old / "Outlook Express", std::vector<std::uint8_t>{});
    ConversionOptions options;
    options.outDir = old;
    EXPECT_EQ(convertStore(dbx, options).written, 1u);
    EXPECT_EQ(readMboxrd(readFileBytes(old / "Outlook Express.sbd/Local Folders.sbd/Inbox"), true).size(), 1u);
    EXPECT_FALSE(fs::exists(old / "Inbox"));
}

}  // namespace
}  // namespace lumbrook
