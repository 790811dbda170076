#pragma once

// "Export store...": the format, the destination and the folders to include (the
// store's tree with check boxes, all checked), then the conversion with progress
// and Cancel, off the window's thread. The walk is the command line's.

#include <QDialog>
#include <QString>
#include <exception>
#include <functional>

#include "convert/StoreConversion.h"
#include "store/MailStore.h"

class QButtonGroup;

namespace lumbrook {

class DirectoryEdit;
class FolderCheckTree;

class ExportStoreDialog : public QDialog {
    Q_OBJECT

  public:
    ExportStoreDialog(const MailStore& store, QWidget* parent = nullptr);

    // What the user chose; the folders as a per-folder decision.
    ConversionOptions options() const;

  private:
    void updateOk();

    std::vector<StoreFolder> folders;
    QButtonGroup* formats = nullptr;
    DirectoryEdit* destination = nullptr;
    FolderCheckTree* tree = nullptr;
    QPushButton* okButton = nullptr;
};

// Shows the dialog, runs the conversion with a progress dialog whose Cancel stops
// after the message in hand, and reports what was done and what was not. The
// window stays responsive meanwhile. wordError, when given, words the errors of
// single folders and messages as the window words its own.
void exportStore(const MailStore& store, QWidget* parent,
                 std::function<QString(const std::exception&)> wordError = {});

}  // namespace lumbrook
