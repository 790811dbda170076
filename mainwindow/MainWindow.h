#pragma once

// MainWindow: the program's one main window. The folder tree on the left, on the
// right the message list, the options strip and the preview; tool bar on top,
// bottom bar and status bar below. Its fields and controls carry the names the
// rest of the program uses; the logic lives in plain code (FolderTree, SortOrder,
// the page pipeline of render/) and the handlers only join it to the controls.

#include <QMainWindow>
#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

#include "mainwindow/ImageList.h"
#include "platform/browser/Printing.h"
#include "render/AppPaths.h"
#include "render/Options.h"
#include "render/Render.h"
#include "render/TempFiles.h"
#include "store/DbxReader.h"
#include "store/DbxStore.h"

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QPushButton;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace lumbrook {

class SaveExportDialog;
class MessageListModel;
class PanelSplitter;
class PictureButton;
class MessageWindow;
class ProgressPanel;
class PageView;
struct BatchCommand;
struct PrintJob;

inline constexpr const char* HomePageAddress = "https://harlstone.example/";

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // Builds the window and runs startUp: templates, options, folder list,
    // tree, first folder and first message, all of store. Paths says where the
    // program's own files are (tests give a directory of their own).
    explicit MainWindow(DbxStore store, AppPaths paths = AppPaths::forThisProgram(),
                        QWidget* parent = nullptr);
    ~MainWindow() override;  // shutDown

    // The secondary windows, created by the program after this window: the
    // message window, the save/export dialog and the about box.
    void setMessageWindow(MessageWindow* form) { messageWindow = form; }
    void setSaveExportDialog(SaveExportDialog* form) { saveExportDialog = form; }
    void setAboutDialog(QDialog* box) { aboutDialog = box; }

    // Handlers. Each is what the control's event runs; the connections run them
    // through the standard error report.
    void onResized();
    void onListSplitterMoved();
    // The template position and the five check boxes as the options file keeps them.
    Options currentOptions() const;
    void openOptions();
    void saveOptions();
    void deleteTempFiles();
    void onFolderClicked();
    void onColumnClicked(int column);
    // True when the key was Select all's (Ctrl+A, with Shift and Alt or without).
    bool handleListKey(int key, Qt::KeyboardModifiers shift);
    void onSelectAllClicked();
    void onSelectionChanged();
    void onPreviewWithDesignClicked();
    void onDesignChosen();
    void onMessageDoubleClicked();
    void onCancelClicked();
    void onHomePageClicked();
    void onAboutClicked();
    void onQuitClicked();

    // The batch commands (each a batch of runBatch) and what they use.
    void onPrintClicked();
    void onPrinterSetupClicked();
    void onSaveClicked();
    void onExportClicked();
    void onPrintPageLoaded();
    // The batch frame: guard, set-up, walk over the selected rows in list order,
    // progress, completion box; the window is idle again however it ends.
    void runBatch(const BatchCommand& command);

    // Progress in the status bar's second panel.
    void setProgress(std::int32_t value);
    void repaintProgress();
    void drawProgressPanel(QPainter& canvas, const QRect& rect);

    // The selected row that comes first in the list's current order; -1 for none.
    int firstSelectedRow() const;
    // The design the options strip asks for: previewWithDesign, the four field boxes and
    // the template chosen in designBox.
    Design currentDesign() const;
    // The template box's entry as the file name it stands for; empty for none.
    std::string designBoxName(int index) const;

    // Fields.
    const DbxStore store;
    const AppPaths paths;
    const std::string programDir;
    FolderList folders;
    MessageList messages;
    std::string folderFile = "folders.dbx";
    TempFiles tempFiles;
    std::int32_t listRatio = 50;
    std::int32_t previewOffset = -1;
    std::string previewFolder;
    bool cancelled = false;
    bool closing = false;
    bool selectingAll = false;
    bool batchRunning = false;
    std::int32_t progress = 0;
    QRect progressRect;                  // the progress panel's rectangle, as last painted
    bool pageLoaded = false;        // the print page has loaded
    PrinterSetup printerSettings;  // the printer and its page setup

    IconSet icons;

    // Controls.
    QToolBar* mainToolBar = nullptr;
    QToolButton* printButton = nullptr;
    QToolButton* printerSetupButton = nullptr;
    QToolButton* saveButton = nullptr;
    QToolButton* exportButton = nullptr;
    QToolButton* cancelButton = nullptr;
    QToolButton* selectAllButton = nullptr;       // "Select all"
    PanelSplitter* mainSplitter = nullptr;  // tree | right-hand panel
    QTreeWidget* folderTree = nullptr;
    PanelSplitter* rightSplitter = nullptr;  // list over options and preview; its handle is the list splitter
    QTreeView* messageList = nullptr;
    MessageListModel* messageModel = nullptr;
    QWidget* optionsStrip = nullptr;
    QCheckBox* previewWithDesign = nullptr;
    QCheckBox* showFromField = nullptr;
    QCheckBox* showToField = nullptr;
    QCheckBox* showDateField = nullptr;
    QCheckBox* showSubjectField = nullptr;
    QLabel* designLabel = nullptr;
    QComboBox* designBox = nullptr;
    PageView* pageView = nullptr;
    // Printing's own page, never shown: whatever the preview loads meanwhile, the
    // page printed is the message's print page.
    PageView* printView = nullptr;
    QWidget* bottomBar = nullptr;
    QPushButton* homePageButton = nullptr;
    PictureButton* aboutButton = nullptr;
    PictureButton* quitButton = nullptr;
    QStatusBar* statusLine = nullptr;
    QLabel* statusText = nullptr;
    ProgressPanel* progressPanel = nullptr;

  signals:
    // setProgress was called with Value.
    void progressSet(std::int32_t value);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the window by any means cancels a running batch, as the quit button does.
    void closeEvent(QCloseEvent* event) override;

  private:
    void createToolBar();
    void createPanels();
    void createOptionsStrip(QWidget* parent);
    void createBottomBar(QWidget* parent);
    void createStatusBar();
    void connectHandlers();
    void startUp();
    void shutDown();
    // The tree's items, top to bottom with children counted.
    std::vector<QTreeWidgetItem*> buildFolderTree();
    int selectedRowCount() const;
    bool printSetUp(PrintJob& job);
    bool printMessage(const MessageInfo& record, const PrintJob& job);

    QTreeWidgetItem* listedNode = nullptr;  // the tree node of the folder listed
    MessageWindow* messageWindow = nullptr;
    SaveExportDialog* saveExportDialog = nullptr;
    QDialog* aboutDialog = nullptr;
};

}  // namespace lumbrook
