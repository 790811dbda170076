// Deleted and orphaned messages in the real window: a folder file written by the
// project's writer, with chains the index does not list appended after it.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/Modal.h"
#include "platform/browser/PageView.h"
#include "listing/FoundMessages.h"
#include "store/DbxLayout.h"
#include "tests/gui/WindowFixture.h"
#include "tests/support/DbxImageBuilder.h"
#include "windows/SaveExportDialog.h"

namespace lumbrook {
namespace {

// Opens with a line a deleted block may lose four bytes of.
std::string mailText(const std::string& name, const std::string& subjectField,
                     const std::string& date, const std::string& marker, std::size_t size) {
    std::string text = "Received: by mail.example.org\r\nFrom: " + name +
                       "@example.org\r\nTo: reader@example.org\r\nSubject: " + subjectField +
                       "\r\nDate: " + date + "\r\nContent-Type: text/plain\r\n\r\n" + marker +
                       "\r\n";
    for (int line = 0; text.size() < size; ++line)
        text += "line " + std::to_string(line) + " of " + name + "\r\n";
    return text;
}

class RecoveryWindowTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        onDialog = [this](QDialog& dialog) {
            if (&dialog != &saveExportDialog) return int(QDialog::Rejected);
            saveExportDialog.directoryEdit->setText(QString::fromStdString(out));
            saveExportDialog.dateInNames->setChecked(false);
            return int(QDialog::Accepted);
        };
        writeFolders(store.path(), {
                                       {0, std::nullopt, "Outlook Express", std::nullopt, false},
                                       {1, 0, "Local Folders", std::nullopt, false},
                                       {4, 1, "Inbox", "Inbox.dbx", true},
                                       {20, 1, "Broken", "Broken.dbx", false},
                                   });
        // Inbox: one listed message, a deleted one in the free list and an orphaned
        // chain the file ends inside of.
        const DbxImage inbox = buildDbx(
            {messageRecord(plainMessage(1, "anna@example.org", "Listed", Jan2020, "LISTED"))});
        DbxImageBuilder image(inbox.bytes);
        deletedText =
            mailText("Gone", "=?iso-8859-1?Q?Gone_f=FCr_good?=", "Fri, 3 Jan 2020 10:00:00 +0000",
                     "DELETED-BODY", 900);
        image.addDeleted(deletedText);
        const std::string orphanText =
            mailText("Lost", "Lost", "Sat, 4 Jan 2020 10:00:00 +0000", "ORPHAN-BODY", 1200);
        const std::uint64_t orphanAt = image.addLive(orphanText);
        std::vector<std::uint8_t> bytes = image.bytes();
        bytes.resize(orphanAt + DbxImageBuilder::BlockSize + 100);
        writeBytes(store.path() + "Inbox.dbx", bytes);

        // Broken: two messages whose index node was wiped out.
        DbxImage broken = buildDbx(
            {messageRecord(plainMessage(1, "x@example.org", "First", Jan2020, "FIRST")),
             messageRecord(plainMessage(2, "y@example.org", "Second", Jan2020 + 60, "SECOND"))});
        const auto node = static_cast<std::size_t>(broken.layout.nodes.front());
        std::fill_n(broken.bytes.begin() + static_cast<std::ptrdiff_t>(node), dbx::NodeHeaderSize,
                    std::uint8_t{0});
        writeBytes(store.path() + "Broken.dbx", broken.bytes);
    }

    int rowOf(const std::string& subject) const {
        for (int row = 0; row < ui->model->rowCount(); ++row)
            if (recordOfRow(row).subject == subject) return row;
        return -1;
    }
    QString status() const { return child<QLabel>(*form, "recoveryStatus")->text(); }

    std::string deletedText;
};

