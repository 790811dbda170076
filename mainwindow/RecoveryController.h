#pragma once

// The deleted and orphaned messages in the window: the View menu's switch, the
// scan of the folder listed (listing/FoundMessages) run off the window's thread,
// the rows it adds after the folder's own and the status bar's word on a folder
// whose index cannot be read whole. Such a folder is scanned at once, switch or
// not: the messages its index lost are its own (the deleted ones still wait for
// the switch).

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "listing/FolderMessages.h"
#include "listing/FoundMessages.h"
#include "windows/BackgroundJob.h"

namespace lumbrook {

class MainWindowWidgets;
struct ListedMessages;

class RecoveryController : public QObject {
    Q_OBJECT

  public:
    // What the recovery asks of the window.
    struct Window {
        std::function<bool()> batchRunning;
        std::function<bool()> showingSearchResults;
    };

    RecoveryController(QWidget& window, MainWindowWidgets& ui, const MailStore& store,
                       ListedMessages& listed, Window hooks);

    // After a folder is listed: its scan, or the word on an index that cannot be read.
    void listRecovered();
    // Stops a scan and forgets what was found (the rows stay until the list changes).
    void forgetRecovered();
    // What the scan of the folder listed found, once it is done; nullptr before.
    const RecoveredFolder* found() const { return recovered.get(); }
    // A row's text, listed (read from its folder file) or found by a scan: of the
    // listed folder, or (a search result) of its own folder file.
    MessageText readMessage(const MessageInfo& record, const std::string& file) const;

  private:
    void onShowRecovered(bool show);
    void startScan(const MessageList& listedRecords);
    void addRecovered(std::shared_ptr<const RecoveredFolder> found);
    // Why the folder listed was scanned without the switch, for the status bar.
    QString damageText() const;
    // Changes the records between the list's update brackets, keeping the selection.
    void changeRecords(const std::function<void()>& change);

    QWidget& window;
    MainWindowWidgets& ui;
    const MailStore& store;
    ListedMessages& listed;
    Window hooks;
    std::shared_ptr<const RecoveredFolder> recovered;  // of the folder listed
    IndexDamage damage = IndexDamage::None;            // of the folder listed
    BackgroundJob scan;
};

}  // namespace lumbrook
