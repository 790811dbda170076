// Files written by Outlook Express itself (skipped when the samples are absent).

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "store/MailStore.h"

namespace lumbrook {
namespace {

const std::string SamplesDir = LUMBROOK_SAMPLES_DIR;

class SamplesTest : public ::testing::Test {
  protected:
    // False (and the test marked skipped) when the samples are absent; the
    // caller returns, since a skip in a helper does not end the test.
    bool useStore(const std::string& sub) {
        const std::string dir = SamplesDir + "/" + sub;
        if (!std::filesystem::is_directory(dir)) {
            [&] { GTEST_SKIP() << dir << " is absent"; }();
            return false;
        }
        store.emplace(dir, CodePage());
        return true;
    }
    MessageList readMessages(const std::string& name) const { return store->readMessages(name); }
    std::string readMessageText(const std::string& name, std::int32_t dataOffset) const {
        return store->readMessageText(name, dataOffset);
    }

    std::optional<MailStore> store;
};

// An independent look at a raw text: header lines ("Name: value" or folded
// continuations) up to an empty line, then a body; CR LF line ends throughout
// the header; no zero bytes anywhere.
::testing::AssertionResult looksLikeAMessage(std::string_view text) {
    if (text.find('\0') != std::string_view::npos)
        return ::testing::AssertionFailure() << "zero byte in text";
    const std::size_t end = text.find("\r\n\r\n");
    if (end == std::string_view::npos) return ::testing::AssertionFailure() << "no header end";
    std::string_view header = text.substr(0, end + 2);
    bool sawFrom = false;
    while (!header.empty()) {
        std::size_t eol = header.find("\r\n");
        if (eol == std::string_view::npos) return ::testing::AssertionFailure() << "bare line end";
        std::string_view line = header.substr(0, eol);
        header.remove_prefix(eol + 2);
        if (line.find('\n') != std::string_view::npos || line.find('\r') != std::string_view::npos)
            return ::testing::AssertionFailure() << "stray line break in: " << line;
        if (line.empty()) return ::testing::AssertionFailure() << "empty header line";
        if (line[0] == ' ' || line[0] == '\t') continue;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return ::testing::AssertionFailure() << "not a header line: " << line;
        for (char c : line.substr(0, colon))
            if (c <= ' ' || c > '~')
                return ::testing::AssertionFailure() << "bad field name: " << line;
        if (line.substr(0, colon) == "From") sawFrom = true;
    }
    if (!sawFrom) return ::testing::AssertionFailure() << "no From: header";
    return ::testing::AssertionSuccess();
}

TEST_F(SamplesTest, IpedFolderOf28Messages) {
    if (!useStore("IPED")) return;
    MessageList list;
    list = readMessages("test_OutlookDBX.dbx");
    ASSERT_EQ(list.size(), 28u);
    EXPECT_EQ(list[1].subject, "Mensagem teste");
    EXPECT_EQ(list[3].subject.rfind("Fw: (Reminder) Share your experience with Copilot", 0), 0u);
    EXPECT_EQ(list[9].subject,
              "Fw: Cat\xF3lica EAD \x96 \x93Rematr\xED"
              "cula\x94 foi criada");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const auto& m = list[i];
        SCOPED_TRACE("message " + std::to_string(i));
        EXPECT_NE(m.date, 0u);
        EXPECT_FALSE(m.from.empty());
        std::string text = readMessageText("test_OutlookDBX.dbx", m.dataOffset);
        // Outlook Express keeps the size of the message in entry 0x91.
        EXPECT_EQ(text.size(), static_cast<std::size_t>(m.entry91));
        EXPECT_TRUE(looksLikeAMessage(text));
    }
}

TEST_F(SamplesTest, FolderList) {
    if (!useStore("DbxOutlookExpress")) return;
    FolderList list;
    list = store->readFolders();
    // Eight records; three carry neither a file name (0x03) nor 0x06 and are
    // dropped by the acceptance test: the folders whose files were never created.
    // Whether a named file exists is not looked at.
    ASSERT_EQ(list.size(), 5u);
    struct Expected {
        std::int32_t folderId, parentId;
        const char* name;
        const char* fileName;
        bool isSpecial;
    };
    const Expected expected[] = {
        {-1, -1, "Outlook Express", "", false}, {1, -1, "Local Folders", "", false},
        {4, 1, "Inbox", "Inbox.dbx", true},     {5, 1, "Outbox", "Outbox.dbx", true},
        {9, -1, "Hotmail", "", false},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].folderId, expected[i].folderId);
        EXPECT_EQ(list[i].parentId, expected[i].parentId);
        EXPECT_EQ(list[i].name, expected[i].name);
        EXPECT_EQ(list[i].fileName, expected[i].fileName);
        EXPECT_EQ(list[i].isSpecial, expected[i].isSpecial);
    }
}

TEST_F(SamplesTest, OtherFilesOfTheFirstStore) {
    if (!useStore("DbxOutlookExpress")) return;
    MessageList inbox, outbox, offline;
    inbox = readMessages("Inbox.dbx");
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0].subject, "Welcome to Outlook Express 6");
    EXPECT_EQ(inbox[0].from, "Microsoft Outlook Express Team");
    std::string text = readMessageText("Inbox.dbx", inbox[0].dataOffset);
    EXPECT_EQ(text.size(), static_cast<std::size_t>(inbox[0].entry91));
    EXPECT_TRUE(looksLikeAMessage(text));

    outbox = readMessages("Outbox.dbx");
    EXPECT_TRUE(outbox.empty());
    // Not a message file at all: whatever it yields, it yields without harm.
    EXPECT_NO_THROW(offline = readMessages("Offline.dbx"));
    for (const auto& m : offline) EXPECT_NO_THROW(readMessageText("Offline.dbx", m.dataOffset));
}

TEST_F(SamplesTest, SingleMessageFiles) {
    struct Case {
        const char* dir;
        const char* file;
        std::size_t count;
    };
    const Case cases[] = {{"Mail-Transport-Dbx", "test.dbx", 1},
                           {"Mail-Transport-Dbx", "test1.dbx", 1},
                           {"dbxconvert", "test.dbx", 2}};
    for (const auto& c : cases) {
        if (!useStore(c.dir)) return;
        SCOPED_TRACE(std::string(c.dir) + "/" + c.file);
        MessageList list;
        list = readMessages(c.file);
        ASSERT_EQ(list.size(), c.count);
        for (const auto& m : list) {
            std::string text = readMessageText(c.file, m.dataOffset);
            EXPECT_EQ(text.size(), static_cast<std::size_t>(m.entry91));
            EXPECT_TRUE(looksLikeAMessage(text));
        }
    }
    if (!useStore("dbxconvert")) return;
    MessageList list;
    list = readMessages("test.dbx");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].subject, "Subject #1");
    EXPECT_EQ(readMessageText("test.dbx", list[0].dataOffset).size(), 1195u);
    EXPECT_EQ(readMessageText("test.dbx", list[1].dataOffset).size(), 18490u);
}

}  // namespace
}  // namespace lumbrook
