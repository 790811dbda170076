#pragma once

// The main window's controls, built once and laid out: tool bar with the search
// field, menus, folder tree, message list (or the word on opening a store), options
// strip, attachment bar, preview, bottom bar and status bar. Only building and the
// wiring of controls among themselves happen here; what the commands do is the
// window's and its parts'. Tests and tools find the controls by their object names.

#include <QCoreApplication>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeView;
class QTreeWidget;
class QWidget;

namespace lumbrook {

class AttachmentBar;
class CodePage;
class IconSet;
class MessageListModel;
class MessagePrinter;
class PageView;
class PanelSplitter;

class MainWindowWidgets {
    Q_DECLARE_TR_FUNCTIONS(MainWindowWidgets)

  public:
    // Builds the controls into window; the list's model shows the store's texts
    // in its code page.
    MainWindowWidgets(QMainWindow& window, const IconSet& icons, const CodePage& codePage);
    ~MainWindowWidgets();
    MainWindowWidgets(const MainWindowWidgets&) = delete;
    MainWindowWidgets& operator=(const MainWindowWidgets&) = delete;

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
    QAction* findAction = nullptr;
    QAction* folderViewAction = nullptr;  // Escape: back from the search results
    QAction* showRecoveredAction = nullptr;
    QAction* openMessageAction = nullptr;   // Enter: the message window
    QAction* showInFolderAction = nullptr;  // a search hit among its folder's messages
    QMenu* recentMenu = nullptr;

    QToolBar* mainToolBar = nullptr;
    QLineEdit* searchField = nullptr;
    PanelSplitter* mainSplitter = nullptr;   // tree beside the right side
    PanelSplitter* rightSplitter = nullptr;  // list over options and preview
    QStackedWidget* listStack = nullptr;     // the list, or the text without a store
    QTreeWidget* folderTree = nullptr;
    QTreeView* messageList = nullptr;
    MessageListModel* messageModel = nullptr;
    QMenu* messageMenu = nullptr;       // the rows' context menu
    QLabel* noResultsText = nullptr;  // over the empty list of a search that found nothing
    QWidget* optionsStrip = nullptr;
    QCheckBox* previewWithDesign = nullptr;
    QCheckBox* showFromField = nullptr;
    QCheckBox* showToField = nullptr;
    QCheckBox* showDateField = nullptr;
    QCheckBox* showSubjectField = nullptr;
    QComboBox* designBox = nullptr;
    AttachmentBar* attachmentBar = nullptr;  // over the preview, hidden without attachments
    PageView* pageView = nullptr;
    std::unique_ptr<MessagePrinter> messagePrinter;
    QWidget* bottomBar = nullptr;
    QPushButton* homePageButton = nullptr;
    QLabel* statusText = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* recoveryStatus = nullptr;
    QToolButton* recoverButton = nullptr;

  private:
    void createActions(QMainWindow& window, const IconSet& icons);
    void createToolBar(QMainWindow& window);
    void createPanels(QMainWindow& window, const IconSet& icons, const CodePage& codePage);
    void createOptionsStrip(QWidget* parent);
    void createBottomBar(QWidget* parent);
    void createSearchField(QMainWindow& window);
    void createStatusBar(QMainWindow& window);
    void createRecoveryControls(QMainWindow& window, QStatusBar* bar);
    void createMenuBar(QMainWindow& window);
    void createMessageMenu(QMainWindow& window);
};

}  // namespace lumbrook
