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

    Panel1 = new QWidget(this);
    Panel1->setFixedHeight(81);

    auto label = [this](const char* caption, int top) {
        auto* l = new QLabel(QString::fromLatin1(caption), Panel1);
        QFont bold = l->font();
        bold.setBold(true);
        l->setFont(bold);
        l->move(8, top);
        l->adjustSize();
        return l;
    };
    Label1 = label("From:", 8);
    Label2 = label("Date:", 24);
    Label3 = label("To:", 40);
    Label4 = label("Subject:", 56);
    // The fields begin at 56 as designed, or further right where this system's
    // bold font makes a label wider than the design's font did.
    int fieldLeft = 56;
    for (const QLabel* l : {Label1, Label2, Label3, Label4}) {
        fieldLeft = std::max(fieldLeft, l->geometry().right() + 5);
    }
    // Read-only, without a border and in the button face's colour: they read as
    // labels whose text can still be selected and copied.
    auto field = [this, fieldLeft](int top) {
        auto* e = new QLineEdit(Panel1);
        e->setReadOnly(true);
        e->setFrame(false);
        QPalette palette = e->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        e->setPalette(palette);
        e->setGeometry(fieldLeft, top, 121, 16);
        return e;
    };
    Edit1 = field(8);
    Edit2 = field(24);
    Edit3 = field(40);
    Edit4 = field(56);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              QStringLiteral("Go back..."), Panel1);
    BitBtn1->setGeometry(569, 8, ButtonWidth, 25);
    BitBtn1->setAutoDefault(false);
    // The cancel kind: it closes with the cancel result, as Esc and the close box do.
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);

    WebBrowser1 = new TWebBrowser(this);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(WebBrowser1, 1);
    layout->addWidget(StatusBar1);
}

void TShowMailForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Anchored to the top and right edges.
    BitBtn1->move(width() - ButtonRightGap - ButtonWidth, 8);
}

void TShowMailForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

}  // namespace lumbrook
