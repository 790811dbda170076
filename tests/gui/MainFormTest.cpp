// The real window on a store written for each test.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

#include "mainwindow/Controls.h"
#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainUnit.h"
#include "mainwindow/MessageListModel.h"
#include "platform/browser/WebBrowser.h"
#include "store/oexpress.h"
#include "tests/gui/GuiTestStore.h"

namespace lumbrook {
namespace {

constexpr std::int64_t Jan2020 = 1'577'836'800;

class MainFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetStoreRootOverride(Store.Path());
        Previous = SetErrorReporter(
            [this](QWidget*, const QString& text) { Errors.push_back(text.toStdString()); });
        WriteFolders(Store.Path(), {
                                       {0, std::nullopt, "Outlook Express", std::nullopt, false},
                                       {1, 0, "Local Folders", std::nullopt, false},
                                       {4, 1, "Inbox", "Inbox.dbx", true},
                                       {20, 1, "Empty", "Empty.dbx", false},
                                       {21, 1, "Gone", "Gone.dbx", false},
                                   });
        WriteMessages(
            Store.Path(), "Inbox.dbx",
            {
                PlainMessage(1, "anna@example.org", "Older", Jan2020, "MARK-OLDER"),
                HtmlMessage(2, "bob@example.org", "Newest", Jan2020 + 400 * 86400,
                            "<p>MARK-NEWEST</p>"),
                PlainMessage(3, "carl@example.org", "Middle", Jan2020 + 100 * 86400, "MARK-MIDDLE"),
                // A Content-ID that would write outside the working directory.
                [] {
                    TDbxMessage m =
                        PlainMessage(4, "eve@example.org", "Sneaky", Jan2020 - 86400, "");
                    m.RawText =
                        "Subject: Sneaky\r\nContent-Type: multipart/related; "
                        "boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n"
                        "<img src=\"cid:x\">\r\n--b\r\nContent-Type: image/gif\r\n"
                        "Content-ID: <../escaped>\r\n\r\nGIF\r\n--b--\r\n";
                    return m;
                }(),
            });
        WriteMessages(Store.Path(), "Empty.dbx", {});
    }

    void TearDown() override {
        Form.reset();
        SetErrorReporter(Previous);
        SetStoreRootOverride(std::nullopt);
    }

    // Creates the window and waits for its first page.
    void Open() {
        Form = std::make_unique<TMainForm>(Program.Paths);
        Loaded = std::make_unique<QSignalSpy>(Form->WebBrowser1, &TWebBrowser::DownloadComplete);
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        WaitForPage();
    }

    void WaitForPage() {
        if (Loaded->isEmpty()) {
            ASSERT_TRUE(Loaded->wait(15000));
        }
        Loaded->clear();
    }

