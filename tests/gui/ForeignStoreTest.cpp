// Stores from German and Russian Windows disks in the window: folder files whose
// names the copy to Linux turned into UTF-8, texts in the store's code page and
// bodies in charsets of their own, all shown as the letters they are.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "platform/browser/PageView.h"
#include "page/Page.h"
#include "store/MailStore.h"
#include "tests/gui/GuiTestStore.h"

namespace lumbrook {
namespace {

constexpr std::int64_t Jan2005 = 1104537600;

struct ForeignStore {
    const char* codePage;
    std::string folderName;  // in the code page, as Folders.dbx holds it
    std::string diskName;    // in UTF-8, as the file lies on disk
    std::string folderUtf8;
    std::string subject;  // in the code page
    std::string subjectUtf8;
    std::string rawText;
    std::string bodyUtf8;  // what the page must show of the body
};

TEST(ForeignStoreTest, FolderNamesSubjectsAndBodiesShowTheirLetters) {
    const std::vector<ForeignStore> stores = {
        {"1252", "Gel\xF6schte Objekte", "Gel\xC3\xB6schte Objekte.dbx",
         "Gel\xC3\xB6schte Objekte", "Gr\xFC\xDF" "e aus M\xFCnchen",
         "Gr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen",
         "Subject: x\r\nContent-Type: text/plain; charset=iso-8859-15\r\n\r\n"
         "M\xFCller & S\xF6hne GmbH: 5 \xA4\r\n",
         "M\xC3\xBCller &amp; S\xC3\xB6hne GmbH: 5 \xE2\x82\xAC"},
        {"1251", "\xC2\xF5\xEE\xE4\xFF\xF9\xE8\xE5",
         "\xD0\x92\xD1\x85\xD0\xBE\xD0\xB4\xD1\x8F\xD1\x89\xD0\xB8\xD0\xB5.dbx",
         "\xD0\x92\xD1\x85\xD0\xBE\xD0\xB4\xD1\x8F\xD1\x89\xD0\xB8\xD0\xB5",
         "\xCF\xF0\xE8\xE2\xE5\xF2", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
         // KOI8-R in a Windows-1251 store: the body's own charset decides.
         "Subject: x\r\nContent-Type: text/plain; charset=koi8-r\r\n\r\n\xF0\xD2\xC9\xD7\xC5\xD4\r\n",
         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
    };
    for (const ForeignStore& s : stores) {
        SCOPED_TRACE(s.codePage);
        TempDir store;
        TestProgram program;
        writeFolders(store.path(), {{0, std::nullopt, "Outlook Express", std::nullopt, false},
                                    {5, 0, s.folderName, s.folderName + ".dbx", false}});
        DbxMessage message = plainMessage(1, "ann@example.org", s.subject, Jan2005, "");
        message.rawText = s.rawText;
        writeMessages(store.path(), s.diskName, {message});

        MainWindow window(MailStore(store.path(), CodePage::fromSetting(s.codePage)), program.paths);
        const MainWindowControls ui(window);
        QSignalSpy loaded(ui.view, &PageView::downloadComplete);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

        const auto items = ui.tree->findItems(
            QStringLiteral("^%1( \\(.*\\))?$")
                .arg(QRegularExpression::escape(QString::fromStdString(s.folderUtf8))),
            Qt::MatchRegularExpression | Qt::MatchRecursive);
        ASSERT_EQ(items.size(), 1);
        QTest::mouseClick(ui.tree->viewport(), Qt::LeftButton, {},
                          ui.tree->visualItemRect(items.front()).center());
        ASSERT_EQ(ui.model->rowCount(), 1);
        EXPECT_EQ(ui.model->index(0, ColSubject).data().toString().toStdString(), s.subjectUtf8);

        // The design puts the record's texts into the page: the header table.
        child<QCheckBox>(window, "previewWithDesign")->setChecked(true);
        loaded.clear();
        QTest::mouseClick(ui.list->viewport(), Qt::LeftButton, {},
                          ui.list->visualRect(ui.model->index(0, ColSubject)).center());
        ASSERT_TRUE(loaded.wait(15000));
        // One charset for the whole page: the header table's subject and the body
        // both in UTF-8, said first.
        const std::string page = readFile(program.mailPage());
        EXPECT_TRUE(page.starts_with(pageHeadElements())) << page;
        EXPECT_NE(page.find(s.subjectUtf8), std::string::npos) << page;
        EXPECT_NE(page.find(s.bodyUtf8), std::string::npos) << page;
    }
}

}  // namespace
}  // namespace lumbrook
