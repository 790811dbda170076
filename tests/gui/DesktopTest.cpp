// The window as a desktop program: opening stores (action, recent list, drop, the
// text shown without one), the layout kept between sessions, message state from
// the records' flags, messages dragged out as files, and Print to PDF.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/Modal.h"
#include "platform/browser/PageView.h"
#include "store/MailStore.h"
#include "tests/gui/WindowFixture.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;

DbxMessage withState(DbxMessage m, std::uint32_t flags, std::uint32_t priority = 3) {
    m.flags = flags;
    m.priority = priority;
    return m;
}

QString qpath(const std::string& path) {
    return QString::fromStdString(path);
}

class DesktopTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        writeStore(first.path(), "First");
        writeStore(second.path(), "Second");
    }

    static void writeStore(const std::string& dir, const std::string& tag) {
        writeFolders(dir, {{0, std::nullopt, "Outlook Express", std::nullopt, false},
                           {1, 0, "Local Folders", std::nullopt, false},
                           {4, 1, "Inbox", "Inbox.dbx", true},
                           {20, 1, "Archive", "Archive.dbx", false}});
        using namespace MessageFlag;
        writeMessages(
            dir, "Inbox.dbx",
            {withState(plainMessage(1, "anna@example.org", tag + " unread", Jan2020 + 300, "M1"),
                       HasAttachment, 1),
             withState(plainMessage(2, "bob@example.org", tag + " replied", Jan2020 + 200, "M2"),
                       Read | Replied | Flagged),
             withState(plainMessage(3, "carl@example.org", tag + " forwarded", Jan2020 + 100, "M3"),
                       Read | Forwarded)});
        writeMessages(dir, "Archive.dbx",
                      {withState(plainMessage(5, "dora@example.org", "old", Jan2020, "M5"), Read),
                       plainMessage(6, "eve@example.org", "new", Jan2020, "M6")});
    }

    void open(const std::string& dir) { WindowFixture::open(MailStore(dir)); }

    // Answers the next file dialog with Path.
    void chooseInDialog(const std::string& path) {
        onDialog = [path](QDialog& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            if (!files) return int(QDialog::Rejected);
            files->selectFile(QDir::cleanPath(qpath(path)));
            return int(QDialog::Accepted);
        };
    }

    std::string firstSubject() const {
        return form->messages()[ui->model->recordIndex(0)].subject;
    }

    TempDir first;
    TempDir second;
};

TEST_F(DesktopTest, OpensStoresThroughTheActionAndTheRecentList) {
    open(first.path());
    EXPECT_EQ(firstSubject(), "First unread");
    // A .dbx file chosen stands for its directory.
    chooseInDialog(second.path() + "Inbox.dbx");
    child<QAction>(*form, "openStoreAction")->trigger();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(form->dbxStore().directory(), fs::path(second.path()).parent_path().string());
    EXPECT_EQ(form->folderFile(), "Inbox.dbx");
    ASSERT_EQ(ui->model->rowCount(), 3);
    EXPECT_EQ(firstSubject(), "Second unread");
    EXPECT_EQ(ui->tree->topLevelItemCount(), 1);

    const QStringList recent = form->recentStores();
    ASSERT_EQ(recent.size(), 2);
    EXPECT_EQ(recent[0].toStdString() + "/", second.path());
    EXPECT_EQ(recent[1].toStdString() + "/", first.path());
    auto* menu = child<QMenu>(*form, "recentMenu");
    ASSERT_EQ(menu->actions().size(), 2);
    menu->actions()[1]->trigger();
    EXPECT_EQ(firstSubject(), "First unread");
    EXPECT_EQ(form->recentStores()[0].toStdString() + "/", first.path());

    // Something that is no store is said so, and the store on show stays.
    writeFile(second.path() + "note.txt", "x");
    chooseInDialog(second.path() + "note.txt");
    child<QAction>(*form, "openStoreAction")->trigger();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("neither a directory nor a .dbx file"), std::string::npos);
    EXPECT_EQ(firstSubject(), "First unread");

    // The list keeps only the last ones.
    for (int i = 0; i < MaxRecentStores + 2; ++i) {
        TempDir other;
        writeStore(other.path(), "Other");
        form->openStore(MailStore(other.path()));
    }
    EXPECT_EQ(form->recentStores().size(), MaxRecentStores);
}