    void ClickRow(int row) {
        QTreeView* list = Form->ListView1;
        const QRect rect = list->visualRect(Form->ListModel->index(row, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    void ClickFolder(const QString& name) {
        const auto items = Form->TreeView1->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(items.size(), 1);
        const QRect rect = Form->TreeView1->visualItemRect(items.front());
        QTest::mouseClick(Form->TreeView1->viewport(), Qt::LeftButton, {}, rect.center());
    }

    std::string SubjectOfRow(int row) const {
        return Form->MessageList[Form->ListModel->RecordIndex(row)].Subject;
    }

    std::string Page() const { return ReadFile(Program.MailPage()); }

    TTempDir Store;
    TTestProgram Program;
    std::vector<std::string> Errors;
    TErrorReporter Previous;
    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<QSignalSpy> Loaded;
};

TEST_F(MainFormTest, StartUpListsTheThirdNodeAndPreviewsTheNewestMessage) {
    Open();
    EXPECT_TRUE(Errors.empty());
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Harlstone Lumbrook 1.0"));
    ASSERT_NE(Form->TreeView1->currentItem(), nullptr);
    EXPECT_EQ(Form->TreeView1->currentItem()->text(0), QStringLiteral("Inbox"));
    EXPECT_EQ(Form->FolderFile, "Inbox.dbx");
    ASSERT_EQ(Form->ListModel->rowCount(), 4);
    EXPECT_EQ(SubjectOfRow(0), "Newest");
    EXPECT_EQ(Form->FirstSelectedRow(), 0);

    // The last template is chosen and applied, with the header table.
    EXPECT_EQ(Form->DesignBox->currentText(), QStringLiteral("sign.htm"));
    const std::string page = Page();
    EXPECT_NE(page.find("<p>MARK-NEWEST</p>"), std::string::npos);
    EXPECT_NE(page.find("<b>From:</b>"), std::string::npos);
    EXPECT_NE(page.find("Newest of bob@example.org to reader@example.org from "),
              std::string::npos);
    EXPECT_EQ(Form->PreviewFolder, "Inbox.dbx");
    EXPECT_EQ(Form->PreviewOffset, Form->MessageList[Form->ListModel->RecordIndex(0)].DataOffset);
    EXPECT_EQ(Form->WebBrowser1->LocationURL().toStdString(), Program.MailPage());
    EXPECT_EQ(Form->TempFiles.Paths(), std::vector<std::string>{Program.MailPage()});
}

TEST_F(MainFormTest, RowClicksRenderOnlyAMessageNotOnShow) {
    Open();
    ClickRow(1);
    WaitForPage();
    EXPECT_EQ(SubjectOfRow(1), "Middle");
    EXPECT_NE(Page().find("MARK-MIDDLE<BR>"), std::string::npos);
    EXPECT_EQ(Form->PreviewOffset, Form->MessageList[Form->ListModel->RecordIndex(1)].DataOffset);

    // The message on show is not rendered again.
    std::remove(Program.MailPage().c_str());
    Form->ListView1Change();
    EXPECT_FALSE(Exists(Program.MailPage()));

    // Adding a row below the first selected one changes nothing either.
    ClickRow(2);
    WaitForPage();
    QTreeView* list = Form->ListView1;
    std::remove(Program.MailPage().c_str());
    const QRect below = list->visualRect(Form->ListModel->index(3, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, below.center());
    EXPECT_EQ(Form->ListView1->selectionModel()->selectedRows().size(), 2);
    EXPECT_FALSE(Exists(Program.MailPage()));
}

TEST_F(MainFormTest, SelectAllMarksEveryRowWithoutRendering) {
    Open();
    QItemSelectionModel* selection = Form->ListView1->selectionModel();
    // A alone is no Select all (it only searches the rows, as any letter does).
    QTest::keyClick(Form->ListView1, Qt::Key_A);
    EXPECT_LT(selection->selectedRows().size(), 4);

    const std::int32_t before = Form->PreviewOffset;
    ClickRow(0);
    if (Form->PreviewOffset != before) WaitForPage();
    const std::int32_t shown = Form->PreviewOffset;
    std::remove(Program.MailPage().c_str());
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::ControlModifier | Qt::ShiftModifier,
          Qt::ControlModifier | Qt::AltModifier}) {
        selection->select(Form->ListModel->index(0, 0),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QTest::keyClick(Form->ListView1, Qt::Key_A, modifiers);
        EXPECT_EQ(selection->selectedRows().size(), 4) << modifiers.toInt();
    }
    selection->select(Form->ListModel->index(0, 0),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::mouseClick(Form->QuitBtn, Qt::LeftButton);
    EXPECT_EQ(selection->selectedRows().size(), 4);
    EXPECT_FALSE(Form->SelectingAll);
    EXPECT_EQ(Form->PreviewOffset, shown);
    EXPECT_FALSE(Exists(Program.MailPage()));
}

TEST_F(MainFormTest, OptionsStripRendersTheMessageAgain) {
    Open();
    QTest::mouseClick(Form->voncheck, Qt::LeftButton);
    WaitForPage();
    std::string page = Page();
    EXPECT_EQ(page.find("<b>From:</b>"), std::string::npos);
    EXPECT_NE(page.find("<b>To:</b>"), std::string::npos);

    QTest::mouseClick(Form->ShowHead, Qt::LeftButton);
    WaitForPage();
    EXPECT_EQ(Page(), "<p>MARK-NEWEST</p>\r\n");

    QTest::mouseClick(Form->ShowHead, Qt::LeftButton);
    WaitForPage();
    Form->DesignBox->setCurrentIndex(0);  // plain.htm
    emit Form->DesignBox->activated(0);
    WaitForPage();
    page = Page();
    EXPECT_EQ(page.rfind("<html><body>\r\n", 0), 0u);
    EXPECT_EQ(page.find("Newest of "), std::string::npos);
}

TEST_F(MainFormTest, ClosingDeletesTheWorkingFilesAndSavesTheOptions) {
    Open();
    QTest::mouseClick(Form->ShowHead, Qt::LeftButton);
    QTest::mouseClick(Form->betreffcheck, Qt::LeftButton);
    WaitForPage();
    Form->DesignBox->setCurrentIndex(0);
    ASSERT_TRUE(Exists(Program.MailPage()));
    Form.reset();
    EXPECT_FALSE(Exists(Program.MailPage()));
    EXPECT_TRUE(Exists(Program.Paths.WorkDir));
    // Template 0; ShowHead off; From, To on; Subject off; Date on.
    const std::string expected("\0\0\0\0\0\0\0\0\1\0\0\0\1\0\0\0\0\0\0\0\1\0\0\0", 24);
    EXPECT_EQ(ReadFile(Program.Paths.OptionsFile), expected);
}

TEST_F(MainFormTest, OptionsFileSetsTheStripAtStartUp) {
    // -1, 0, 1, 1, 0, 1: no template; ShowHead off; From, To on; Subject off; Date on.
    WriteFile(Program.Paths.OptionsFile,
              std::string("\xFF\xFF\xFF\xFF\0\0\0\0\1\0\0\0\1\0\0\0\0\0\0\0\1\0\0\0", 24));
    Open();
    EXPECT_EQ(Form->DesignBox->currentIndex(), -1);
    EXPECT_FALSE(Form->ShowHead->isChecked());
    EXPECT_TRUE(Form->voncheck->isChecked());
    EXPECT_TRUE(Form->ancheck->isChecked());
    EXPECT_FALSE(Form->betreffcheck->isChecked());
    EXPECT_TRUE(Form->datumcheck->isChecked());
    EXPECT_EQ(Page(), "<p>MARK-NEWEST</p>\r\n");
}

TEST_F(MainFormTest, FolderClicksRefillTheListAndKeepThePreview) {
    Open();
    ClickFolder(QStringLiteral("Empty"));
    EXPECT_EQ(Form->FolderFile, "Empty.dbx");
    EXPECT_EQ(Form->ListModel->rowCount(), 0);
    EXPECT_NE(Page().find("MARK-NEWEST"), std::string::npos);
    EXPECT_EQ(Form->PreviewFolder, "Inbox.dbx");

    ClickFolder(QStringLiteral("Gone"));
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(Errors[0].find("Gone.dbx kann nicht ge\xC3\xB6"
                             "ffnet werden"),
              std::string::npos);
    EXPECT_EQ(Form->ListModel->rowCount(), 0);

    ClickFolder(QStringLiteral("Inbox"));
    EXPECT_EQ(Form->ListModel->rowCount(), 4);
    EXPECT_TRUE(Form->ListView1->selectionModel()->selectedRows().isEmpty());
    // Listing a folder selects nothing; a row click previews as before.
    ClickRow(1);
    WaitForPage();
    EXPECT_NE(Page().find("MARK-MIDDLE"), std::string::npos);
}

TEST_F(MainFormTest, HeadingClicksReorderAndKeepTheSelection) {
    Open();
    const int date = ColDate;
    const QHeaderView* header = Form->ListView1->header();
    auto clickHeading = [&](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    clickHeading(date);
    EXPECT_EQ(SubjectOfRow(0), "Sneaky");  // oldest first
    EXPECT_EQ(SubjectOfRow(3), "Newest");
    EXPECT_EQ(Form->FirstSelectedRow(), 3);  // the selection went with its message
    clickHeading(ColSubject);
    EXPECT_EQ(SubjectOfRow(0), "Middle");
    clickHeading(ColSubject);
    EXPECT_EQ(SubjectOfRow(0), "Sneaky");
}

TEST_F(MainFormTest, FailuresAreReportedAndTheWindowGoesOn) {
    Open();
    EXPECT_EQ(SubjectOfRow(3), "Sneaky");
    ClickRow(3);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(Errors[0].find("Message/../escaped kann nicht erstellt werden"), std::string::npos);
    EXPECT_FALSE(Exists(Program.Dir.Path() + "escaped"));

    ClickRow(2);
    WaitForPage();
    EXPECT_NE(Page().find("MARK-OLDER"), std::string::npos);
}

TEST_F(MainFormTest, ClearingTheSelectionEmptiesThePreview) {
    Open();
    Form->ListView1->selectionModel()->clearSelection();
    WaitForPage();
    EXPECT_EQ(Form->PreviewOffset, -1);
    EXPECT_EQ(Form->PreviewFolder, "");
    EXPECT_TRUE(Form->WebBrowser1->LocationURL().isEmpty());
    // The same message selected again is rendered anew.
    std::remove(Program.MailPage().c_str());
    ClickRow(0);
    WaitForPage();
    EXPECT_TRUE(Exists(Program.MailPage()));
}

TEST_F(MainFormTest, WithoutAFolderListTheWindowStartsEmpty) {
    std::remove((Store.Path() + "Folders.dbx").c_str());
    Form = std::make_unique<TMainForm>(Program.Paths);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "Datei " + Store.Path() +
                             "folders.dbx kann nicht ge\xC3\xB6"
                             "ffnet werden");
    EXPECT_EQ(Form->TreeView1->topLevelItemCount(), 0);
    EXPECT_EQ(Form->ListModel->rowCount(), 0);
    EXPECT_EQ(Form->FolderFile, "folders.dbx");
    Form.reset();
    EXPECT_TRUE(Exists(Program.Paths.OptionsFile));
}

TEST_F(MainFormTest, TheListKeepsItsShareOfThePanel) {
    Open();
    Form->resize(800, 700);
    QTest::qWait(50);
    const int panel = Form->RightPanel->height();
    EXPECT_EQ(Form->ListView1->height(), panel * 50 / 100);

    Form->RightPanel->setSizes({panel * 95 / 100, panel - panel * 95 / 100});
    Form->Splitter2Moved();
    EXPECT_EQ(Form->ListRatio, Form->ListView1->height() * 100 / panel > 90
                                   ? 90
                                   : Form->ListView1->height() * 100 / panel);
    Form->ListRatio = 30;
    Form->resize(800, 600);
    QTest::qWait(50);
    EXPECT_EQ(Form->ListView1->height(), Form->RightPanel->height() * 30 / 100);
}

}  // namespace
}  // namespace lumbrook
