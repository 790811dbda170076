#pragma once

// AboutDialog: the "Info" dialog the bottom bar's about button shows. Created once at
// program start and kept for the whole run.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace lumbrook {

class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // The first "XXXX" of Text replaced by Year in decimal.
    static QString withYear(QString text, int year);

    QLabel* picture = nullptr;
    QLabel* productName = nullptr;
    QLabel* description = nullptr;
    QLabel* copyright = nullptr;
    QPushButton* homePageButton = nullptr;
    QPushButton* okButton = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace lumbrook