TEST_F(RecoveryWindowTest, ListsPreviewsAndSavesTheMessagesTheIndexDoesNotList) {
    open();
    ASSERT_EQ(form->folderFile(), "Inbox.dbx");
    EXPECT_EQ(ui->model->rowCount(), 1);
    EXPECT_FALSE(child<QToolButton>(*form, "recoverButton")->isVisible());

    auto* action = child<QAction>(*form, "showRecoveredAction");
    ASSERT_TRUE(action->isCheckable());
    action->setChecked(true);
    QTRY_COMPARE_WITH_TIMEOUT(ui->model->rowCount(), 3, 20000);
    EXPECT_EQ(status(), QStringLiteral("Found 1 deleted and 1 orphaned messages."));
    // The folder's count is the index's: the rows found do not change it.
    EXPECT_EQ(form->folderCounts()[2].total, 1);

    // Subjects as the index keeps them: in the store's code page.
    struct Expected {
        const char* subject;
        const char* shown;
        const char* from;
        MessageOrigin origin;
        bool damaged;
    };
    const Expected expected[] = {
        {"Listed", "Listed", "anna@example.org", MessageOrigin::Listed, false},
        {"Gone f\xFCr good", "Gone f\u00FCr good", "Gone@example.org", MessageOrigin::Deleted,
         false},
        {"Lost", "Lost", "Lost@example.org", MessageOrigin::Orphaned, true}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.shown);
        const int row = rowOf(e.subject);
        ASSERT_GE(row, 0);
        const MessageInfo& record = recordOfRow(row);
        EXPECT_EQ(record.origin, e.origin);
        EXPECT_EQ(record.from, e.from);
        EXPECT_EQ(ui->model->index(row, ColSubject).data().toString(), QString::fromUtf8(e.shown));
        EXPECT_EQ(ui->model->isMarkedDamaged(record.dataOffset), e.damaged);
        // A drawing that did not load would be an empty icon.
        const QIcon mark =
            qvariant_cast<QIcon>(ui->model->index(row, ColPriority).data(Qt::DecorationRole));
        EXPECT_EQ(!mark.isNull(), e.origin != MessageOrigin::Listed);
        EXPECT_NE(record.date, 0u);
    }
    // Sorted by date like the others: newest first.
    EXPECT_EQ(recordOfRow(0).subject, "Lost");
    EXPECT_EQ(recordOfRow(2).subject, "Listed");

    // The preview reads the deleted one as the scan found it.
    QSignalSpy loaded(ui->view, &PageView::downloadComplete);
    ui->list->selectionModel()->setCurrentIndex(
        ui->model->index(rowOf("Gone f\xFCr good"), 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const std::string page = readFile(program.mailPage());
    EXPECT_NE(page.find("DELETED-BODY"), std::string::npos);
    EXPECT_NE(page.find("????"), std::string::npos);

    // Saving all three writes three files; the cut one is incomplete and named so.
    ui->list->selectAll();
    QTest::mouseClick(toolButton(*form, "saveAction"), Qt::LeftButton);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names, (std::vector<std::string>{"Gone f_r good.eml", "Listed.eml",
                                               "Lost (incomplete).eml"}));
    EXPECT_EQ(readFile(out + names[0]), DbxImageBuilder::deletedTextOf(deletedText));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("There became 2 messages saved!"), std::string::npos)
        << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("\"Lost\" at offset"), std::string::npos) << boxes[0].text;

    // Off again: the index's rows alone, and the choice is kept.
    action->setChecked(false);
    EXPECT_EQ(ui->model->rowCount(), 1);
    EXPECT_FALSE(windowSettings().value(QStringLiteral("showRecovered")).toBool());
    EXPECT_TRUE(errors.empty());
}

TEST_F(RecoveryWindowTest, ADamagedFolderShowsTheMessagesItsIndexLostAndSaysWhy) {
    open();
    clickFolder(QStringLiteral("Broken"));
    ASSERT_EQ(form->folderFile(), "Broken.dbx");
    // Scanned without being asked: the messages are the folder's own.
    auto* action = child<QAction>(*form, "showRecoveredAction");
    EXPECT_FALSE(action->isChecked());
    QTRY_COMPARE_WITH_TIMEOUT(ui->model->rowCount(), 2, 20000);
    EXPECT_EQ(status(), QStringLiteral("The index of this folder lists fewer messages than its file "
                                       "counts. 2 more messages were found in its file."));
    std::vector<std::string> subjects;
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(recordOfRow(row).origin, MessageOrigin::Orphaned);
        const QIcon mark =
            qvariant_cast<QIcon>(ui->model->index(row, ColPriority).data(Qt::DecorationRole));
        EXPECT_FALSE(mark.isNull());
        subjects.push_back(recordOfRow(row).subject);
    }
    std::sort(subjects.begin(), subjects.end());
    EXPECT_EQ(subjects, (std::vector<std::string>{"First", "Second"}));

    // The preview reads a found one as the scan found it.
    ui->list->selectionModel()->setCurrentIndex(
        ui->model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const std::string page = readFile(program.mailPage());
    EXPECT_TRUE(page.find("FIRST") != std::string::npos || page.find("SECOND") != std::string::npos);

    // The switch adds deleted ones (none here) and keeps the word on the index.
    auto* offer = child<QToolButton>(*form, "recoverButton");
    ASSERT_TRUE(offer->isVisible());
    offer->click();
    EXPECT_TRUE(action->isChecked());
    QTRY_COMPARE_WITH_TIMEOUT(status().contains(QStringLiteral("Found 0 deleted and 2 orphaned")),
                              true, 20000);
    EXPECT_TRUE(status().startsWith(QStringLiteral("The index of this folder lists fewer")));
    EXPECT_EQ(ui->model->rowCount(), 2);

    // A folder clicked while a scan runs never gets the stale rows.
    clickFolder(QStringLiteral("Inbox"));
    clickFolder(QStringLiteral("Broken"));
    QTRY_COMPARE_WITH_TIMEOUT(status().contains(QStringLiteral("Found")), true, 20000);
    EXPECT_EQ(ui->model->rowCount(), 2);
    EXPECT_EQ(form->recoveredMessages()->fileName, "Broken.dbx");
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace lumbrook
