#include "windows/ExportFUnit.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>

#include "windows/Centre.h"

namespace lumbrook {

namespace {
// The title band's colour: red 240, green 202, blue 166.
const QColor TitleColour(240, 202, 166);
constexpr int ClientWidth = 385;
constexpr int ClientHeight = 187;
}  // namespace

TDirectoryEdit::TDirectoryEdit(QWidget* parent) : QWidget(parent) {
    edit = new QLineEdit(this);
    browseBtn = new QToolButton(this);
    browseBtn->setText(QStringLiteral("..."));
    browseBtn->setToolTip(QStringLiteral("Choose a directory"));
    browseBtn->setFocusPolicy(Qt::TabFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(edit, 1);
    layout->addWidget(browseBtn);
    setFocusProxy(edit);
    connect(edit, &QLineEdit::textChanged, this, &TDirectoryEdit::changed);
    connect(browseBtn, &QToolButton::clicked, this, &TDirectoryEdit::browse);
}

QString TDirectoryEdit::text() const {
    return edit->text();
}

void TDirectoryEdit::setText(const QString& text) {
    edit->setText(text);
}

void TDirectoryEdit::browse() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Choose the destination directory"), edit->text());
    if (!chosen.isEmpty()) edit->setText(chosen);
}

TExportForm::TExportForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Save/export eMail"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(ClientWidth, ClientHeight);

    panel5 = new QWidget(this);
    panel5->setGeometry(0, 0, ClientWidth, 33);
    panel5->setAutoFillBackground(true);
    QPalette band = panel5->palette();
    band.setColor(QPalette::Window, TitleColour);
    band.setColor(QPalette::WindowText, Qt::black);
    panel5->setPalette(band);
    titleLabel1 =
        new QLabel(QStringLiteral("Save or export eMail - choose destination directory"), panel5);
    QFont bold = titleLabel1->font();
    bold.setBold(true);
    titleLabel1->setFont(bold);
    titleLabel1->setGeometry(8, 0, ClientWidth - 16, 33);
    titleLabel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    label1 = new QLabel(QStringLiteral("Destination directory:"), this);
    label1->setGeometry(8, 41, 200, 16);
    directoryEdit1 = new TDirectoryEdit(this);
    directoryEdit1->setGeometry(8, 58, ClientWidth - 16, 24);
    label1->setBuddy(directoryEdit1);

    datecheck = new QCheckBox(QStringLiteral("Date as part of the file name"), this);
    datecheck->setGeometry(8, 88, 250, 20);
    datecheck->setChecked(true);

    allHtmlCheck = new QRadioButton(QStringLiteral("Always save as HTML file"), this);
    allHtmlCheck->setGeometry(8, 110, 250, 20);
    allHtmlCheck->setChecked(true);
    txtCheck = new QRadioButton(QStringLiteral("Always save as TXT file"), this);
    txtCheck->setGeometry(8, 130, 250, 20);
    mixedCheck = new QRadioButton(QStringLiteral("Save in same format as email"), this);
    mixedCheck->setGeometry(8, 150, 250, 20);

    okBtn = new QPushButton(QStringLiteral("OK"), this);
    okBtn->setGeometry(ClientWidth - 8 - 75, 118, 75, 25);
    okBtn->setDefault(true);
    okBtn->setEnabled(false);
    cancelBtn = new QPushButton(QStringLiteral("&Cancel"), this);
    cancelBtn->setGeometry(ClientWidth - 8 - 75, 150, 75, 25);
    cancelBtn->setAutoDefault(false);

    connect(directoryEdit1, &TDirectoryEdit::changed, this, [this] { directoryEdit1Change(); });
    connect(okBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(directoryEdit1->edit, directoryEdit1->browseBtn);
    setTabOrder(directoryEdit1->browseBtn, datecheck);
    setTabOrder(datecheck, allHtmlCheck);
    setTabOrder(allHtmlCheck, okBtn);
    setTabOrder(okBtn, cancelBtn);
}

void TExportForm::formShow() {
    directoryEdit1->setFocus(Qt::OtherFocusReason);
}

void TExportForm::directoryEdit1Change() {
    okBtn->setEnabled(!directoryEdit1->text().isEmpty());
}

void TExportForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(*this);
    formShow();
}

}  // namespace lumbrook
