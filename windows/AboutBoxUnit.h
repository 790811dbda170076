#pragma once

// TAboutBox: the "Info" dialog the bottom bar's about button shows. Created once at
// program start and kept for the whole run.

#include <QDialog>
#include <QImage>
#include <QString>

class QLabel;
class QPushButton;

namespace lumbrook {

class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // The first "XXXX" of Text replaced by Year in decimal.
    static QString WithYear(QString Text, int Year);
    // The embedded picture, decoded through libjpeg; a null image if it cannot be.
    static QImage LoadPicture();

    QLabel* Picture = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Description = nullptr;
    QLabel* Copyright = nullptr;
    QPushButton* wwwBtn = nullptr;
    QPushButton* OKButton = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace lumbrook
