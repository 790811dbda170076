// The window without a store offers the stores found on the disks it looks at,
// and opens the one chosen in the letters it was written in.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <cstdlib>

#include "mainwindow/StoreChoice.h"
#include "tests/gui/WindowFixture.h"
#include "tests/support/OldDisk.h"

namespace lumbrook {
namespace {

class FoundStoresTest : public WindowFixture {};

QStringList treeTexts(QTreeWidget* tree) {
    QStringList texts;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) texts << (*it)->text(0);
    return texts;
}

TEST_F(FoundStoresTest, NoStorePageOffersTheFoundStoresAndOpensOneInItsCodePage) {
    TempDir disk, outside, empty;
    const test::OldDisk old = test::makeOldDisk(disk.path() + "mnt", outside.path());
    ::setenv("LUMBROOK_STORE_SEARCH_PATH", (disk.path() + "mnt").c_str(), 1);
    open(MailStore(empty.path()));
    ::setenv("LUMBROOK_STORE_SEARCH_PATH", "", 1);
    errors.clear();  // the empty directory's missing folder list

    auto* found = form->findChild<QTreeWidget*>(QStringLiteral("foundStoresList"));
    ASSERT_NE(found, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(found->topLevelItemCount(), 4, 10000);
    EXPECT_TRUE(found->isVisible());
    QStringList titles;
    for (int i = 0; i < found->topLevelItemCount(); ++i) titles << found->topLevelItem(i)->text(0);
    EXPECT_EQ(titles, QStringList({QStringLiteral("oe"), QStringLiteral("Main Identity (Alice)"),
                                   QStringLiteral("Work (Alice)"), QStringLiteral("Иван (Ivan)")}));
    EXPECT_EQ(found->topLevelItem(3)->text(1), QStringLiteral("2"));

    // Chosen, it opens with the folder names in Cyrillic letters, no variable set.
    found->setCurrentItem(found->topLevelItem(3));
    emit found->itemActivated(found->topLevelItem(3), 0);
    auto* stack = form->findChild<QStackedWidget*>(QStringLiteral("listStack"));
    EXPECT_EQ(stack->currentWidget(), ui->list);
    EXPECT_TRUE(treeTexts(ui->tree).join(QLatin1Char('|')).contains(QStringLiteral("Входящие")))
        << treeTexts(ui->tree).join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(errors.empty());

    // View > Text encoding: chosen for this store, kept for the next time it opens.
    auto* encodings = form->findChild<QMenu*>(QStringLiteral("textEncodingMenu"));
    ASSERT_NE(encodings, nullptr);
    QAction* western = nullptr;
    for (QAction* a : encodings->actions())
        if (a->data().toInt() == 1252) western = a;
    ASSERT_NE(western, nullptr);
    western->trigger();
    EXPECT_FALSE(treeTexts(ui->tree).join(QLatin1Char('|')).contains(QStringLiteral("Входящие")));
    EXPECT_EQ(openStoreForWindow(old.ivanMain).codePage().number(), 1252);
    EXPECT_EQ(openStoreForWindow(old.aliceMain).codePage().number(), 1250);

    // File > Find stores... lists what was found and opens the one chosen there.
    int listed = 0;
    onDialog = [&](QDialog& dialog) {
        auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("foundStoresList"));
        if (!list) return int(QDialog::Rejected);
        listed = list->topLevelItemCount();
        list->setCurrentItem(list->topLevelItem(1));
        emit list->itemActivated(list->topLevelItem(1), 0);
        return dialog.result();
    };
    form->findChild<QAction*>(QStringLiteral("findStoresAction"))->trigger();
    EXPECT_EQ(listed, 4);
    EXPECT_EQ(form->dbxStore().directory(), old.aliceMain);
}

}  // namespace
}  // namespace lumbrook
