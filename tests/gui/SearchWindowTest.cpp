// The search field of the real window on a store of two folders: the hits of both
// folders listed together, each read from its own folder file by the preview and by
// saving, and the way back to the folder.

#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/Modal.h"
#include "platform/browser/PageView.h"
#include "store/MailStore.h"
#include "tests/gui/WindowFixture.h"
#include "windows/SaveExportDialog.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;

// A message in Windows-1252, as the mail client wrote them.
DbxMessage latin1Message(std::int32_t id, const std::string& subject, std::int64_t when,
                         const std::string& body) {
    DbxMessage m = plainMessage(id, "anna@example.org", subject, when, "");
    m.rawText = "From: anna@example.org\r\nSubject: " + subject +
                "\r\nContent-Type: text/plain; charset=windows-1252\r\n\r\n" + body + "\r\n";
    return m;
}

// Waits for condition, with a generous bound against a hang only.
bool waitFor(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 30000) return false;
        QTest::qWait(10);
    }
    return true;
}

class SearchWindowTest : public WindowFixture {
  protected:
    void SetUp() override {
        // The index goes into a cache of the test's own.
        const char* cache = std::getenv("XDG_CACHE_HOME");
        if (cache) previousCache = cache;
        ::setenv("XDG_CACHE_HOME", (cacheDir.path() + "cache").c_str(), 1);
        WindowFixture::SetUp();
        writeFolders(store.path(), {
                                       {0, std::nullopt, "Outlook Express", std::nullopt, false},
                                       {1, 0, "Local Folders", std::nullopt, false},
                                       {4, 1, "Inbox", "Inbox.dbx", true},
                                       {20, 1, "Archive", "Archive.dbx", false},
                                   });
        // The hits are the first record of each file: the same data offset in both,
        // told apart only by their folder files.
        writeMessages(store.path(), "Inbox.dbx",
                      {inboxHit, latin1Message(2, "Lunch", Jan2020 + 86400, "INBOX-OTHER")});
        writeMessages(store.path(), "Archive.dbx",
                      {archiveHit, latin1Message(4, "Minutes", Jan2020 + 3 * 86400, "ARCHIVE-OTHER")});
        fs::create_directories(out);
    }

    void TearDown() override {
        WindowFixture::TearDown();
        if (previousCache) {
            ::setenv("XDG_CACHE_HOME", previousCache->c_str(), 1);
        } else {
            ::unsetenv("XDG_CACHE_HOME");
        }
    }

    void open() {
        WindowFixture::open(MailStore(store.path(), CodePage::fromSetting("1252")));
        waitForPage();
    }

    QLineEdit* field() const { return child<QLineEdit>(*form, "searchField"); }
    QString status() const { return child<QLabel>(*form, "statusText")->text(); }
    std::string cell(int row, int column) const {
        return ui->model->index(row, column).data().toString().toStdString();
    }
    int rowOfSubject(const std::string& subject) const {
        for (int row = 0; row < ui->model->rowCount(); ++row)
            if (cell(row, ColSubject) == subject) return row;
        return -1;
    }

    const DbxMessage inboxHit =
        latin1Message(1, "Treffen mit M\xFC" "ller", Jan2020, "INBOX-HIT agenda");
    const DbxMessage archiveHit =
        latin1Message(3, "Notes", Jan2020 + 2 * 86400, "Frau M\xFC" "ller kam. ARCHIVE-HIT");

    TempDir cacheDir;
    std::optional<std::string> previousCache;
};

