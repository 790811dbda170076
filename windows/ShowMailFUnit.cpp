#include "windows/ShowMailFUnit.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "windows/Centre.h"
#include "platform/browser/WebBrowser.h"

namespace lumbrook {

namespace {
constexpr int ButtonWidth = 113;
constexpr int ButtonRightGap = 697 - 569 - ButtonWidth;  // as designed at 697 pixels
}  // namespace

TShowMailForm::TShowMailForm(QWidget* parent) : QDialog(parent) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(697, 480);

    panel1 = new QWidget(this);
    panel1->setFixedHeight(81);

    auto label = [this](const char* caption, int top) {
        auto* l = new QLabel(QString::fromLatin1(caption), panel1);
        QFont bold = l->font();
        bold.setBold(true);
        l->setFont(bold);
        l->move(8, top);
        l->adjustSize();
        return l;
    };
    label1 = label("From:", 8);
    label2 = label("Date:", 24);
    label3 = label("To:", 40);
    label4 = label("Subject:", 56);
    // The fields begin at 56 as designed, or further right where this system's
    // bold font makes a label wider than the design's font did.
    int fieldLeft = 56;
    for (const QLabel* l : {label1, label2, label3, label4}) {
        fieldLeft = std::max(fieldLeft, l->geometry().right() + 5);
    }
    // Read-only, without a border and in the button face's colour: they read as
    // labels whose text can still be selected and copied.
    auto field = [this, fieldLeft](int top) {
        auto* e = new QLineEdit(panel1);
        e->setReadOnly(true);
        e->setFrame(false);
        QPalette palette = e->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        e->setPalette(palette);
        e->setGeometry(fieldLeft, top, 121, 16);
        return e;
    };
    edit1 = field(8);
    edit2 = field(24);
    edit3 = field(40);
    edit4 = field(56);

    bitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              QStringLiteral("Go back..."), panel1);
    bitBtn1->setGeometry(569, 8, ButtonWidth, 25);
    bitBtn1->setAutoDefault(false);
    // The cancel kind: it closes with the cancel result, as Esc and the close box do.
    connect(bitBtn1, &QPushButton::clicked, this, &QDialog::reject);

    webBrowser1 = new TWebBrowser(this);
    statusBar1 = new QStatusBar(this);
    statusBar1->setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panel1);
    layout->addWidget(webBrowser1, 1);
    layout->addWidget(statusBar1);
}

void TShowMailForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Anchored to the top and right edges.
    bitBtn1->move(width() - ButtonRightGap - ButtonWidth, 8);
}

void TShowMailForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(*this);
}

}  // namespace lumbrook
