// The save/export dialog, the message window and the about box as the user meets them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "tests/gui/GuiTestStore.h"
#include "windows/AboutDialog.h"
#include "windows/ExportStoreDialog.h"
#include "windows/MessageWindow.h"
#include "windows/SaveExportDialog.h"

namespace lumbrook {
namespace {

TEST(SaveExportDialog, OkFollowsTheDirectoryAndChoicesStay) {
    SaveExportDialog form;
    EXPECT_TRUE(form.dateInNames->isChecked());
    EXPECT_TRUE(form.htmlFormat->isChecked());

    // Shown, the directory field has the focus; OK follows its text.
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_TRUE(form.directoryEdit->edit->hasFocus());
    EXPECT_FALSE(form.okButton->isEnabled());
    QTest::keyClick(form.directoryEdit->edit, Qt::Key_Slash);
    EXPECT_TRUE(form.okButton->isEnabled());
    QTest::keyClick(form.directoryEdit->edit, Qt::Key_Backspace);
    EXPECT_FALSE(form.okButton->isEnabled());
    QTest::keyClicks(form.directoryEdit->edit, QStringLiteral("/tmp/out"));

    // The radio buttons are one group; what was chosen stays for the next showing.
    form.textFormat->setChecked(true);
    EXPECT_FALSE(form.htmlFormat->isChecked());
    form.dateInNames->setChecked(false);
    QTimer::singleShot(0, form.okButton, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    QTimer::singleShot(0, form.cancelButton, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_EQ(form.directoryEdit->text(), QStringLiteral("/tmp/out"));
    EXPECT_TRUE(form.textFormat->isChecked());
    EXPECT_FALSE(form.dateInNames->isChecked());
}

TEST(ExportStoreDialog, UncheckedFoldersStayOutAndTheTreeIsKept) {
    TempDir store, out;
    writeFolders(store.path(), {{0, std::nullopt, "Outlook Express", std::nullopt, false},
                                      {10, 0, "Familie", "Familie.dbx", false},
                                      {11, 10, "Urlaub", "Urlaub.dbx", false},
                                      {12, 0, "Spam", "Spam.dbx", false}});
    for (const char* file : {"Familie.dbx", "Urlaub.dbx", "Spam.dbx"})
        writeMessages(store.path(), file, {plainMessage(1, "Ann", file, 1000000000, "hi")});
    const MailStore dbx(store.path());
    ExportStoreDialog dialog(dbx);
    auto* okButton = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    EXPECT_FALSE(okButton->isEnabled());
    dialog.findChild<QLineEdit*>()->setText(QString::fromStdString(out.path()));
    EXPECT_TRUE(okButton->isEnabled());
    ASSERT_EQ(dialog.findChild<QTreeWidget*>()->topLevelItem(0)->childCount(), 2);

    // The export as the window runs it, off its thread: the dialog and the closing
    // report are answered as they come up.
    QString reported;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* choice = qobject_cast<ExportStoreDialog*>(modal)) {
            choice->findChild<QLineEdit*>()->setText(QString::fromStdString(out.path()));
            // Spam (sorted after Familie) stays out.
            choice->findChild<QTreeWidget*>()->topLevelItem(0)->child(1)->setCheckState(
                0, Qt::Unchecked);
            choice->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            reported = box->text();
            box->accept();
            answer.stop();
        }
    });
    answer.start(20);
    exportStore(dbx, nullptr);
    EXPECT_TRUE(reported.startsWith(QStringLiteral("2 messages written, 0 already there")))
        << reported.toStdString();
    namespace fs = std::filesystem;
    EXPECT_TRUE(fs::exists(out.path() + "Familie.sbd/Urlaub"));
    EXPECT_FALSE(fs::exists(out.path() + "Spam"));
}

TEST(MessageWindow, ClosesByEscOrTheButton) {
    MessageWindow form;
    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Escape); });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    QTimer::singleShot(0, form.backButton, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Rejected);
}

TEST(AboutDialog, TheYearIsFilledInAndThePictureShown) {
    EXPECT_EQ(AboutDialog::withYear("(c) XXXX-XXXX", 2031), QStringLiteral("(c) 2031-XXXX"));
    EXPECT_EQ(AboutDialog::withYear("no year", 2031), QStringLiteral("no year"));
    AboutDialog box;
    EXPECT_TRUE(box.copyright->text().contains(QString::number(QDate::currentDate().year())));
    EXPECT_FALSE(box.picture->pixmap().isNull());
}

}  // namespace
}  // namespace lumbrook
