#pragma once

// MainWindow: the program's one main window. The folder tree on the left, on the
// right the message list, the options strip and the preview; tool bar on top,
// bottom bar and status bar below. The logic lives in plain code (FolderTree, the
// message order, BatchRun and the page pipeline of page/ and output/); the window
// joins it to its controls, which MainWindowWidgets builds, and to its parts: the
// search (SearchController), the deleted and orphaned messages (RecoveryController)
// and the folder counts (FolderCounts). Tests and tools reach the controls by their object names
// (findChild) and the commands by their actions ("saveAction", ...).

#include <QMainWindow>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mainwindow/FolderCounts.h"
#include "mainwindow/ImageList.h"
#include "mainwindow/ListedMessages.h"
#include "mainwindow/WindowSettings.h"
#include "page/Page.h"
#include "platform/AppPaths.h"
#include "platform/TempFiles.h"
#include "store/MailStore.h"

class QDialog;
class QMimeData;
class QTreeWidgetItem;

namespace lumbrook {

class BatchCommands;
class FoundStoresPanel;
class MainWindowWidgets;
class MessagePrinter;
class MessageWindow;
class PreviewOptions;
class RecoveryController;
class SaveExportDialog;
class SearchController;
struct RecoveredFolder;

inline constexpr const char* HomePageAddress = "https://harlstone.example/";
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
    // The store a chosen or dropped path stands for (storePathOf).
    static std::string storeDirectoryOf(const QString& path) { return storePathOf(path); }
    // The stores opened last, most recent first.
    QStringList recentStores() const { return lumbrook::recentStores(); }
    // The folder tree's counts by folder index.
    const std::vector<FolderCount>& folderCounts() const;

    // The secondary windows, created by the program after this window.
    void setMessageWindow(MessageWindow* window);
    void setSaveExportDialog(SaveExportDialog* dialog) { saveExportDialog = dialog; }
    void setAboutDialog(QDialog* dialog) { aboutDialog = dialog; }

    // What the window shows and holds.
    const MessageList& messages() const { return listed.records; }
    const MailStore& dbxStore() const { return store; }
    const std::string& folderFile() const { return listed.file; }
    // The message on show in the preview: its folder file and data offset (-1 for none).
    const std::string& previewFolder() const { return previewed.file; }
    std::int64_t previewOffset() const { return previewed.offset; }
    const TempFiles& workingFiles() const { return tempFiles; }
    const IconSet& iconSet() const { return icons; }
    // The selected row that comes first in the list's current order; -1 for none.
    int firstSelectedRow() const;
    bool batchRunning() const;
    const MessagePrinter& printer() const;
    // Whether the list shows search results rather than a folder, and the folder
    // file a listed record comes from (the listed folder's, or its hit's).
    bool showingSearchResults() const;
    const std::string& fileOfRecord(std::size_t recordIndex) const {
        return listed.fileOf(recordIndex);
    }
    // What the scan of the folder listed found, once it is done; nullptr before.
    const RecoveredFolder* recoveredMessages() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Closing the window by any means cancels a running batch, as the quit button does.
    void closeEvent(QCloseEvent* event) override;

  private:
    void connectHandlers();
    void rememberStore();
    void updateRecentMenu();
    void showStorePlaceholder(bool show);
    // A folder's count in the tree: its caption, bold with unread messages.
    void showFolderCount(int folder, FolderCount count);
    void startUp();
    void showFolderListProblem();
    void shutDown();
    void buildFolderTree();
    // The folder and store in the title, as the list shows them.
    void updateWindowTitle();
    // The commands that need a store or a selection are offered only with one.
    void updateCommandStates();
    // Back from search results: the folder's message shown before the search, if
    // it is listed, else no message.
    void showFolderPreview();
    // The index of the folder listed; -1 for none.
    int listedFolder() const;
    // Lists a folder as a click on it does; false when there is no such folder.
    bool listFolder(int folder);

    // Handlers; the connections run them through the standard error report.
    void onResized();
    void onListSplitterMoved();
    void onFolderClicked();
    void onSelectAll();
    void onSelectionChanged();
    void onPreviewOptionChanged();
    void onMessageDoubleClicked();
    void onMessageMenuRequested(const QPoint& position);
    void onShowInFolder();
    void onCancel();
    void onHomePageClicked();
    void onAbout();
    void onQuit();
    void onOpenStore();
    void onExportStore();

    // The design the options strip asks for.
    Design currentDesign() const;
    // A row's text, listed (read from its folder file) or found by the scan of the
    // listed folder, for the preview, a batch and a drag.
    MessageText readListedMessage(const MessageInfo& record, const std::string& file);

    MailStore store;
    const AppPaths paths;
    FolderList folders;
    ListedMessages listed;
    std::vector<QTreeWidgetItem*> folderItems;  // by folder index
    TempFiles tempFiles;
    std::int32_t listRatio = 50;
    // The message on show in the preview; a deleted chain may share a listed one's offset.
    struct Previewed {
        std::int64_t offset = -1;
        MessageOrigin origin = MessageOrigin::Listed;
        std::string file;
    } previewed;
    Previewed folderPreview;  // what the preview showed when the search results came
    bool closing = false;
    bool selectingAll = false;
    IconSet icons;

    MessageWindow* messageWindow = nullptr;
    SaveExportDialog* saveExportDialog = nullptr;
    QDialog* aboutDialog = nullptr;

    // The controls, then the parts that work on them (gone before the controls).
    std::unique_ptr<MainWindowWidgets> ui;
    std::unique_ptr<PreviewOptions> options;
    std::unique_ptr<FolderCounts> counts;
    std::unique_ptr<SearchController> search;
    std::unique_ptr<RecoveryController> recovery;
    FoundStoresPanel* foundStores = nullptr;  // on the no-store page
    bool usualPlacesSearched = false;
    std::unique_ptr<BatchCommands> batches;
};

}  // namespace lumbrook
