#include "windows/AboutDialog.h"

#include <QDate>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "windows/Centre.h"

namespace lumbrook {

namespace {
const char* const MakerHomePage = "https://harlstone.example/";
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Info"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    picture = new QLabel(this);
    const QImage image(QStringLiteral(":/windows/about.png"));
    if (!image.isNull()) picture->setPixmap(QPixmap::fromImage(image));
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setAlignment(Qt::AlignCenter);

    productName =
        new QLabel(tr("Harlstone Lumbrook %1").arg(QStringLiteral(LUMBROOK_VERSION)), this);
    QFont big = productName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    productName->setFont(big);
    description = new QLabel(tr("Reads, prints, saves and exports the mail of "
                                "Outlook Express 5 and 6 stores.\n"
                                "The store itself is only ever read, never changed."),
                             this);
    description->setWordWrap(true);
    copyright = new QLabel(withYear(tr("Version %1\nCopyright \u00A9 XXXX Harlstone.\n"
                                       "Free software under the MIT licence: use, copy, change and "
                                       "pass it on, with the licence text beside it.")
                                        .arg(QStringLiteral(LUMBROOK_VERSION)),
                                    QDate::currentDate().year()),
                           this);
    copyright->setWordWrap(true);

    homePageButton = new QPushButton(QStringLiteral("harlstone.example"), this);
    homePageButton->setToolTip(tr("Go to the Harlstone homepage..."));
    homePageButton->setCursor(Qt::PointingHandCursor);
    homePageButton->setFlat(true);
    homePageButton->setAutoDefault(false);
    connect(homePageButton, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(MakerHomePage))); });

    okButton = new QPushButton(tr("OK"), this);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(productName);
    texts->addSpacing(8);
    texts->addWidget(description);
    texts->addSpacing(8);
    texts->addWidget(copyright);
    texts->addStretch(1);
    texts->addWidget(homePageButton, 0, Qt::AlignLeft);

    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    description->setFixedWidth(250);
    copyright->setFixedWidth(250);
}

QString AboutDialog::withYear(QString text, int year) {
    const qsizetype at = text.indexOf(QLatin1String("XXXX"));
    if (at >= 0) text.replace(at, 4, QString::number(year));
    return text;
}

void AboutDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(*this);
}

}  // namespace lumbrook
