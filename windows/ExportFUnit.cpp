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
    Edit = new QLineEdit(this);
    BrowseBtn = new QToolButton(this);
    BrowseBtn->setText(QStringLiteral("..."));
    BrowseBtn->setToolTip(QStringLiteral("Choose a directory"));
    BrowseBtn->setFocusPolicy(Qt::TabFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(Edit, 1);
    layout->addWidget(BrowseBtn);
    setFocusProxy(Edit);
    connect(Edit, &QLineEdit::textChanged, this, &TDirectoryEdit::Changed);
    connect(BrowseBtn, &QToolButton::clicked, this, &TDirectoryEdit::Browse);
}

QString TDirectoryEdit::Text() const {
    return Edit->text();
}

void TDirectoryEdit::SetText(const QString& Text) {
    Edit->setText(Text);
}

void TDirectoryEdit::Browse() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Choose the destination directory"), Edit->text());
    if (!chosen.isEmpty()) Edit->setText(chosen);
}

TExportForm::TExportForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Save/export eMail"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(ClientWidth, ClientHeight);

    Panel5 = new QWidget(this);
    Panel5->setGeometry(0, 0, ClientWidth, 33);
    Panel5->setAutoFillBackground(true);
    QPalette band = Panel5->palette();
    band.setColor(QPalette::Window, TitleColour);
    band.setColor(QPalette::WindowText, Qt::black);
    Panel5->setPalette(band);
    TitleLabel1 =
        new QLabel(QStringLiteral("Save or export eMail - choose destination directory"), Panel5);
    QFont bold = TitleLabel1->font();
    bold.setBold(true);
    TitleLabel1->setFont(bold);
    TitleLabel1->setGeometry(8, 0, ClientWidth - 16, 33);
    TitleLabel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Label1 = new QLabel(QStringLiteral("Destination directory:"), this);
    Label1->setGeometry(8, 41, 200, 16);
    DirectoryEdit1 = new TDirectoryEdit(this);
    DirectoryEdit1->setGeometry(8, 58, ClientWidth - 16, 24);
    Label1->setBuddy(DirectoryEdit1);

    datecheck = new QCheckBox(QStringLiteral("Date as part of the file name"), this);
    datecheck->setGeometry(8, 88, 250, 20);
    datecheck->setChecked(true);

    AllHTMLCheck = new QRadioButton(QStringLiteral("Always save as HTML file"), this);
    AllHTMLCheck->setGeometry(8, 110, 250, 20);
    AllHTMLCheck->setChecked(true);
    TXTCheck = new QRadioButton(QStringLiteral("Always save as TXT file"), this);
    TXTCheck->setGeometry(8, 130, 250, 20);
    MixedCheck = new QRadioButton(QStringLiteral("Save in same format as email"), this);
    MixedCheck->setGeometry(8, 150, 250, 20);

    OkBtn = new QPushButton(QStringLiteral("OK"), this);
    OkBtn->setGeometry(ClientWidth - 8 - 75, 118, 75, 25);
    OkBtn->setDefault(true);
    OkBtn->setEnabled(false);
    CancelBtn = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelBtn->setGeometry(ClientWidth - 8 - 75, 150, 75, 25);
    CancelBtn->setAutoDefault(false);

    connect(DirectoryEdit1, &TDirectoryEdit::Changed, this, [this] { DirectoryEdit1Change(); });
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(DirectoryEdit1->Edit, DirectoryEdit1->BrowseBtn);
    setTabOrder(DirectoryEdit1->BrowseBtn, datecheck);
    setTabOrder(datecheck, AllHTMLCheck);
    setTabOrder(AllHTMLCheck, OkBtn);
    setTabOrder(OkBtn, CancelBtn);
}

void TExportForm::FormShow() {
    DirectoryEdit1->setFocus(Qt::OtherFocusReason);
}

void TExportForm::DirectoryEdit1Change() {
    OkBtn->setEnabled(!DirectoryEdit1->Text().isEmpty());
}

void TExportForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(*this);
    FormShow();
}

}  // namespace lumbrook
