// Messages written by Outlook Express itself, read through the store reader
// (skipped when the samples are absent).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "mime/MailModel.h"
#include "store/oexpress.h"

namespace lumbrook {
namespace {

const std::string SamplesDir = LUMBROOK_SAMPLES_DIR;

std::string Lower(std::string S) {
    for (char& C : S)
        if (C >= 'A' && C <= 'Z') C = static_cast<char>(C + 32);
    return S;
}

class MailSamples : public ::testing::Test {
  protected:
    // False (and the test marked skipped) when the samples are absent; the
    // caller returns, since a skip in a helper does not end the test.
    bool UseStore(const std::string& Sub) {
        const std::string Dir = SamplesDir + "/" + Sub;
        if (!std::filesystem::is_directory(Dir)) {
            [&] { GTEST_SKIP() << Dir << " is absent"; }();
            return false;
        }
        SetStoreRootOverride(Dir);
        return true;
    }
    void TearDown() override { SetStoreRootOverride(std::nullopt); }

    // Every message parses; a message that declares an HTML or plain-text part gets
    // that body, and every attachment is a leaf that decodes.
    void CheckFolder(const std::string& FileName, std::size_t ExpectedCount) {
        TMessageList List;
        ReadIndexFile(FileName, List);
        ASSERT_EQ(List.size(), ExpectedCount);
        int WithHtml = 0;
        for (const Toe5_MessageInfo& Info : List) {
            SCOPED_TRACE(Info.Subject);
            const std::string Raw = ReadMessageText(FileName, Info.DataOffset);
            ASSERT_FALSE(Raw.empty());
            const std::string Folded = Lower(Raw);
            TMailMessage Message;
            Message.LoadText(Raw);
            Message.LocateBodies();
            EXPECT_FALSE(Message.NeedsLocate);
            EXPECT_TRUE(Message.HasHeader("From"));
            if (Folded.find("content-type: text/html") != std::string::npos) {
                ++WithHtml;
                ASSERT_FALSE(Message.HtmlLines.empty());
                std::string Html;
                for (const std::string& Line : Message.HtmlLines) Html += Lower(Line);
                EXPECT_NE(Html.find("</html>"), std::string::npos);
                EXPECT_EQ(Message.HtmlPart->MediaType(), "text/html");
            }
            if (Folded.find("content-type: text/plain") != std::string::npos) {
                EXPECT_FALSE(Message.TextLines.empty());
            }
            for (TMailPart* Part : Message.Attachments) {
                EXPECT_TRUE(Part->SubParts.Empty());
                Part->DecodeBody();
                EXPECT_FALSE(Part->DecodedBody.empty());
            }
        }
        if (ExpectedCount > 20) {
            EXPECT_GT(WithHtml, 20);
        }
    }
};

TEST_F(MailSamples, IpedFolder) {
    if (!UseStore("IPED")) return;
    CheckFolder("test_OutlookDBX.dbx", 28);
}

TEST_F(MailSamples, OtherStores) {
    if (!UseStore("dbxconvert")) return;
    CheckFolder("test.dbx", 2);
    if (!UseStore("Mail-Transport-Dbx")) return;
    CheckFolder("test.dbx", 1);
    CheckFolder("test1.dbx", 1);
    if (!UseStore("DbxOutlookExpress")) return;
    CheckFolder("Inbox.dbx", 1);
}

}  // namespace
}  // namespace lumbrook
