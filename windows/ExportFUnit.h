#pragma once

// TExportForm: the one save/export dialog, shared by "Save eMail" and "Export
// eMail". Created once at program start; what the user entered stays for the
// rest of the run and is never stored.

#include <QDialog>
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace lumbrook {

// A one-line field for a directory with a button that opens the desktop's
// folder chooser; the field's text is what counts.
class TDirectoryEdit : public QWidget {
    Q_OBJECT

  public:
    explicit TDirectoryEdit(QWidget* parent = nullptr);
    QString text() const;
    void setText(const QString& text);

    QLineEdit* edit = nullptr;
    QToolButton* browseBtn = nullptr;

  signals:
    void changed();

  private:
    void browse();
};

class TExportForm : public QDialog {
    Q_OBJECT

  public:
    explicit TExportForm(QWidget* parent = nullptr);

    // Handlers.
    void formShow();              // the input focus goes to the directory field
    void directoryEdit1Change();  // OK only with a directory typed or chosen

    QWidget* panel5 = nullptr;
    QLabel* titleLabel1 = nullptr;
    QLabel* label1 = nullptr;
    TDirectoryEdit* directoryEdit1 = nullptr;
    QCheckBox* datecheck = nullptr;
    QRadioButton* allHtmlCheck = nullptr;
    QRadioButton* txtCheck = nullptr;
    QRadioButton* mixedCheck = nullptr;
    QPushButton* okBtn = nullptr;
    QPushButton* cancelBtn = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace lumbrook
