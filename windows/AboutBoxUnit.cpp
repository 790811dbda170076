#include "windows/AboutBoxUnit.h"

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
#include <string>

#include "windows/Centre.h"
#include "windows/AboutPicture.h"
#include "windows/JpegPicture.h"

namespace lumbrook {

namespace {
const char* const MakerHomePage = "https://harlstone.example/";
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Info"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Picture = new QLabel(this);
    const QImage image = LoadPicture();
    if (!image.isNull()) Picture->setPixmap(QPixmap::fromImage(image));
    Picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture->setAlignment(Qt::AlignCenter);

    ProductName = new QLabel(QStringLiteral("Harlstone Lumbrook 1.0"), this);
    QFont big = ProductName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    ProductName->setFont(big);
    Description = new QLabel(QStringLiteral("Reads, prints, saves and exports the mail of "
                                            "Outlook Express 5 and 6 stores.\n"
                                            "The store itself is only ever read, never changed."),
                             this);
    Description->setWordWrap(true);
    Copyright =
        new QLabel(WithYear(QStringLiteral("Copyright \u00A9 XXXX Harlstone. All rights reserved."),
                            QDate::currentDate().year()),
                   this);
    Copyright->setWordWrap(true);

    wwwBtn = new QPushButton(QStringLiteral("harlstone.example"), this);
    wwwBtn->setToolTip(QStringLiteral("Go to the Harlstone homepage..."));
    wwwBtn->setCursor(Qt::PointingHandCursor);
    wwwBtn->setFlat(true);
    wwwBtn->setAutoDefault(false);
    connect(wwwBtn, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(MakerHomePage))); });

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(ProductName);
    texts->addSpacing(8);
    texts->addWidget(Description);
    texts->addSpacing(8);
    texts->addWidget(Copyright);
    texts->addStretch(1);
    texts->addWidget(wwwBtn, 0, Qt::AlignLeft);

    auto* top = new QHBoxLayout;
    top->addWidget(Picture, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Description->setFixedWidth(250);
    Copyright->setFixedWidth(250);
}

QString TAboutBox::WithYear(QString Text, int Year) {
    const qsizetype at = Text.indexOf(QLatin1String("XXXX"));
    if (at >= 0) Text.replace(at, 4, QString::number(Year));
    return Text;
}

QImage TAboutBox::LoadPicture() {
    TJpegPicture picture;
    std::string error;
    if (!DecodeJpeg(AboutPictureJpeg, AboutPictureJpegSize, picture, error)) return {};
    QImage image(picture.Rgb.data(), picture.Width, picture.Height, picture.Width * 3,
                 QImage::Format_RGB888);
    return image.copy();  // the pixels go with the picture
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

}  // namespace lumbrook
