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

    QWidget* panel1 = nullptr;
    QLabel* label1 = nullptr;  // "From:"
    QLabel* label2 = nullptr;  // "Date:"
    QLabel* label3 = nullptr;  // "To:"
    QLabel* label4 = nullptr;  // "Subject:"
    QLineEdit* edit1 = nullptr;
    QLineEdit* edit2 = nullptr;
    QLineEdit* edit3 = nullptr;
    QLineEdit* edit4 = nullptr;
    QPushButton* bitBtn1 = nullptr;  // "Go back..."
    TWebBrowser* webBrowser1 = nullptr;
    QStatusBar* statusBar1 = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

}  // namespace lumbrook