TEST_F(DesktopTest, WithoutAStoreExplainsAndOpensADroppedOne) {
    TempDir empty;
    open(empty.path());
    ASSERT_EQ(errors.size(), 1u);
    auto* stack = child<QStackedWidget>(*form, "listStack");
    EXPECT_EQ(stack->currentWidget()->objectName(), QStringLiteral("storePlaceholder"));
    EXPECT_TRUE(child<QPushButton>(*form, "openStoreButton")->isVisible());
    EXPECT_TRUE(form->recentStores().isEmpty());  // a store that failed is not remembered

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(qpath(second.path() + "Archive.dbx"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &drop);
    EXPECT_EQ(stack->currentWidget(), ui->list);
    EXPECT_EQ(firstSubject(), "Second unread");

    // Anything else is refused.
    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(qpath(program.paths.optionsFile))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton,
                            Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(form.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(DesktopTest, KeepsItsLayoutBetweenSessions) {
    open(first.path());
    // Nothing remembered: a size that fits on 1280 x 800 (less on a smaller screen,
    // as the test's is) and shows the four text columns beside the tree.
    EXPECT_LE(form->width(), 1280 * 95 / 100);
    EXPECT_LE(form->height(), 800 * 95 / 100);
    form->resize(1280 * 95 / 100, 800 * 95 / 100);
    QTest::qWait(20);
    const QHeaderView* header = ui->list->header();
    EXPECT_LE(header->sectionViewportPosition(ColDate) + header->sectionSize(ColDate),
              ui->list->viewport()->width());

    form->resize(900, 640);
    ui->list->header()->resizeSection(ColFrom, 222);  // the subject takes the rest
    form.reset();
    open(first.path());
    EXPECT_EQ(form->size(), QSize(900, 640));
    EXPECT_EQ(ui->list->header()->sectionSize(ColFrom), 222);
    EXPECT_EQ(ui->list->header()->visualIndex(ColAttachment), 1);
}

TEST_F(DesktopTest, ShowsMessageStateFromTheFlags) {
    open(first.path());
    // Newest first: unread with attachment and high priority, replied and flagged, forwarded.
    struct Row {
        bool bold;
        bool priority, attachment, flag;
    } const expected[] = {{true, true, true, false}, {false, false, false, true},
                          {false, false, false, false}};
    IconSet icons;
    const int marks[] = {ImgEnvelope, ImgReplied, ImgForwarded};
    for (int row = 0; row < 3; ++row) {
        auto cell = [&](int column, int role) { return ui->model->index(row, column).data(role); };
        EXPECT_EQ(cell(ColSubject, Qt::FontRole).value<QFont>().bold(), expected[row].bold) << row;
        EXPECT_EQ(!cell(ColPriority, Qt::DecorationRole).isNull(), expected[row].priority) << row;
        EXPECT_EQ(!cell(ColAttachment, Qt::DecorationRole).isNull(), expected[row].attachment)
            << row;
        EXPECT_EQ(!cell(ColFlag, Qt::DecorationRole).isNull(), expected[row].flag) << row;
        EXPECT_EQ(cell(ColFrom, Qt::DecorationRole).value<QIcon>().pixmap(16).toImage(),
                  icons.icon(marks[row]).pixmap(16).toImage())
            << row;
    }
    EXPECT_TRUE(ui->model->index(0, ColAttachment).data().toString().isEmpty());

    // A mark column sorts the marked messages first; the heading shows the order.
    QHeaderView* header = ui->list->header();
    EXPECT_EQ(header->sortIndicatorSection(), ColDate);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(ColFlag) + 5, header->height() / 2));
    EXPECT_FALSE(ui->model->index(0, ColFlag).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(ui->model->index(1, ColFlag).data(Qt::DecorationRole).isNull());
    EXPECT_EQ(header->sortIndicatorSection(), ColFlag);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

    // The listed folder counts at once, the other one from the background.
    QTreeWidgetItem* inbox = ui->tree->currentItem();
    EXPECT_EQ(inbox->text(0), QStringLiteral("Inbox (1/3)"));
    EXPECT_TRUE(inbox->font(0).bold());
    QTreeWidgetItem* archive = inbox->parent()->child(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return archive->text(0) != QStringLiteral("Archive"); },
                                15000));
    EXPECT_EQ(archive->text(0), QStringLiteral("Archive (1/2)"));

    EXPECT_EQ(folderCaption(QStringLiteral("Sent"), {5, 0}), QStringLiteral("Sent (5)"));
    EXPECT_EQ(folderCaption(QStringLiteral("Sent"), {}), QStringLiteral("Sent"));
}

TEST_F(DesktopTest, DraggedRowsBecomeEmlFiles) {
    open(first.path());
    const QModelIndexList rows = {ui->model->index(0, 0), ui->model->index(0, 2),
                                  ui->model->index(2, 1)};
    std::unique_ptr<QMimeData> data(ui->model->mimeData(rows));
    ASSERT_NE(data, nullptr);
    const QList<QUrl> urls = data->urls();
    ASSERT_EQ(urls.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const std::string path = urls[i].toLocalFile().toStdString();
        EXPECT_EQ(path.substr(path.size() - 4), ".eml");
        const MessageInfo& record = form->messages()[ui->model->recordIndex(i * 2)];
        EXPECT_EQ(readFile(path), form->dbxStore().readMessageText("Inbox.dbx", record.dataOffset));
        EXPECT_NE(path.find(record.subject), std::string::npos) << path;
    }
}

TEST_F(DesktopTest, PrintsToPdfThroughTheAction) {
    open(first.path());
    TempDir out;
    ui->list->selectionModel()->select(ui->model->index(1, 0), QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
    chooseInDialog(out.path() + "one.pdf");
    child<QAction>(*form, "printPdfAction")->trigger();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(readFile(out.path() + "one.pdf").rfind("%PDF", 0), 0u);

    // Several messages: a directory, one file each.
    TempDir many;
    ui->list->selectAll();
    chooseInDialog(many.path());
    child<QAction>(*form, "printPdfAction")->trigger();
    EXPECT_TRUE(errors.empty());
    int pdfs = 0;
    for (const auto& entry : fs::directory_iterator(many.path()))
        pdfs += entry.path().extension() == ".pdf";
    EXPECT_EQ(pdfs, 3);
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes.back().text.find("3 messages printed"), std::string::npos);
}

}  // namespace
}  // namespace lumbrook
