#include "windows/SaveExportDialog.h"

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
constexpr int ClientHeight = 197;
}  // namespace

DirectoryEdit::DirectoryEdit(QWidget* parent) : QWidget(parent) {
    edit = new QLineEdit(this);
    browseButton = new QToolButton(this);
    browseButton->setText(tr("..."));
    browseButton->setToolTip(tr("Choose a directory"));
    browseButton->setFocusPolicy(Qt::TabFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(edit, 1);
    layout->addWidget(browseButton);
    setFocusProxy(edit);
    connect(edit, &QLineEdit::textChanged, this, &DirectoryEdit::changed);
    connect(browseButton, &QToolButton::clicked, this, &DirectoryEdit::browse);
}

QString DirectoryEdit::text() const {
    return edit->text();
}

void DirectoryEdit::setText(const QString& text) {
    edit->setText(text);
}

void DirectoryEdit::browse() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Choose the destination directory"), edit->text());
    if (!chosen.isEmpty()) edit->setText(chosen);
}

SaveExportDialog::SaveExportDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Save/export eMail"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(ClientWidth, ClientHeight);

    titlePanel = new QWidget(this);
    titlePanel->setGeometry(0, 0, ClientWidth, 33);
    titlePanel->setAutoFillBackground(true);
    QPalette band = titlePanel->palette();
    band.setColor(QPalette::Window, TitleColour);
    band.setColor(QPalette::WindowText, Qt::black);
    titlePanel->setPalette(band);
    titleLabel = new QLabel(tr("Save or export eMail - choose destination directory"), titlePanel);
    QFont bold = titleLabel->font();
    bold.setBold(true);
    titleLabel->setFont(bold);
    titleLabel->setGeometry(8, 0, ClientWidth - 16, 33);
    titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    directoryLabel = new QLabel(tr("Destination directory:"), this);
    directoryLabel->setGeometry(8, 41, 200, 16);
    directoryEdit = new DirectoryEdit(this);
    directoryEdit->setGeometry(8, 58, ClientWidth - 16, 24);
    directoryLabel->setBuddy(directoryEdit);

    dateInNames = new QCheckBox(tr("Date as part of the file name"), this);
    dateInNames->setGeometry(8, 88, 250, 20);
    dateInNames->setChecked(true);

    htmlFormat = new QRadioButton(tr("Always save as HTML file"), this);
    htmlFormat->setGeometry(8, 110, 250, 20);
    htmlFormat->setChecked(true);
    textFormat = new QRadioButton(tr("Always save as TXT file"), this);
    textFormat->setGeometry(8, 130, 250, 20);
    sameFormat = new QRadioButton(tr("Save in same format as email"), this);
    sameFormat->setGeometry(8, 150, 250, 20);
    attachmentsBeside = new QCheckBox(tr("Attachments beside the page"), this);
    attachmentsBeside->setGeometry(8, 172, 250, 20);
    attachmentsBeside->setChecked(true);

    okButton = new QPushButton(tr("OK"), this);
    okButton->setGeometry(ClientWidth - 8 - 75, 118, 75, 25);
    okButton->setDefault(true);
    okButton->setEnabled(false);
    cancelButton = new QPushButton(tr("&Cancel"), this);
    cancelButton->setGeometry(ClientWidth - 8 - 75, 150, 75, 25);
    cancelButton->setAutoDefault(false);

    connect(directoryEdit, &DirectoryEdit::changed, this, [this] { onDirectoryChanged(); });
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(directoryEdit->edit, directoryEdit->browseButton);
    setTabOrder(directoryEdit->browseButton, dateInNames);
    setTabOrder(dateInNames, htmlFormat);
    setTabOrder(htmlFormat, attachmentsBeside);
    setTabOrder(attachmentsBeside, okButton);
    setTabOrder(okButton, cancelButton);
}

void SaveExportDialog::onShown() {
    directoryEdit->setFocus(Qt::OtherFocusReason);
}

void SaveExportDialog::onDirectoryChanged() {
    okButton->setEnabled(!directoryEdit->text().isEmpty());
}

void SaveExportDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(*this);
    onShown();
}

}  // namespace lumbrook
