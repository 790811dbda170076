#pragma once

// The deleted and orphaned messages in the window: the View menu's switch, the
// scan of the folder listed (search/FoundMessages) run off the window's thread,
// the rows it adds after the folder's own and the status bar's word on a folder
// whose index cannot be read.

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "search/FoundMessages.h"
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
    // A row's text, listed (read from its folder file) or found by the scan of the
    // listed folder.
    MessageText readMessage(const MessageInfo& record, const std::string& file) const;

  private:
    void onShowRecovered(bool show);
    void startScan(const MessageList& listedRecords);
    void addRecovered(std::shared_ptr<const RecoveredFolder> found);
    // Changes the records between the list's update brackets, keeping the selection.
    void changeRecords(const std::function<void()>& change);

    QWidget& window;
    MainWindowWidgets& ui;
    const MailStore& store;
    ListedMessages& listed;
    Window hooks;
    std::shared_ptr<const RecoveredFolder> recovered;  // of the folder listed
    BackgroundJob scan;
};

}  // namespace lumbrook
