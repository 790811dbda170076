#include "windows/MessageWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "windows/AttachmentBar.h"
#include "windows/Centre.h"
#include "platform/browser/PageView.h"

namespace lumbrook {

namespace {
constexpr int ButtonWidth = 113;
constexpr int ButtonRightGap = 697 - 569 - ButtonWidth;  // as designed at 697 pixels
}  // namespace

MessageWindow::MessageWindow(QWidget* parent) : QDialog(parent) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(697, 480);

    headerPanel = new QWidget(this);
    headerPanel->setFixedHeight(81);

    auto label = [this](const char* caption, int top) {
        auto* l = new QLabel(tr(caption), headerPanel);
        QFont bold = l->font();
        bold.setBold(true);
        l->setFont(bold);
        l->move(8, top);
        l->adjustSize();
        return l;
    };
    fromLabel = label(QT_TR_NOOP("From:"), 8);
    dateLabel = label(QT_TR_NOOP("Date:"), 24);
    toLabel = label(QT_TR_NOOP("To:"), 40);
    subjectLabel = label(QT_TR_NOOP("Subject:"), 56);
    // The fields begin at 56 as designed, or further right where this system's
    // bold font makes a label wider than the design's font did.
    int fieldLeft = 56;
    for (const QLabel* l : {fromLabel, dateLabel, toLabel, subjectLabel}) {
        fieldLeft = std::max(fieldLeft, l->geometry().right() + 5);
    }
    // Read-only, without a border and in the button face's colour: they read as
    // labels whose text can still be selected and copied.
    auto field = [this, fieldLeft](int top) {
        auto* e = new QLineEdit(headerPanel);
        e->setReadOnly(true);
        e->setFrame(false);
        QPalette palette = e->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        e->setPalette(palette);
        e->setGeometry(fieldLeft, top, 121, 16);
        return e;
    };
    fromField = field(8);
    dateField = field(24);
    toField = field(40);
    subjectField = field(56);

    backButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                 tr("Go back..."), headerPanel);
    backButton->setGeometry(569, 8, ButtonWidth, 25);
    backButton->setAutoDefault(false);
    // The cancel kind: it closes with the cancel result, as Esc and the close box do.
    connect(backButton, &QPushButton::clicked, this, &QDialog::reject);

    attachmentBar = new AttachmentBar(this);
    pageView = new PageView(this);
    statusLine = new QStatusBar(this);
    statusLine->setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(headerPanel);
    layout->addWidget(attachmentBar);
    layout->addWidget(pageView, 1);
    layout->addWidget(statusLine);
}

void MessageWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Anchored to the top and right edges.
    backButton->move(width() - ButtonRightGap - ButtonWidth, 8);
    // The fields reach to the button (the subject, below it, to the edge), so that a
    // long subject or address is not cut where the window has room for it.
    const int buttonLeft = backButton->x() - 8;
    for (QLineEdit* field : {fromField, dateField, toField})
        field->resize(std::max(121, buttonLeft - field->x()), field->height());
    subjectField->resize(std::max(121, width() - 8 - subjectField->x()), subjectField->height());
}

void MessageWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(*this);
}

}  // namespace lumbrook
