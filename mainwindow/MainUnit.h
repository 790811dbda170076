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
    explicit TMainForm(TAppPaths Paths = TAppPaths::ForThisProgram(), QWidget* parent = nullptr);
    ~TMainForm() override;  // FormDestroy

    // The secondary windows, created by the program after this window: the
    // message window, the save/export dialog and the about box.
    void SetShowMailForm(TShowMailForm* Form) { ShowMailForm = Form; }
    void SetExportForm(TExportForm* Form) { ExportForm = Form; }
    void SetAboutBox(QDialog* Box) { AboutBox = Box; }

    // Handlers. Each is what the control's event runs; the connections run them
    // through the standard error report.
    void FormResize();
    void Splitter2Moved();
    // The template position and the five check boxes as the options file keeps them.
    TOptions CurrentOptions() const;
    void OpenOptions();
    void SaveOptions();
    void DeleteTempFiles();
    void TreeView1Click();
    void ListView1ColumnClick(int Column);
    // True when the key was Select all's (Ctrl+A, with Shift and Alt or without).
    bool ListView1KeyDown(int Key, Qt::KeyboardModifiers Shift);
    void QuitBtnClick();
    void ListView1Change();
    void ShowHeadClick();
    void DesignBoxChange();
    void ListView1DblClick();
    void CancelBtnClick();
    void wwwBtnClick();
    void ueberbtnClick();
    void endebtnClick();

    // The batch commands (each a batch of RunBatch) and what they use.
    void PrintBtnClick();
    void PrinterSetupBtnClick();
    void SaveBtnClick();
    void ExportBtnClick();
    void PrintBrowserDownloadComplete();
    // The batch frame: guard, set-up, walk over the selected rows in list order,
    // progress, completion box; the window is idle again however it ends.
    void RunBatch(const TBatchCommand& Command);

    // Progress in the status bar's second panel.
    void SetProStatus(std::int32_t Value);
    void SBarPaintMore();
    void StatusBar1DrawPanel(QPainter& Canvas, const QRect& Rect);

    // The selected row that comes first in the list's current order; -1 for none.
    int FirstSelectedRow() const;
    // The design the options strip asks for: ShowHead, the four field boxes and
    // the template chosen in DesignBox.
    TDesign CurrentDesign() const;
    // The template box's entry as the file name it stands for; empty for none.
    std::string DesignBoxName(int Index) const;

    // Fields.
    const TAppPaths Paths;
    const std::string ProgramDir;
    TFolderList FolderList;
    TMessageList MessageList;
    std::string FolderFile = "folders.dbx";
    TTempFiles TempFiles;
    std::int32_t ListRatio = 50;
    std::int32_t PreviewOffset = -1;
    std::string PreviewFolder;
    bool Cancelled = false;
    bool Closing = false;
    bool SelectingAll = false;
    bool BatchRunning = false;
    std::int32_t ProStatus = 0;
    QRect ProRect;                  // the progress panel's rectangle, as last painted
    bool PageLoaded = false;        // the print page has loaded
    TPrinterSetup PrinterSettings;  // the printer and its page setup

    TImageList ImageList1;

    // Controls.
    QToolBar* ToolBar1 = nullptr;
    QToolButton* PrintBtn = nullptr;
    QToolButton* PrinterSetupBtn = nullptr;
    QToolButton* SaveBtn = nullptr;
    QToolButton* ExportBtn = nullptr;
    QToolButton* CancelBtn = nullptr;
    QToolButton* QuitBtn = nullptr;       // "Select all"
    TPanelSplitter* Splitter1 = nullptr;  // tree | right-hand panel
    QTreeWidget* TreeView1 = nullptr;
    TPanelSplitter* RightPanel = nullptr;  // list over options and preview; its handle is Splitter2
    QTreeView* ListView1 = nullptr;
    TMessageListModel* ListModel = nullptr;
    QWidget* OptionsStrip = nullptr;
    QCheckBox* ShowHead = nullptr;
    QCheckBox* voncheck = nullptr;
    QCheckBox* ancheck = nullptr;
    QCheckBox* datumcheck = nullptr;
    QCheckBox* betreffcheck = nullptr;
    QLabel* DesignLabel = nullptr;
    QComboBox* DesignBox = nullptr;
    TWebBrowser* WebBrowser1 = nullptr;
    // Printing's own page, never shown: whatever the preview loads meanwhile, the
    // page printed is the message's print page.
    TWebBrowser* PrintBrowser = nullptr;
    QWidget* BottomBar = nullptr;
    QPushButton* wwwBtn = nullptr;
    TPictureButton* ueberbtn = nullptr;
    TPictureButton* endebtn = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel1 = nullptr;
    TStatusPanel* StatusPanel2 = nullptr;

  signals:
    // SetProStatus was called with Value.
    void ProStatusSet(std::int32_t Value);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the window by any means cancels a running batch, as the quit button does.
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateToolBar();
    void CreatePanels();
    void CreateOptionsStrip(QWidget* parent);
    void CreateBottomBar(QWidget* parent);
    void CreateStatusBar();
    void ConnectHandlers();
    void FormCreate();
    void FormDestroy();
    // The tree's items, top to bottom with children counted.
    std::vector<QTreeWidgetItem*> BuildFolderTree();
    int SelectedRowCount() const;
    bool PrintSetUp(TPrintJob& Job);
    bool PrintMessage(const Toe5_MessageInfo& Record, const TPrintJob& Job);

    QTreeWidgetItem* ListedNode = nullptr;  // the tree node of the folder listed
    TShowMailForm* ShowMailForm = nullptr;
    TExportForm* ExportForm = nullptr;
    QDialog* AboutBox = nullptr;
};

}  // namespace lumbrook
