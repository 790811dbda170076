// The save/export dialog and the message window as the user meets them.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "windows/ExportFUnit.h"
#include "windows/ShowMailFUnit.h"

namespace lumbrook {
namespace {

TEST(ExportForm, LayoutDefaultsAndTheOkButton) {
    TExportForm form;
    EXPECT_EQ(form.size(), QSize(385, 187));
    EXPECT_EQ(form.Panel5->height(), 33);
    EXPECT_EQ(form.Panel5->palette().color(QPalette::Window), QColor(240, 202, 166));
    EXPECT_TRUE(form.datecheck->isChecked());
    EXPECT_TRUE(form.AllHTMLCheck->isChecked());
    EXPECT_TRUE(form.DirectoryEdit1->Text().isEmpty());

    // Shown, the directory field has the focus; OK follows its text.
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_TRUE(form.DirectoryEdit1->Edit->hasFocus());
    EXPECT_FALSE(form.OkBtn->isEnabled());
    QTest::keyClick(form.DirectoryEdit1->Edit, Qt::Key_Slash);
    EXPECT_TRUE(form.OkBtn->isEnabled());
    QTest::keyClick(form.DirectoryEdit1->Edit, Qt::Key_Backspace);
    EXPECT_FALSE(form.OkBtn->isEnabled());
    QTest::keyClicks(form.DirectoryEdit1->Edit, QStringLiteral("/tmp/out"));

    // The radio buttons are one group; what was chosen stays for the next showing.
    form.TXTCheck->setChecked(true);
    EXPECT_FALSE(form.AllHTMLCheck->isChecked());
    form.datecheck->setChecked(false);
    QTimer::singleShot(0, form.OkBtn, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    QTimer::singleShot(0, form.CancelBtn, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_EQ(form.DirectoryEdit1->Text(), QStringLiteral("/tmp/out"));
    EXPECT_TRUE(form.TXTCheck->isChecked());
    EXPECT_FALSE(form.datecheck->isChecked());
}

TEST(ShowMailForm, LayoutAndClosingByEscOrTheButton) {
    TShowMailForm form;
    EXPECT_EQ(form.size(), QSize(697, 480));
    EXPECT_EQ(form.Panel1->height(), 81);
    const std::pair<QLabel*, const char*> labels[] = {{form.Label1, "From:"},
                                                      {form.Label2, "Date:"},
                                                      {form.Label3, "To:"},
                                                      {form.Label4, "Subject:"}};
    int top = 8;
    for (const auto& [label, text] : labels) {
        EXPECT_EQ(label->text(), QString::fromLatin1(text));
        EXPECT_TRUE(label->font().bold());
        EXPECT_EQ(label->pos(), QPoint(8, top));
        top += 16;
    }
    // Each field on its label's line, at 56 or, where the label is wider in this
    // font, right of it.
    top = 8;
    for (const auto& [label, edit] : {std::pair{form.Label1, form.Edit1},
                                      {form.Label2, form.Edit2},
                                      {form.Label3, form.Edit3},
                                      {form.Label4, form.Edit4}}) {
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_FALSE(edit->hasFrame());
        EXPECT_EQ(edit->y(), top);
        EXPECT_GE(edit->x(), 56);
        EXPECT_GT(edit->x(), label->geometry().right());
        EXPECT_EQ(edit->width(), 121);
        top += 16;
    }
    EXPECT_EQ(form.BitBtn1->text(), QStringLiteral("Go back..."));

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.BitBtn1->geometry(), QRect(569, 8, 113, 25));
    form.resize(900, 600);
    QTest::qWait(20);
    EXPECT_EQ(form.BitBtn1->geometry(), QRect(900 - 128, 8, 113, 25));
    form.hide();

    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Escape); });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    QTimer::singleShot(0, form.BitBtn1, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Rejected);
}

}  // namespace
}  // namespace lumbrook
