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
    EXPECT_EQ(form.panel5->height(), 33);
    EXPECT_EQ(form.panel5->palette().color(QPalette::Window), QColor(240, 202, 166));
    EXPECT_TRUE(form.datecheck->isChecked());
    EXPECT_TRUE(form.allHtmlCheck->isChecked());
    EXPECT_TRUE(form.directoryEdit1->text().isEmpty());

    // Shown, the directory field has the focus; OK follows its text.
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_TRUE(form.directoryEdit1->edit->hasFocus());
    EXPECT_FALSE(form.okBtn->isEnabled());
    QTest::keyClick(form.directoryEdit1->edit, Qt::Key_Slash);
    EXPECT_TRUE(form.okBtn->isEnabled());
    QTest::keyClick(form.directoryEdit1->edit, Qt::Key_Backspace);
    EXPECT_FALSE(form.okBtn->isEnabled());
    QTest::keyClicks(form.directoryEdit1->edit, QStringLiteral("/tmp/out"));

    // The radio buttons are one group; what was chosen stays for the next showing.
    form.txtCheck->setChecked(true);
    EXPECT_FALSE(form.allHtmlCheck->isChecked());
    form.datecheck->setChecked(false);
    QTimer::singleShot(0, form.okBtn, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    QTimer::singleShot(0, form.cancelBtn, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_EQ(form.directoryEdit1->text(), QStringLiteral("/tmp/out"));
    EXPECT_TRUE(form.txtCheck->isChecked());
    EXPECT_FALSE(form.datecheck->isChecked());
}

TEST(ShowMailForm, LayoutAndClosingByEscOrTheButton) {
    TShowMailForm form;
    EXPECT_EQ(form.size(), QSize(697, 480));
    EXPECT_EQ(form.panel1->height(), 81);
    const std::pair<QLabel*, const char*> labels[] = {{form.label1, "From:"},
                                                      {form.label2, "Date:"},
                                                      {form.label3, "To:"},
                                                      {form.label4, "Subject:"}};
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
    for (const auto& [label, edit] : {std::pair{form.label1, form.edit1},
                                      {form.label2, form.edit2},
                                      {form.label3, form.edit3},
                                      {form.label4, form.edit4}}) {
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_FALSE(edit->hasFrame());
        EXPECT_EQ(edit->y(), top);
        EXPECT_GE(edit->x(), 56);
        EXPECT_GT(edit->x(), label->geometry().right());
        EXPECT_EQ(edit->width(), 121);
        top += 16;
    }
    EXPECT_EQ(form.bitBtn1->text(), QStringLiteral("Go back..."));

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.bitBtn1->geometry(), QRect(569, 8, 113, 25));
    form.resize(900, 600);
    QTest::qWait(20);
    EXPECT_EQ(form.bitBtn1->geometry(), QRect(900 - 128, 8, 113, 25));
    form.hide();

    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Escape); });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    QTimer::singleShot(0, form.bitBtn1, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Rejected);
}

}  // namespace
}  // namespace lumbrook
