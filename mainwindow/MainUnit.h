#pragma once

// TMainForm: the program's one main window. The folder tree on the left, on the
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
#include "store/oexpress.h"

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

class TExportForm;
class TMessageListModel;
class TPanelSplitter;
class TPictureButton;
class TShowMailForm;
class TStatusPanel;
class TWebBrowser;
struct TBatchCommand;
struct TPrintJob;

inline constexpr const char* HomePageAddress = "https://harlstone.example/";

class TMainForm : public QMainWindow {
    Q_OBJECT

  public:
    // Builds the window and runs FormCreate: templates, options, folder list,
    // tree, first folder and first message. Paths says where the program's own
    // files are (tests give a directory of their own).
    explicit TMainForm(TAppPaths paths = TAppPaths::forThisProgram(), QWidget* parent = nullptr);
    ~TMainForm() override;  // FormDestroy

    // The secondary windows, created by the program after this window: the
    // message window, the save/export dialog and the about box.
    void setShowMailForm(TShowMailForm* form) { showMailForm = form; }
    void setExportForm(TExportForm* form) { exportForm = form; }
    void setAboutBox(QDialog* box) { aboutBox = box; }

    // Handlers. Each is what the control's event runs; the connections run them
    // through the standard error report.
    void formResize();
    void splitter2Moved();
    // The template position and the five check boxes as the options file keeps them.
    TOptions currentOptions() const;
    void openOptions();
    void saveOptions();
    void deleteTempFiles();
    void treeView1Click();
    void listView1ColumnClick(int column);
    // True when the key was Select all's (Ctrl+A, with Shift and Alt or without).
    bool listView1KeyDown(int key, Qt::KeyboardModifiers shift);
    void quitBtnClick();
    void listView1Change();
    void showHeadClick();
    void designBoxChange();
    void listView1DblClick();
    void cancelBtnClick();
    void wwwBtnClick();
    void ueberbtnClick();
    void endebtnClick();

    // The batch commands (each a batch of RunBatch) and what they use.
    void printBtnClick();
    void printerSetupBtnClick();
    void saveBtnClick();
    void exportBtnClick();
    void printBrowserDownloadComplete();
    // The batch frame: guard, set-up, walk over the selected rows in list order,
    // progress, completion box; the window is idle again however it ends.
    void runBatch(const TBatchCommand& command);

    // Progress in the status bar's second panel.
    void setProStatus(std::int32_t value);
    void sBarPaintMore();
    void statusBar1DrawPanel(QPainter& canvas, const QRect& rect);

    // The selected row that comes first in the list's current order; -1 for none.
    int firstSelectedRow() const;
    // The design the options strip asks for: ShowHead, the four field boxes and
    // the template chosen in DesignBox.
    TDesign currentDesign() const;
    // The template box's entry as the file name it stands for; empty for none.
    std::string designBoxName(int index) const;

    // Fields.
    const TAppPaths paths;
    const std::string programDir;
    TFolderList folderList;
    TMessageList messageList;
    std::string folderFile = "folders.dbx";
    TTempFiles tempFiles;
    std::int32_t listRatio = 50;
    std::int32_t previewOffset = -1;
    std::string previewFolder;
    bool cancelled = false;
    bool closing = false;
    bool selectingAll = false;
    bool batchRunning = false;
    std::int32_t proStatus = 0;
    QRect proRect;                  // the progress panel's rectangle, as last painted
    bool pageLoaded = false;        // the print page has loaded
    TPrinterSetup printerSettings;  // the printer and its page setup

    TImageList imageList1;

    // Controls.
    QToolBar* toolBar1 = nullptr;
    QToolButton* printBtn = nullptr;
    QToolButton* printerSetupBtn = nullptr;
    QToolButton* saveBtn = nullptr;
    QToolButton* exportBtn = nullptr;
    QToolButton* cancelBtn = nullptr;
    QToolButton* quitBtn = nullptr;       // "Select all"
    TPanelSplitter* splitter1 = nullptr;  // tree | right-hand panel
    QTreeWidget* treeView1 = nullptr;
    TPanelSplitter* rightPanel = nullptr;  // list over options and preview; its handle is Splitter2
    QTreeView* listView1 = nullptr;
    TMessageListModel* listModel = nullptr;
    QWidget* optionsStrip = nullptr;
    QCheckBox* showHead = nullptr;
    QCheckBox* voncheck = nullptr;
    QCheckBox* ancheck = nullptr;
    QCheckBox* datumcheck = nullptr;
    QCheckBox* betreffcheck = nullptr;
    QLabel* designLabel = nullptr;
    QComboBox* designBox = nullptr;
    TWebBrowser* webBrowser1 = nullptr;
    // Printing's own page, never shown: whatever the preview loads meanwhile, the
    // page printed is the message's print page.
    TWebBrowser* printBrowser = nullptr;
    QWidget* bottomBar = nullptr;
    QPushButton* wwwBtn = nullptr;
    TPictureButton* ueberbtn = nullptr;
    TPictureButton* endebtn = nullptr;
    QStatusBar* statusBar1 = nullptr;
    QLabel* statusPanel1 = nullptr;
    TStatusPanel* statusPanel2 = nullptr;

  signals:
    // SetProStatus was called with Value.
    void proStatusSet(std::int32_t value);

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
    void formCreate();
    void formDestroy();
    // The tree's items, top to bottom with children counted.
    std::vector<QTreeWidgetItem*> buildFolderTree();
    int selectedRowCount() const;
    bool printSetUp(TPrintJob& job);
    bool printMessage(const Toe5_MessageInfo& record, const TPrintJob& job);

    QTreeWidgetItem* listedNode = nullptr;  // the tree node of the folder listed
    TShowMailForm* showMailForm = nullptr;
    TExportForm* exportForm = nullptr;
    QDialog* aboutBox = nullptr;
};

}  // namespace lumbrook
