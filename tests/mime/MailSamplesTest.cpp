// Messages written by Outlook Express itself, read through the store reader
// (skipped when the samples are absent).

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "mime/MailModel.h"
#include "store/MailStore.h"

namespace lumbrook {
namespace {

const std::string SamplesDir = LUMBROOK_SAMPLES_DIR;

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

class MailSamples : public ::testing::Test {
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

    // Every message parses; a message that declares an HTML or plain-text part gets
    // that body, and every attachment is a leaf that decodes.
    void checkFolder(const std::string& fileName, std::size_t expectedCount) {
        const MessageList list = store->readMessages(fileName);
        ASSERT_EQ(list.size(), expectedCount);
        int withHtml = 0;
        for (const MessageInfo& info : list) {
            SCOPED_TRACE(info.subject);
            const std::string raw = store->readMessageText(fileName, info.dataOffset);
            ASSERT_FALSE(raw.empty());
            const std::string folded = lower(raw);
            MailMessage message;
            message.loadText(raw);
            message.locateBodies();
            EXPECT_FALSE(message.needsLocate);
            EXPECT_TRUE(message.hasHeader("From"));
            if (folded.find("content-type: text/html") != std::string::npos) {
                ++withHtml;
                ASSERT_FALSE(message.htmlLines.empty());
                std::string html;
                for (std::string_view line : message.htmlLines) html += lower(std::string(line));
                EXPECT_NE(html.find("</html>"), std::string::npos);
                EXPECT_EQ(message.htmlPart->mediaType(), "text/html");
            }
            if (folded.find("content-type: text/plain") != std::string::npos) {
                EXPECT_FALSE(message.textLines.empty());
            }
            for (MailPart* part : message.attachments) {
                EXPECT_TRUE(part->subParts.empty());
                part->decodeBody();
                EXPECT_FALSE(part->decodedBody.empty());
            }
        }
        if (expectedCount > 20) {
            EXPECT_GT(withHtml, 20);
        }
    }

    std::optional<MailStore> store;
};

TEST_F(MailSamples, IpedFolder) {
    if (!useStore("IPED")) return;
    checkFolder("test_OutlookDBX.dbx", 28);
}

TEST_F(MailSamples, OtherStores) {
    if (!useStore("dbxconvert")) return;
    checkFolder("test.dbx", 2);
    if (!useStore("Mail-Transport-Dbx")) return;
    checkFolder("test.dbx", 1);
    checkFolder("test1.dbx", 1);
    if (!useStore("DbxOutlookExpress")) return;
    checkFolder("Inbox.dbx", 1);
}

}  // namespace
}  // namespace lumbrook
