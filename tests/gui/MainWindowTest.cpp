// The real window on a store written for each test.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QLabel>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "page/Page.h"
#include "platform/browser/PageView.h"
#include "store/MailStore.h"
#include "tests/gui/WindowFixture.h"

namespace lumbrook {
namespace {

class MainWindowTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        writeFolders(store.path(), {
                                       {0, std::nullopt, "Outlook Express", std::nullopt, false},
                                       {1, 0, "Local Folders", std::nullopt, false},
                                       {4, 1, "Inbox", "Inbox.dbx", true},
                                       {20, 1, "Empty", "Empty.dbx", false},
                                       {21, 1, "Gone", "Gone.dbx", false},
                                   });
        writeMessages(
            store.path(), "Inbox.dbx",
            {
                plainMessage(1, "anna@example.org", "Older", Jan2020, "MARK-OLDER"),
                htmlMessage(2, "bob@example.org", "Newest", Jan2020 + 400 * 86400,
                            "<p>MARK-NEWEST</p>"),
                plainMessage(3, "carl@example.org", "Middle", Jan2020 + 100 * 86400, "MARK-MIDDLE"),
                // A Content-ID that would write outside the working directory.
                [] {
                    DbxMessage m =
                        plainMessage(4, "eve@example.org", "Sneaky", Jan2020 - 86400, "");
                    m.rawText =
                        "Subject: Sneaky\r\nContent-Type: multipart/related; "
                        "boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n"
                        "<img src=\"cid:x\">\r\n--b\r\nContent-Type: image/gif\r\n"
                        "Content-ID: <../escaped>\r\n\r\nGIF\r\n--b--\r\n";
                    return m;
                }(),
            });
        writeMessages(store.path(), "Empty.dbx", {});
    }

    // Opens the window and waits for its first page.
    void open() {
        WindowFixture::open();
        waitForPage();
    }

