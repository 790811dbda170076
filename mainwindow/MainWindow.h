#pragma once

// MainWindow: the program's one main window. The folder tree on the left, on the
// right the message list, the options strip and the preview; tool bar on top,
// bottom bar and status bar below. The logic lives in plain code (FolderTree, the
// message order, BatchRun and the page pipeline of render/); the window only joins
// it to its controls. Tests and tools reach the controls by their object names
// (findChild) and the commands by their actions ("saveAction", ...).

#include <QMainWindow>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <cstdint>
#include <map>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <optional>
#include <vector>

#include "mainwindow/ImageList.h"
#include "platform/AppPaths.h"
#include "platform/Options.h"
#include "page/Page.h"
#include "platform/TempFiles.h"
#include "store/MailStore.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QProgressBar;
class QSettings;
class QSplitter;
class QStatusBar;
class QStackedWidget;
class QToolBar;
class QToolButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace lumbrook {

class AttachmentBar;
class BatchRun;
class MessageListModel;
class MessagePrinter;
class MessageWindow;
class PageView;
class PanelSplitter;
class RecoveryScanner;
class SaveExportDialog;
struct BatchCommand;
struct SearchResults;
struct RecoveredFolder;

inline constexpr const char* HomePageAddress = "https://harlstone.example/";
// How many stores "Open recent" offers.
inline constexpr int MaxRecentStores = 8;

// The settings the window keeps between sessions (size, position, splitters, column
// widths, recent stores), in the user's configuration directory; options.dat keeps
// the preview options as before.
QSettings windowSettings();

// A folder's message counts; -1 while not known.
struct FolderCount {
    std::int32_t total = -1;
    std::int32_t unread = -1;
};
// Counts of a message list.
FolderCount countMessages(const MessageList& messages);
// The tree's caption of a folder: "Inbox", "Inbox (12)", "Inbox (3/12)".
QString folderCaption(const QString& name, FolderCount count);

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // Builds the window and starts it up: templates, options, folder list, tree,
    // first folder and first message. Paths says where the program's own files
    // are (tests give a directory of their own).
    explicit MainWindow(MailStore store, AppPaths paths = AppPaths::forThisProgram(),
                        QWidget* parent = nullptr);
    // Saves the options and the layout and deletes the working files.
    ~MainWindow() override;

    // Shows another store: templates, options, folder list, tree, first folder and
    // first message as at start-up. A running batch keeps the store it has.
    void openStore(MailStore newStore);
    // The store directory a chosen or dropped path stands for: a directory itself,
    // a .dbx file's directory; empty for anything else.
    static std::string storeDirectoryOf(const QString& path);
    // The stores opened last, most recent first.
    QStringList recentStores() const;
    // The folder tree's counts by folder index.
    const std::vector<FolderCount>& folderCounts() const { return counts; }

    // The secondary windows, created by the program after this window.
    void setMessageWindow(MessageWindow* window);
    void setSaveExportDialog(SaveExportDialog* dialog) { saveExportDialog = dialog; }
    void setAboutDialog(QDialog* dialog) { aboutDialog = dialog; }

