// The attachment bar over the preview and in the message window, on a store
// written with the .dbx writer.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/Modal.h"
#include "mime/MailAttachments.h"
#include "platform/browser/PageView.h"
#include "tests/gui/WindowFixture.h"
#include "windows/AttachmentBar.h"
#include "windows/MessageWindow.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;

// A picture the page shows in place, a PDF and a program; the record's flags do
// not say that the message has attachments.
const std::string MixedMessage =
    "From: a@b.example\r\nSubject: Report\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
    "--m\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
    "--r\r\nContent-Type: text/html\r\n\r\n<p>See</p><img src=\"cid:pic@x\">\r\n"
    "--r\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n"
    "Content-ID: <pic@x>\r\n\r\nR0lGODlh\r\n--r--\r\n"
    "--m\r\nContent-Type: application/pdf; name=\"report.pdf\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQKAP/+IGJpbmFyeQ0KJSVFT0YK\r\n"
    "--m\r\nContent-Type: application/octet-stream; name=\"tool.exe\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nTVo=\r\n--m--\r\n";

class AttachmentBarTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        writeFolders(store.path(), {{0, std::nullopt, "Outlook Express", std::nullopt, false},
                                    {1, 0, "Local Folders", std::nullopt, false},
                                    {4, 1, "Inbox", "Inbox.dbx", true}});
        DbxMessage mixed = plainMessage(1, "a@b.example", "Report", Jan2020 + 86400, "");
        mixed.rawText = MixedMessage;
        // Newest first: row 0 is the mixed message, previewed at start.
        writeMessages(store.path(), "Inbox.dbx",
                      {mixed, plainMessage(2, "c@d.example", "Plain", Jan2020, "TEXT")});
    }
    void TearDown() override {
        WindowFixture::TearDown();
        ::unsetenv("LUMBROOK_PRINT_PDF_DIR");
    }

    MessageWindow messageWindow;
};

