// The save/export dialog, the message window and the about box as the user meets them.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "windows/AboutDialog.h"
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