TEST_F(SearchWindowTest, HitsOfBothFoldersAreListedPreviewedAndSavedFromTheirOwnFiles) {
    open();
    ASSERT_EQ(form->folderFile(), "Inbox.dbx");
    const QString folderTitle = form->windowTitle();
    const std::int32_t folderPreview = form->previewOffset();

    // Ctrl+F leads to the field, accents and case aside "muller" finds "Müller".
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ui->list->setFocus();
    QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(field()->hasFocus());
    QTest::keyClicks(field(), QStringLiteral("muller"));
    QTest::keyClick(field(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return form->showingSearchResults(); })) << status().toStdString();
    waitForPage();

    ASSERT_EQ(ui->model->rowCount(), 2);
    EXPECT_FALSE(ui->list->isColumnHidden(ColFolder));
    EXPECT_EQ(ui->model->headerData(ColFolder, Qt::Horizontal).toString(), QStringLiteral("Folder"));
    std::map<std::string, std::string> folderOfSubject;
    for (int row = 0; row < 2; ++row) folderOfSubject[cell(row, ColSubject)] = cell(row, ColFolder);
    EXPECT_EQ(folderOfSubject, (std::map<std::string, std::string>{
                                   {"Treffen mit M\u00fcller", "Outlook Express/Local Folders/Inbox"},
                                   {"Notes", "Outlook Express/Local Folders/Archive"}}));
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("Search results (2)")))
        << form->windowTitle().toStdString();
    EXPECT_TRUE(ui->tree->selectedItems().isEmpty());
    // Best match first (the subject weighs more than the body) until a column is
    // clicked; the Folder column groups the hits by folder.
    EXPECT_EQ(cell(0, ColSubject), "Treffen mit M\u00fcller");
    QHeaderView* header = ui->list->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(ColFolder) + 10, header->height() / 2));
    EXPECT_EQ(cell(0, ColFolder), "Outlook Express/Local Folders/Archive");
    EXPECT_EQ(cell(1, ColFolder), "Outlook Express/Local Folders/Inbox");

    // The preview reads the Archive hit from Archive.dbx, not from the offset in Inbox.dbx.
    const int archiveRow = rowOfSubject("Notes");
    ASSERT_GE(archiveRow, 0);
    ui->list->selectionModel()->setCurrentIndex(
        ui->model->index(archiveRow, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    waitForPage();
    const std::string page = readFile(program.mailPage());
    EXPECT_NE(page.find("ARCHIVE-HIT"), std::string::npos);
    EXPECT_EQ(page.find("INBOX-HIT"), std::string::npos);

    // Saving both hits writes each one's own text.
    ui->list->selectAll();
    child<QAction>(*form, "saveAction")->trigger();
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(out)) written.push_back(readFile(entry.path()));
    std::sort(written.begin(), written.end());
    std::vector<std::string> expected{inboxHit.rawText, archiveHit.rawText};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(written, expected);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("There became 2"), std::string::npos) << boxes[0].text;

    // A query that cannot be read says where in the status bar; the hits stay.
    field()->selectAll();
    QTest::keyClicks(field(), QStringLiteral("muller \"open"));
    QTest::keyClick(field(), Qt::Key_Return);
    EXPECT_EQ(status(), QStringLiteral("Cannot search: unclosed quote at column 8"));
    EXPECT_TRUE(form->showingSearchResults());
    EXPECT_EQ(ui->model->rowCount(), 2);
    EXPECT_EQ(boxes.size(), 1u);

    // Escape in the list: the folder listed before, as it was.
    ui->list->setFocus();
    QTest::keyClick(ui->list, Qt::Key_Escape);
    EXPECT_FALSE(form->showingSearchResults());
    EXPECT_EQ(form->folderFile(), "Inbox.dbx");
    EXPECT_EQ(ui->model->rowCount(), 2);
    EXPECT_NE(rowOfSubject("Lunch"), -1);
    EXPECT_TRUE(ui->list->isColumnHidden(ColFolder));
    EXPECT_EQ(form->windowTitle(), folderTitle);
    ASSERT_NE(ui->tree->currentItem(), nullptr);
    EXPECT_TRUE(ui->tree->currentItem()->text(0).startsWith(QStringLiteral("Inbox")));
    // The preview shows the folder's message of before, not a hit of another folder.
    EXPECT_EQ(form->previewFolder(), "Inbox.dbx");
    EXPECT_EQ(form->previewOffset(), folderPreview);

    // A search that finds nothing says so where the hits would be.
    auto search = [&](const QString& query) {
        field()->setFocus();
        field()->selectAll();
        QTest::keyClicks(field(), query);
        QTest::keyClick(field(), Qt::Key_Return);
    };
    search(QStringLiteral("zzqx"));
    ASSERT_TRUE(waitFor([&] { return form->showingSearchResults(); })) << status().toStdString();
    auto* noResults = child<QLabel>(*form, "noResultsText");
    EXPECT_EQ(ui->model->rowCount(), 0);
    EXPECT_TRUE(noResults->isVisible());
    EXPECT_EQ(noResults->text(), QStringLiteral("No messages match \"zzqx\"."));
    EXPECT_EQ(status(), QStringLiteral("0 messages found"));

    // Show in folder: a hit among the messages of its own folder, selected there.
    search(QStringLiteral("muller"));
    ASSERT_TRUE(waitFor([&] { return ui->model->rowCount() == 2; }));
    EXPECT_EQ(status(), QStringLiteral("2 messages found"));
    EXPECT_FALSE(noResults->isVisible());
    ui->list->selectionModel()->setCurrentIndex(
        ui->model->index(rowOfSubject("Notes"), 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    child<QAction>(*form, "showInFolderAction")->trigger();
    EXPECT_FALSE(form->showingSearchResults());
    EXPECT_EQ(form->folderFile(), "Archive.dbx");
    ASSERT_GE(form->firstSelectedRow(), 0);
    EXPECT_EQ(cell(form->firstSelectedRow(), ColSubject), "Notes");
    EXPECT_EQ(form->previewFolder(), "Archive.dbx");
    EXPECT_TRUE(errors.empty()) << errors.front();
}

}  // namespace
}  // namespace lumbrook
