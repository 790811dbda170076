#pragma once

// MessageWindow: the message window a double click in the message list opens, a
// larger view of the page the preview shows with the message's From, Date, To and
// Subject above it. Created once at program start, shown modally, filled afresh
// for every opening; it has no commands besides closing.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace lumbrook {

class AttachmentBar;
class PageView;

class MessageWindow : public QDialog {
    Q_OBJECT

  public:
    explicit MessageWindow(QWidget* parent = nullptr);

    QWidget* headerPanel = nullptr;
    QLabel* fromLabel = nullptr;  // "From:"
    QLabel* dateLabel = nullptr;  // "Date:"
    QLabel* toLabel = nullptr;  // "To:"
    QLabel* subjectLabel = nullptr;  // "Subject:"
    QLineEdit* fromField = nullptr;
    QLineEdit* dateField = nullptr;
    QLineEdit* toField = nullptr;
    QLineEdit* subjectField = nullptr;
    QPushButton* backButton = nullptr;  // "Go back..."
    AttachmentBar* attachmentBar = nullptr;  // hidden when the message has none
    PageView* pageView = nullptr;
    QStatusBar* statusLine = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

}  // namespace lumbrook
