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
    QString Text() const;
    void SetText(const QString& Text);

    QLineEdit* Edit = nullptr;
    QToolButton* BrowseBtn = nullptr;

  signals:
    void Changed();

  private:
    void Browse();
};

class TExportForm : public QDialog {
    Q_OBJECT

  public:
    explicit TExportForm(QWidget* parent = nullptr);

    // Handlers.
    void FormShow();              // the input focus goes to the directory field
    void DirectoryEdit1Change();  // OK only with a directory typed or chosen

    QWidget* Panel5 = nullptr;
    QLabel* TitleLabel1 = nullptr;
    QLabel* Label1 = nullptr;
    TDirectoryEdit* DirectoryEdit1 = nullptr;
    QCheckBox* datecheck = nullptr;
    QRadioButton* AllHTMLCheck = nullptr;
    QRadioButton* TXTCheck = nullptr;
    QRadioButton* MixedCheck = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace lumbrook
