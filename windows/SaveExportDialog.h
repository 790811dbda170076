#pragma once

// SaveExportDialog: the one save/export dialog, shared by "Save eMail" and "Export
// eMail". Created once at program start; what the user entered stays for the
// rest of the run and is never stored, but for "Attachments beside the page",
// which the main window keeps in its settings.

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
class DirectoryEdit : public QWidget {
    Q_OBJECT

  public:
    explicit DirectoryEdit(QWidget* parent = nullptr);
    QString text() const;
    void setText(const QString& text);

    QLineEdit* edit = nullptr;
    QToolButton* browseButton = nullptr;

  signals:
    void changed();

  private:
    void browse();
};

class SaveExportDialog : public QDialog {
    Q_OBJECT

  public:
    explicit SaveExportDialog(QWidget* parent = nullptr);

    // Handlers.
    void onShown();              // the input focus goes to the directory field
    void onDirectoryChanged();  // OK only with a directory typed or chosen

    QWidget* titlePanel = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* directoryLabel = nullptr;
    DirectoryEdit* directoryEdit = nullptr;
    QCheckBox* dateInNames = nullptr;
    QRadioButton* htmlFormat = nullptr;
    QRadioButton* textFormat = nullptr;
    QRadioButton* sameFormat = nullptr;
    // Export only: the attachments written into "<page>_files/" and listed on the
    // page. The window keeps the choice between runs.
    QCheckBox* attachmentsBeside = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace lumbrook