    void clickRow(int row) {
        QTreeView* list = ui->list;
        const QRect rect = list->visualRect(ui->model->index(row, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    std::string subjectOfRow(int row) const {
        return form->messages()[ui->model->recordIndex(row)].subject;
    }

    // The preview page after the charset and policy every page starts with.
    std::string previewPage() const {
        const std::string page = readFile(program.mailPage());
        const std::string head = pageHeadElements() + "\r\n";
        EXPECT_EQ(page.rfind(head, 0), 0u) << page;
        return page.starts_with(head) ? page.substr(head.size()) : page;
    }

    template <typename T>
    T* box(const char* name) const {
        return child<T>(*form, name);
    }
};

TEST_F(MainWindowTest, StartUpListsTheThirdNodeAndPreviewsTheNewestMessage) {
    open();
    EXPECT_TRUE(errors.empty());
    // The folder and the store first, then the program.
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Inbox - %1 - Harlstone Lumbrook 1.0")
                                       .arg(QDir::cleanPath(QString::fromStdString(store.path()))));
    ASSERT_NE(ui->tree->currentItem(), nullptr);
    EXPECT_EQ(ui->tree->currentItem()->text(0), QStringLiteral("Inbox (4/4)"));
    EXPECT_EQ(form->folderFile(), "Inbox.dbx");
    ASSERT_EQ(ui->model->rowCount(), 4);
    EXPECT_EQ(subjectOfRow(0), "Newest");
    EXPECT_EQ(form->firstSelectedRow(), 0);

    // The last template is chosen and applied, with the header table.
    EXPECT_EQ(box<QComboBox>("designBox")->currentText(), QStringLiteral("sign.htm"));
    const std::string page = previewPage();
    EXPECT_NE(page.find("<p>MARK-NEWEST</p>"), std::string::npos);
    EXPECT_NE(page.find("<b>From:</b>"), std::string::npos);
    EXPECT_NE(page.find("Newest of bob@example.org to reader@example.org from "),
              std::string::npos);
    EXPECT_EQ(form->previewFolder(), "Inbox.dbx");
    EXPECT_EQ(form->previewOffset(), form->messages()[ui->model->recordIndex(0)].dataOffset);
    EXPECT_EQ(ui->view->locationUrl().toStdString(), program.mailPage());
    EXPECT_EQ(form->workingFiles().paths(), std::vector<std::string>{program.mailPage()});
}

TEST_F(MainWindowTest, RowClicksRenderOnlyAMessageNotOnShow) {
    open();
    clickRow(1);
    waitForPage();
    EXPECT_EQ(subjectOfRow(1), "Middle");
    EXPECT_NE(previewPage().find("MARK-MIDDLE<BR>"), std::string::npos);
    EXPECT_EQ(form->previewOffset(), form->messages()[ui->model->recordIndex(1)].dataOffset);

    // The message on show is not rendered again.
    std::remove(program.mailPage().c_str());
    emit ui->list->selectionModel()->selectionChanged({}, {});
    EXPECT_FALSE(exists(program.mailPage()));

    // Adding a row below the first selected one changes nothing either.
    clickRow(2);
    waitForPage();
    QTreeView* list = ui->list;
    std::remove(program.mailPage().c_str());
    const QRect below = list->visualRect(ui->model->index(3, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, below.center());
    EXPECT_EQ(ui->list->selectionModel()->selectedRows().size(), 2);
    EXPECT_FALSE(exists(program.mailPage()));
}

TEST_F(MainWindowTest, SelectAllMarksEveryRowWithoutRendering) {
    open();
    QItemSelectionModel* selection = ui->list->selectionModel();
    // A alone is no Select all (it only searches the rows, as any letter does).
    QTest::keyClick(ui->list, Qt::Key_A);
    EXPECT_LT(selection->selectedRows().size(), 4);

    const std::int32_t before = form->previewOffset();
    clickRow(0);
    if (form->previewOffset() != before) waitForPage();
    const std::int32_t shown = form->previewOffset();
    std::remove(program.mailPage().c_str());
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::ControlModifier | Qt::ShiftModifier,
          Qt::ControlModifier | Qt::AltModifier}) {
        selection->select(ui->model->index(0, 0),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QTest::keyClick(ui->list, Qt::Key_A, modifiers);
        EXPECT_EQ(selection->selectedRows().size(), 4) << modifiers.toInt();
    }
    selection->select(ui->model->index(0, 0),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::mouseClick(toolButton(*form, "selectAllAction"), Qt::LeftButton);
    EXPECT_EQ(selection->selectedRows().size(), 4);
    EXPECT_EQ(form->previewOffset(), shown);
    EXPECT_FALSE(exists(program.mailPage()));
}

TEST_F(MainWindowTest, OptionsStripRendersTheMessageAgain) {
    open();
    QTest::mouseClick(box<QCheckBox>("showFromField"), Qt::LeftButton);
    waitForPage();
    std::string page = previewPage();
    EXPECT_EQ(page.find("<b>From:</b>"), std::string::npos);
    EXPECT_NE(page.find("<b>To:</b>"), std::string::npos);

    QTest::mouseClick(box<QCheckBox>("previewWithDesign"), Qt::LeftButton);
    waitForPage();
    EXPECT_EQ(previewPage(), "<p>MARK-NEWEST</p>\r\n");

    QTest::mouseClick(box<QCheckBox>("previewWithDesign"), Qt::LeftButton);
    waitForPage();
    box<QComboBox>("designBox")->setCurrentIndex(0);  // plain.htm
    emit box<QComboBox>("designBox")->activated(0);
    waitForPage();
    page = previewPage();
    EXPECT_EQ(page.rfind("<html><body>\r\n", 0), 0u);
    EXPECT_EQ(page.find("Newest of "), std::string::npos);
}

TEST_F(MainWindowTest, ClosingDeletesTheWorkingFilesAndSavesTheOptions) {
    open();
    QTest::mouseClick(box<QCheckBox>("previewWithDesign"), Qt::LeftButton);
    QTest::mouseClick(box<QCheckBox>("showSubjectField"), Qt::LeftButton);
    waitForPage();
    box<QComboBox>("designBox")->setCurrentIndex(0);
    ASSERT_TRUE(exists(program.mailPage()));
    form.reset();
    EXPECT_FALSE(exists(program.mailPage()));
    EXPECT_TRUE(exists(program.paths.workDir));
    // Template 0; previewWithDesign off; From, To on; Subject off; Date on.
    const std::string expected("\0\0\0\0\0\0\0\0\1\0\0\0\1\0\0\0\0\0\0\0\1\0\0\0", 24);
    EXPECT_EQ(readFile(program.paths.optionsFile), expected);
}

TEST_F(MainWindowTest, OptionsFileSetsTheStripAtStartUp) {
    // -1, 0, 1, 1, 0, 1: no template; previewWithDesign off; From, To on; Subject off; Date on.
    writeFile(program.paths.optionsFile,
              std::string("\xFF\xFF\xFF\xFF\0\0\0\0\1\0\0\0\1\0\0\0\0\0\0\0\1\0\0\0", 24));
    open();
    EXPECT_EQ(box<QComboBox>("designBox")->currentIndex(), -1);
    EXPECT_FALSE(box<QCheckBox>("previewWithDesign")->isChecked());
    EXPECT_TRUE(box<QCheckBox>("showFromField")->isChecked());
    EXPECT_TRUE(box<QCheckBox>("showToField")->isChecked());
    EXPECT_FALSE(box<QCheckBox>("showSubjectField")->isChecked());
    EXPECT_TRUE(box<QCheckBox>("showDateField")->isChecked());
    EXPECT_EQ(previewPage(), "<p>MARK-NEWEST</p>\r\n");
}

TEST_F(MainWindowTest, FolderClicksRefillTheListAndKeepThePreview) {
    open();
    clickFolder(QStringLiteral("Empty"));
    EXPECT_EQ(form->folderFile(), "Empty.dbx");
    EXPECT_EQ(ui->model->rowCount(), 0);
    EXPECT_NE(previewPage().find("MARK-NEWEST"), std::string::npos);
    EXPECT_EQ(form->previewFolder(), "Inbox.dbx");

    clickFolder(QStringLiteral("Gone"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Gone.dbx kann nicht ge\xC3\xB6"
                             "ffnet werden"),
              std::string::npos);
    EXPECT_EQ(ui->model->rowCount(), 0);

    clickFolder(QStringLiteral("Inbox"));
    EXPECT_EQ(ui->model->rowCount(), 4);
    EXPECT_TRUE(ui->list->selectionModel()->selectedRows().isEmpty());
    // Listing a folder selects nothing; a row click previews as before.
    clickRow(1);
    waitForPage();
    EXPECT_NE(previewPage().find("MARK-MIDDLE"), std::string::npos);
}

TEST_F(MainWindowTest, HeadingClicksReorderAndKeepTheSelection) {
    open();
    const int date = ColDate;
    const QHeaderView* header = ui->list->header();
    auto clickHeading = [&](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    clickHeading(date);
    EXPECT_EQ(subjectOfRow(0), "Sneaky");  // oldest first
    EXPECT_EQ(subjectOfRow(3), "Newest");
    EXPECT_EQ(form->firstSelectedRow(), 3);  // the selection went with its message
    clickHeading(ColSubject);
    EXPECT_EQ(subjectOfRow(0), "Middle");
    clickHeading(ColSubject);
    EXPECT_EQ(subjectOfRow(0), "Sneaky");
}

TEST_F(MainWindowTest, FailuresAreReportedAndTheWindowGoesOn) {
    open();
    EXPECT_EQ(subjectOfRow(3), "Sneaky");
    clickRow(3);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Message/../escaped kann nicht erstellt werden"), std::string::npos);
    EXPECT_FALSE(exists(program.dir.path() + "escaped"));
    // The refused part is reported; the message itself is still shown.
    waitForPage();
    EXPECT_EQ(ui->view->locationUrl().toStdString(), program.mailPage());

    clickRow(2);
    waitForPage();
    EXPECT_NE(previewPage().find("MARK-OLDER"), std::string::npos);
}

TEST_F(MainWindowTest, ClearingTheSelectionEmptiesThePreview) {
    open();
    ui->list->selectionModel()->clearSelection();
    waitForPage();
    EXPECT_EQ(form->previewOffset(), -1);
    EXPECT_EQ(form->previewFolder(), "");
    EXPECT_TRUE(ui->view->locationUrl().isEmpty());
    // The same message selected again is rendered anew.
    std::remove(program.mailPage().c_str());
    clickRow(0);
    waitForPage();
    EXPECT_TRUE(exists(program.mailPage()));
}

TEST_F(MainWindowTest, WithoutAFolderListEveryFolderFileIsShownAndTheStatusBarSaysWhy) {
    // Chosen or dropped, a folder file stands for its directory while a folder list
    // lies beside it, and for itself once none does.
    const std::string inbox = store.path() + "Inbox.dbx";
    const std::string directory = store.path().substr(0, store.path().size() - 1);
    EXPECT_EQ(MainWindow::storeDirectoryOf(QString::fromStdString(inbox)), directory);
    std::remove((store.path() + "Folders.dbx").c_str());
    EXPECT_EQ(MainWindow::storeDirectoryOf(QString::fromStdString(inbox)), inbox);
    form = std::make_unique<MainWindow>(MailStore(store.path()), program.paths);
    ui = std::make_unique<MainWindowControls>(*form);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(ui->tree->topLevelItemCount(), 2);
    EXPECT_TRUE(ui->tree->topLevelItem(0)->text(0).startsWith(QStringLiteral("Empty.dbx")));
    EXPECT_TRUE(ui->tree->topLevelItem(1)->text(0).startsWith(QStringLiteral("Inbox.dbx")));
    EXPECT_EQ(child<QLabel>(*form, "statusText")->text().toStdString(),
              "No folder list " + store.path() +
                  "folders.dbx: every folder file is listed by its file name.");

    // With no folder file either, the window starts empty and says what it missed.
    ui.reset();
    form.reset();
    std::remove((store.path() + "Inbox.dbx").c_str());
    std::remove((store.path() + "Empty.dbx").c_str());
    form = std::make_unique<MainWindow>(MailStore(store.path()), program.paths);
    ui = std::make_unique<MainWindowControls>(*form);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Datei " + store.path() +
                             "folders.dbx kann nicht ge\xC3\xB6"
                             "ffnet werden");
    EXPECT_EQ(ui->tree->topLevelItemCount(), 0);
    EXPECT_EQ(ui->model->rowCount(), 0);
    EXPECT_TRUE(child<QLabel>(*form, "statusText")->text().isEmpty());
    EXPECT_EQ(form->folderFile(), "folders.dbx");
    form.reset();
    EXPECT_TRUE(exists(program.paths.optionsFile));
}

TEST_F(MainWindowTest, TheListKeepsItsShareOfThePanel) {
    open();
    auto* splitter = child<QSplitter>(*form, "rightSplitter");
    form->resize(800, 700);
    QTest::qWait(50);
    const int panel = splitter->height();
    EXPECT_EQ(ui->list->height(), panel * 50 / 100);

    // A drag to 95 % is kept at 90 %, one to 30 % as it is, through resizes.
    for (const int dragged : {95, 30}) {
        splitter->setSizes({panel * dragged / 100, panel - panel * dragged / 100});
        const int ratio = std::min(90, ui->list->height() * 100 / splitter->height());
        emit splitter->splitterMoved(ui->list->height(), 1);
        form->resize(800, 600 + dragged);
        QTest::qWait(50);
        EXPECT_EQ(ui->list->height(), splitter->height() * ratio / 100) << dragged;
    }
}

}  // namespace
}  // namespace lumbrook