    // What the window shows and holds.
    const MessageList& messages() const { return records; }
    const MailStore& dbxStore() const { return store; }
    const std::string& folderFile() const { return listedFile; }
    // The message on show in the preview: its folder file and data offset (-1 for none).
    const std::string& previewFolder() const { return previewedFile; }
    std::int32_t previewOffset() const { return previewedOffset; }
    const TempFiles& workingFiles() const { return tempFiles; }
    const IconSet& iconSet() const { return icons; }
    // The selected row that comes first in the list's current order; -1 for none.
    int firstSelectedRow() const;
    bool batchRunning() const { return batchActive; }
    const MessagePrinter& printer() const { return *messagePrinter; }
    // Whether the list shows search results rather than a folder, and the folder
    // file a listed record comes from (the listed folder's, or its hit's).
    bool showingSearchResults() const { return searchView; }
    const std::string& fileOfRecord(std::size_t recordIndex) const;
    // What the scan of the folder listed found, once it is done; nullptr before.
    const RecoveredFolder* recoveredMessages() const { return recovered.get(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Closing the window by any means cancels a running batch, as the quit button does.
    void closeEvent(QCloseEvent* event) override;

  private:
    void createActions();
    void createToolBar();
    void createPanels();
    void createOptionsStrip(QWidget* parent);
    void createBottomBar(QWidget* parent);
    void createStatusBar();
    void createMenuBar();
    void connectHandlers();
    void restoreLayout();
    void saveLayout();
    void rememberStore();
    void updateRecentMenu();
    void showStorePlaceholder(bool show);
    // Folder counts: the listed folder's from its list, the others' read in the background.
    void startFolderCounts();
    void stopFolderCounts();
    void setFolderCount(int folder, FolderCount count);
    // The selected messages written as .eml files for a drag out of the list.
    QMimeData* dragData(const std::vector<int>& recordIndexes);
    void startUp();
    void shutDown();
    void buildFolderTree();
    Options currentOptions() const;
    void openOptions();
    void saveOptions();

    // Handlers; the connections run them through the standard error report.
    void onResized();
    void onListSplitterMoved();
    void onFolderClicked();
    void onSelectAll();
    void onSelectionChanged();
    void onPreviewOptionChanged();
    void onMessageDoubleClicked();
    void onCancel();
    void onHomePageClicked();
    void onAbout();
    void onQuit();
    void onOpenStore();
    void onPrint();
    void onPrintToPdf();
    void onExportStore();
    void onPrinterSetup();
    void onSave();
    void onExport();

    // The design the options strip asks for.
    Design currentDesign() const;
    // The selected records in the list's order (and their folder files into files).
    MessageList selectedRecords(std::vector<std::string>* files = nullptr) const;
    // The frame of every batch command: guard, set-up, the walk over the selection,
    // progress, completion box; the window is idle again however it ends.
    void runBatch(const BatchCommand& command);
    BatchCommand printCommand();
    bool printOne(const MessageInfo& record);
    MessageText readBatchMessage(const MessageInfo& record);
    void setProgress(std::int32_t percent);

    // The search (SearchView.cpp).
    void createSearchField();
    void onSearch();
    void showSearchResults(SearchResults results);
    void leaveSearchView();
    // The folder view's state again (columns, order, title), the list left as it is.
    void endSearchView();
    // Stops a running search and forgets what it would find (a store change, closing).
    void stopSearch();
    // Deleted and orphaned messages (RecoveryCommands.cpp).
    void createRecoveryControls(QStatusBar* bar);
    void onShowRecovered(bool show);
    // After a folder is listed: its scan, or the word on an index that cannot be read.
    void listRecovered();
    void forgetRecovered();
    void addRecovered(std::shared_ptr<const RecoveredFolder> found);
    // Changes the records between the list's update brackets, keeping the selection.
    void changeRecords(const std::function<void()>& change);
    // A row's text, listed (read from its folder file) or found by the scan of the
    // listed folder, for the preview, a batch and a drag.
    MessageText readListedMessage(const MessageInfo& record, const std::string& file);

    MailStore store;
    const AppPaths paths;
    FolderList folders;
    MessageList records;
    std::string listedFile = "folders.dbx";
    QTreeWidgetItem* listedNode = nullptr;  // the tree node of the folder listed
    TempFiles tempFiles;
    std::int32_t listRatio = 50;
    std::int32_t previewedOffset = -1;
    MessageOrigin previewedOrigin = MessageOrigin::Listed;  // a deleted chain may share an offset
    std::string previewedFile;
    bool closing = false;
    bool selectingAll = false;
    // What the running batch found damaged, for its completion box, and the folder
    // readers its messages are read through, one per folder file.
    std::vector<std::string> batchDamaged;
    std::map<std::string, FolderReader> batchReaders;
    std::string batchFile;  // of the message the batch is on
    bool batchActive = false;          // from a batch command's set-up to its end
    BatchRun* currentBatch = nullptr;  // the walk, once it has begun
    bool cancelRequested = false;      // Cancel (or closing) before the walk began
    IconSet icons;
    std::unique_ptr<MessagePrinter> messagePrinter;
    std::vector<FolderCount> counts;                    // by folder index
    std::vector<QTreeWidgetItem*> folderItems;          // by folder index
    std::shared_ptr<std::atomic<bool>> countsStop;      // of the running count
    std::thread countThread;
    std::unique_ptr<QTemporaryDir> dragDir;             // files dragged out of the list
    // The search: the hits' folder files beside the records (empty in a folder's
    // view), the folder and order to go back to, and the worker.
    std::vector<std::string> recordFiles;
    bool searchView = false;
    int returnFolder = -1;
    std::int32_t folderSortColumn = 0;
    bool folderSortDescending = true;
    QString folderViewTitle;
    std::thread searchThread;
    std::shared_ptr<std::atomic<bool>> searchStop;  // of the running search
    bool searchRunning = false;
    RecoveryScanner* recoveryScanner = nullptr;
    std::shared_ptr<const RecoveredFolder> recovered;   // of the folder listed

    MessageWindow* messageWindow = nullptr;
    SaveExportDialog* saveExportDialog = nullptr;
    QDialog* aboutDialog = nullptr;

    QAction* printAction = nullptr;
    QAction* printerSetupAction = nullptr;
    QAction* saveAction = nullptr;
    QAction* exportAction = nullptr;
    QAction* cancelAction = nullptr;
    QAction* selectAllAction = nullptr;
    QAction* aboutAction = nullptr;
    QAction* quitAction = nullptr;
    QAction* openStoreAction = nullptr;
    QAction* printPdfAction = nullptr;
    QAction* exportStoreAction = nullptr;
    QMenu* recentMenu = nullptr;
    QAction* findAction = nullptr;
    QAction* folderViewAction = nullptr;  // Escape: back from the search results
    QLineEdit* searchField = nullptr;
    QAction* showRecoveredAction = nullptr;
    QLabel* recoveryStatus = nullptr;
    QToolButton* recoverButton = nullptr;

    QToolBar* mainToolBar = nullptr;
    PanelSplitter* mainSplitter = nullptr;   // tree beside the right side
    PanelSplitter* rightSplitter = nullptr;  // list over options and preview
    QStackedWidget* listStack = nullptr;     // the list, or the text without a store
    QTreeWidget* folderTree = nullptr;
    QTreeView* messageList = nullptr;
    MessageListModel* messageModel = nullptr;
    QWidget* optionsStrip = nullptr;
    QCheckBox* previewWithDesign = nullptr;
    QCheckBox* showFromField = nullptr;
    QCheckBox* showToField = nullptr;
    QCheckBox* showDateField = nullptr;
    QCheckBox* showSubjectField = nullptr;
    QComboBox* designBox = nullptr;
    AttachmentBar* attachmentBar = nullptr;  // over the preview, hidden without attachments
    PageView* pageView = nullptr;
    QWidget* bottomBar = nullptr;
    QLabel* statusText = nullptr;
    QProgressBar* progressBar = nullptr;
};

}  // namespace lumbrook