TEST_F(AttachmentBarTest, ListsOpensAndSavesTheAttachmentsThePageDoesNotShow) {
    TempDir pdfDir;
    ::setenv("LUMBROOK_PRINT_PDF_DIR", pdfDir.path().c_str(), 1);
    open();
    form->setMessageWindow(&messageWindow);
    waitForPage();

    // The PDF and the program, not the picture; the list's clip follows.
    auto* bar = child<AttachmentBar>(*form, "attachmentBar");
    ASSERT_TRUE(bar->isVisibleTo(form.get()));
    ASSERT_EQ(bar->list->count(), 2);
    EXPECT_EQ(bar->list->item(0)->text(), QStringLiteral("report.pdf (27 bytes)"));
    EXPECT_EQ(bar->list->item(1)->text(), QStringLiteral("tool.exe (2 bytes)"));
    EXPECT_FALSE(ui->model->index(0, ColAttachment).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(ui->model->index(1, ColAttachment).data(Qt::DecorationRole).isNull());

    MailMessage message;
    message.loadText(MixedMessage);
    const std::string pdf = attachmentBytes(message, 1);
    ASSERT_EQ(pdf.size(), 27u);

    // Enter opens a private copy with exactly the attachment's bytes.
    std::vector<std::string> opened;
    bar->opener = [&](const QUrl& url) {
        opened.push_back(url.toLocalFile().toStdString());
        return true;
    };
    int asked = 0;
    bool allow = false;
    bar->confirmRunnable = [&](const QString&) {
        ++asked;
        return allow;
    };
    bar->list->setCurrentRow(0);
    QTest::keyClick(bar->list, Qt::Key_Return);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(fs::path(opened[0]).filename(), "report.pdf");
    EXPECT_EQ(readFile(opened[0]), pdf);
    EXPECT_EQ(asked, 0);
    // A program is opened only when allowed, and asked about once for its type.
    EXPECT_FALSE(bar->openAttachment(1));
    allow = true;
    EXPECT_TRUE(bar->openAttachment(1));
    EXPECT_TRUE(bar->openAttachment(1));
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_NE(fs::path(opened[1]).parent_path(), fs::path(opened[2]).parent_path());
    // The copies are the user's alone, and go with the bar that made them; those of
    // a program that was killed go at the next opening.
    const fs::path copies = fs::path(opened[0]).parent_path().parent_path();
    const fs::path killed = copies / "999999999-abcdef";  // beyond any pid_max
    fs::create_directories(killed);
    EXPECT_EQ(fs::status(opened[0]).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(copies).permissions() & fs::perms::all, fs::perms::owner_all);
    {
        AttachmentBar other;
        other.setMessage(MixedMessage, "windows-1252");
        std::string copy;
        other.opener = [&](const QUrl& url) {
            copy = url.toLocalFile().toStdString();
            return true;
        };
        ASSERT_TRUE(other.openAttachment(0));
        EXPECT_EQ(readFile(copy), pdf);
        EXPECT_FALSE(fs::exists(killed));
        opened.push_back(copy);
    }
    EXPECT_FALSE(fs::exists(opened.back()));
    for (const std::string& path : opened) fs::remove_all(fs::path(path).parent_path());

    // One that no program opens is said so, with the offer to save it.
    bar->opener = [](const QUrl&) { return false; };
    QString offer;
    bar->confirmSave = [&](const QString& text) {
        offer = text;
        return true;
    };
    TempDir chosen;
    bar->chooseFile = [&](const QString& suggested) {
        return QString::fromStdString(chosen.path()) + suggested;
    };
    EXPECT_FALSE(bar->openAttachment(0));
    EXPECT_NE(offer.indexOf(QStringLiteral("\"report.pdf\"")), -1) << offer.toStdString();
    EXPECT_EQ(readFile(chosen.path() + "report.pdf"), pdf);

    // Save all never replaces a file: the taken name gets "_0".
    TempDir out;
    writeFile(out.path() + "report.pdf", "mine");
    const QStringList written = bar->saveAllAttachments(QString::fromStdString(out.path()));
    EXPECT_EQ(written, (QStringList{QString::fromStdString(out.path() + "report_0.pdf"),
                                    QString::fromStdString(out.path() + "tool.exe")}));
    EXPECT_EQ(readFile(out.path() + "report.pdf"), "mine");
    EXPECT_EQ(readFile(out.path() + "report_0.pdf"), pdf);
    EXPECT_EQ(readFile(out.path() + "tool.exe"), "MZ");

    // The message window shows the same list, and nothing once closed.
    int shown = -1;
    onDialog = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, &messageWindow);
        shown = messageWindow.attachmentBar->isVisibleTo(&messageWindow)
                    ? messageWindow.attachmentBar->list->count()
                    : 0;
        return int(QDialog::Rejected);
    };
    emit ui->list->doubleClicked(QModelIndex());
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(messageWindow.attachmentBar->list->count(), 0);

    // The printed page names them under its header table.
    if (std::system("command -v pdftotext >/dev/null 2>&1") == 0) {
        QTest::mouseClick(toolButton(*form, "printAction"), Qt::LeftButton);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "There became 1 messages printed!");
        const std::string pdf = pdfDir.path() + fs::directory_iterator(pdfDir.path())->path().filename().string();
        ASSERT_EQ(std::system(("pdftotext '" + pdf + "' '" + pdf + ".txt'").c_str()), 0);
        const std::string text = readFile(pdf + ".txt");
        const std::size_t list = text.find("Attachments: report.pdf (27 bytes), tool.exe (2 bytes)");
        EXPECT_NE(list, std::string::npos) << text;
        EXPECT_LT(text.find("Subject:"), list);
        EXPECT_LT(list, text.find("See"));
    }

    // A message without attachments hides the bar.
    QSignalSpy next(ui->view, &PageView::downloadComplete);
    ui->list->setCurrentIndex(ui->model->index(1, 0));
    ASSERT_TRUE(next.wait(15000));
    EXPECT_FALSE(bar->isVisibleTo(form.get()));
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace lumbrook
