// The save/export dialog and the message window as the user meets them.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "windows/SaveExportDialog.h"
#include "windows/MessageWindow.h"

namespace lumbrook {
namespace {

TEST(ExportForm, LayoutDefaultsAndTheOkButton) {
    SaveExportDialog form;
    EXPECT_EQ(form.size(), QSize(385, 187));
    EXPECT_EQ(form.titlePanel->height(), 33);
    EXPECT_EQ(form.titlePanel->palette().color(QPalette::Window), QColor(240, 202, 166));
    EXPECT_TRUE(form.dateInNames->isChecked());
    EXPECT_TRUE(form.htmlFormat->isChecked());
    EXPECT_TRUE(form.directoryEdit->text().isEmpty());

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

TEST(ShowMailForm, LayoutAndClosingByEscOrTheButton) {
    MessageWindow form;
    EXPECT_EQ(form.size(), QSize(697, 480));
    EXPECT_EQ(form.headerPanel->height(), 81);
    const std::pair<QLabel*, const char*> labels[] = {{form.fromLabel, "From:"},
                                                      {form.dateLabel, "Date:"},
                                                      {form.toLabel, "To:"},
                                                      {form.subjectLabel, "Subject:"}};
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
    for (const auto& [label, edit] : {std::pair{form.fromLabel, form.fromField},
                                      {form.dateLabel, form.dateField},
                                      {form.toLabel, form.toField},
                                      {form.subjectLabel, form.subjectField}}) {
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_FALSE(edit->hasFrame());
        EXPECT_EQ(edit->y(), top);
        EXPECT_GE(edit->x(), 56);
        EXPECT_GT(edit->x(), label->geometry().right());
        EXPECT_EQ(edit->width(), 121);
        top += 16;
    }
    EXPECT_EQ(form.backButton->text(), QStringLiteral("Go back..."));

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.backButton->geometry(), QRect(569, 8, 113, 25));
    form.resize(900, 600);
    QTest::qWait(20);
    EXPECT_EQ(form.backButton->geometry(), QRect(900 - 128, 8, 113, 25));
    form.hide();

    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Escape); });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    QTimer::singleShot(0, form.backButton, &QPushButton::click);
    EXPECT_EQ(form.exec(), QDialog::Rejected);
}

}  // namespace
}  // namespace lumbrook
