#pragma once

// File > "Upload to mail server...": the account (server, security, user, password,
// folder on the server), the folders to take (the Export store dialog's tree), then
// the upload with progress and Cancel, off the window's thread. The walk is the
// command line's (upload/StoreUpload.h).

#include <QDialog>
#include <functional>

#include "store/MailStore.h"
#include "upload/StoreUpload.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace lumbrook {

class FolderCheckTree;

class UploadDialog : public QDialog {
    Q_OBJECT

  public:
    UploadDialog(const MailStore& store, QWidget* parent = nullptr);

    // What the user chose; the password stays in the options only.
    UploadOptions options() const;

  private:
    void updateOk();
    void onSecurityChanged(int index);

    QLineEdit* server = nullptr;
    QSpinBox* port = nullptr;
    QComboBox* security = nullptr;
    QLineEdit* user = nullptr;
    QLineEdit* password = nullptr;
    QLineEdit* prefix = nullptr;
    QLineEdit* caFile = nullptr;
    QCheckBox* deletedMessages = nullptr;
    FolderCheckTree* tree = nullptr;
    QPushButton* okButton = nullptr;
};

// What an upload did, in words for a message box; whole when every message of it
// is on the server.
struct UploadOutcome {
    QString text;
    bool whole = false;
};

// Runs the upload off the window's thread with a progress dialog whose Cancel stops
// after the batch in hand; the window stays responsive meanwhile.
UploadOutcome runUpload(const MailStore& store, const UploadOptions& options, QWidget* parent);

// Shows the dialog, runs the upload and reports what was uploaded and what was not.
void uploadStore(const MailStore& store, QWidget* parent);

// Puts "Upload to mail server..." into the menus that hold after, right behind it,
// enabled along with it. store gives the window's store when chosen; mayStart says
// whether the window lets a job begin now.
QAction* addUploadAction(QAction* after, QWidget* window, std::function<const MailStore&()> store,
                         std::function<bool()> mayStart);

}  // namespace lumbrook
