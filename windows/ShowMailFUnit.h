#pragma once

// TShowMailForm: the message window a double click in the message list opens, a
// larger view of the page the preview shows with the message's From, Date, To and
// Subject above it. Created once at program start, shown modally, filled afresh
// for every opening; it has no commands besides closing.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace lumbrook {

class TWebBrowser;

class TShowMailForm : public QDialog {
    Q_OBJECT

  public:
    explicit TShowMailForm(QWidget* parent = nullptr);

    QWidget* Panel1 = nullptr;
    QLabel* Label1 = nullptr;  // "From:"
    QLabel* Label2 = nullptr;  // "Date:"
    QLabel* Label3 = nullptr;  // "To:"
    QLabel* Label4 = nullptr;  // "Subject:"
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QPushButton* BitBtn1 = nullptr;  // "Go back..."
    TWebBrowser* WebBrowser1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

}  // namespace lumbrook
