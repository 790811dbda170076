#include "mainwindow/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <utility>

#include "mainwindow/Controls.h"
#include "mainwindow/ErrorReport.h"
#include "listing/FolderTree.h"
#include "mainwindow/ListRatio.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/MessagePrinter.h"
#include "mainwindow/Modal.h"
#include "mainwindow/RecoveredMessages.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/browser/PageView.h"
#include "output/Output.h"
#include "windows/ExportStoreDialog.h"
#include "windows/SaveExportDialog.h"
#include "windows/Centre.h"
#include "windows/AttachmentBar.h"
#include "windows/MessageWindow.h"

namespace lumbrook {

namespace {

constexpr int FolderDataRole = Qt::UserRole;
constexpr int TemplateNameRole = Qt::UserRole;


// Keeps the selection's colours when the control loses the focus.
void keepSelectionVisible(QWidget* w) {
    QPalette palette = w->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    w->setPalette(palette);
}

// The window's font made narrow enough for every caption to fit the tool bar's
// 66-pixel buttons: condensed where the font has it, then smaller.
QFont captionFont(QFont font, const QStringList& captions, int width) {
    auto fits = [&](const QFont& f) {
        const QFontMetrics metrics(f);
        for (const QString& caption : captions) {
            if (metrics.horizontalAdvance(caption) > width) return false;
        }
        return true;
    };
    if (fits(font)) return font;
    font.setStretch(QFont::SemiCondensed);
    if (fits(font)) return font;
    font.setStretch(QFont::Condensed);
    while (!fits(font) && font.pointSizeF() > 6.0) font.setPointSizeF(font.pointSizeF() - 0.5);
    return font;
}

// Closes an update bracket on the list's rows whatever happens inside it.
class ListUpdate {
  public:
    ListUpdate(MessageListModel& model, const MessageList& list) : model(model), list(list) {
        model.beginUpdate();
    }
    ~ListUpdate() { model.endUpdate(&list); }
    ListUpdate(const ListUpdate&) = delete;
    ListUpdate& operator=(const ListUpdate&) = delete;

  private:
    MessageListModel& model;
    const MessageList& list;
};

// Names a control for findChild: tests and tools find it by its member's name.
template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

}  // namespace

MainWindow::MainWindow(MailStore store, AppPaths paths, QWidget* parent)
    : QMainWindow(parent), store(std::move(store)), paths(std::move(paths)) {
    setWindowTitle(QStringLiteral("Harlstone Lumbrook 1.0"));
    setWindowIcon(icons.icon(ImgEnvelope));
    createActions();
    createToolBar();
    createPanels();
    createSearchField();
    createStatusBar();
    createMenuBar();
    connectHandlers();
    setAcceptDrops(true);

    restoreLayout();
    startUp();
}

MainWindow::~MainWindow() {
    stopSearch();
    stopFolderCounts();
    saveLayout();
    shutDown();
}

void MainWindow::setMessageWindow(MessageWindow* window) {
    messageWindow = window;
    // Its attachment bar's failures are worded as this window words its own.
    window->attachmentBar->wordError = [](const std::exception& e) { return errorText(e); };
}

QSettings windowSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Lumbrook"),
                     QStringLiteral("window"));
}

FolderCount countMessages(const MessageList& messages) {
    FolderCount count{0, 0};
    for (const MessageInfo& message : messages) {
        ++count.total;
        if (!message.isRead()) ++count.unread;
    }
    return count;
}

QString folderCaption(const QString& name, FolderCount count) {
    if (count.total < 0) return name;
    if (count.unread > 0)
        return QStringLiteral("%1 (%2/%3)").arg(name).arg(count.unread).arg(count.total);
    return QStringLiteral("%1 (%2)").arg(name).arg(count.total);
}

// ---------------------------------------------------------------------------------
// Layout kept between sessions

void MainWindow::restoreLayout() {
    QSettings settings = windowSettings();
    const QByteArray geometry = settings.value(QStringLiteral("geometry")).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        // All four columns and the tree on a 1280 x 800 screen, less on a smaller one.
        QSize size(1120, 720);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            size = size.boundedTo(screen->availableGeometry().size() * 0.95);
        resize(size);
        centreOnScreen(*this);
    }
    mainSplitter->restoreState(settings.value(QStringLiteral("folderSplitter")).toByteArray());
    messageList->header()->restoreState(
        settings.value(QStringLiteral("listColumns")).toByteArray());
    const int ratio = settings.value(QStringLiteral("listRatio"), 50).toInt();
    listRatio = std::clamp(ratio, MinListRatio, MaxListRatio);
}

void MainWindow::saveLayout() {
    QSettings settings = windowSettings();
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("folderSplitter"), mainSplitter->saveState());
    settings.setValue(QStringLiteral("listColumns"), messageList->header()->saveState());
    settings.setValue(QStringLiteral("listRatio"), listRatio);
}

// ---------------------------------------------------------------------------------
// Building the window

void MainWindow::createActions() {
    auto action = [this](const char* name, const char* caption, const char* hint, int picture) {
        auto* a = new QAction(QString::fromLatin1(caption), this);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(QString::fromLatin1(hint));
        if (picture >= 0) a->setIcon(icons.icon(picture));
        return a;
    };
    printAction = action("printAction", "Print eMail", "Print out the selected emails", ImgPrinter);
    printerSetupAction =
        action("printerSetupAction", "Printer setup", "Change the printer settings", ImgTools);
    saveAction =
        action("saveAction", "Save eMail", "Save the selected emails as eml files", ImgSave);
    exportAction =
        action("exportAction", "Export eMail", "Save the selected emails as html files", ImgExport);
    cancelAction = action("cancelAction", "Cancel", "Cancel the actual process", ImgCancel);
    cancelAction->setEnabled(false);
    selectAllAction = action("selectAllAction", "Select all", "Select all emails", ImgTick);
    // With Shift and Alt or without; only where the list (or the tool bar) has the focus.
    selectAllAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_A),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
                                   QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::ALT | Qt::Key_A)});
    selectAllAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    aboutAction = action("aboutAction", "Info", "Information about the program", -1);
    quitAction = action("quitAction", "Exit", "Hereby you leave the program", -1);
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    openStoreAction = action("openStoreAction", "Open store...",
                             "Open the directory of an Outlook Express store", ImgFolderSheet);
    openStoreAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    printPdfAction = action("printPdfAction", "Print to PDF...",
                            "Print the selected emails into PDF files", -1);
    exportStoreAction = action("exportStoreAction", "Export store...",
                               "The whole store as mbox, Maildir or eml files", -1);
    printAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
}

void MainWindow::createMenuBar() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    file->addAction(openStoreAction);
    recentMenu = file->addMenu(QStringLiteral("Open &recent"));
    recentMenu->setObjectName(QStringLiteral("recentMenu"));
    file->addAction(exportStoreAction);
    file->addSeparator();
    file->addAction(printAction);
    file->addAction(printPdfAction);
    file->addAction(printerSetupAction);
    file->addSeparator();
    file->addAction(saveAction);
    file->addAction(exportAction);
    file->addSeparator();
    file->addAction(quitAction);
    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    // The tool bar's Select all works where the list has the focus; the menu's
    // entry shows its key and works from the menu.
    edit->addAction(selectAllAction);
    edit->addAction(findAction);
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("viewMenu"));
    view->addAction(showRecoveredAction);
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    auto* about = help->addAction(QStringLiteral("&About Lumbrook"));
    connect(about, &QAction::triggered, aboutAction, &QAction::trigger);
    updateRecentMenu();
}

QStringList MainWindow::recentStores() const {
    return windowSettings().value(QStringLiteral("recentStores")).toStringList();
}

void MainWindow::rememberStore() {
    if (folders.empty()) return;
    const QString dir = QDir::cleanPath(
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(store.directory())))
            .absoluteFilePath());
    QStringList recent = recentStores();
    recent.removeAll(dir);
    recent.prepend(dir);
    while (recent.size() > MaxRecentStores) recent.removeLast();
    windowSettings().setValue(QStringLiteral("recentStores"), recent);
    updateRecentMenu();
}

void MainWindow::updateRecentMenu() {
    recentMenu->clear();
    const QStringList recent = recentStores();
    for (const QString& dir : recent) {
        QAction* entry = recentMenu->addAction(dir);
        connect(entry, &QAction::triggered, this, reported(this, [this, dir] {
                    openStore(MailStore(QFile::encodeName(dir).toStdString()));
                }));
    }
    recentMenu->setEnabled(!recent.isEmpty());
}

void MainWindow::createToolBar() {
    mainToolBar = new QToolBar(this);
    mainToolBar->setObjectName(QStringLiteral("ToolBar1"));
    mainToolBar->setMovable(false);
    mainToolBar->setFloatable(false);
    mainToolBar->toggleViewAction()->setVisible(false);
    mainToolBar->setIconSize(QSize(16, 16));
    mainToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    mainToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, mainToolBar);

    const QList<QAction*> groups[] = {{printAction, printerSetupAction},
                                      {saveAction, exportAction},
                                      {cancelAction},
                                      {selectAllAction}};
    QStringList captions;
    for (const auto& group : groups) {
        for (QAction* a : group) captions.push_back(a->text());
    }
    const QFont font = captionFont(mainToolBar->font(), captions, 66 - 8);
    for (const auto& group : groups) {
        if (&group != &groups[0]) mainToolBar->addSeparator();
        for (QAction* a : group) {
            mainToolBar->addAction(a);
            auto* button = static_cast<QToolButton*>(mainToolBar->widgetForAction(a));
            button->setFont(font);
            button->setAutoRaise(true);
            button->setFixedSize(66, 36);
        }
    }
}

void MainWindow::createPanels() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    mainSplitter = named(new PanelSplitter(Qt::Horizontal, central), "mainSplitter");
    mainSplitter->setHandleWidth(5);
    mainSplitter->setChildrenCollapsible(false);

    folderTree = named(new QTreeWidget(mainSplitter), "folderTree");
    folderTree->setHeaderHidden(true);
    folderTree->setColumnCount(1);
    folderTree->setRootIsDecorated(false);
    folderTree->setIndentation(19);
    folderTree->setSelectionMode(QAbstractItemView::SingleSelection);
    folderTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    folderTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    folderTree->setAllColumnsShowFocus(true);
    folderTree->setIconSize(QSize(16, 16));
    folderTree->setSortingEnabled(false);
    keepSelectionVisible(folderTree);

    rightSplitter = named(new PanelSplitter(Qt::Vertical, mainSplitter), "rightSplitter");
    rightSplitter->setHandleWidth(5);
    rightSplitter->setChildrenCollapsible(false);

    messageModel = new MessageListModel(icons, store.codePage(), this);
    messageModel->setDragSource([this](const std::vector<int>& indexes) {
        QMimeData* data = nullptr;
        runReported(this, [&] { data = dragData(indexes); });
        return data;
    });
    listStack = named(new QStackedWidget(rightSplitter), "listStack");
    messageList = named(new QTreeView(listStack), "messageList");
    messageList->setDragEnabled(true);
    messageList->setDragDropMode(QAbstractItemView::DragOnly);
    messageList->setDefaultDropAction(Qt::CopyAction);
    messageList->addAction(selectAllAction);
    messageList->setModel(messageModel);
    messageList->setRootIsDecorated(false);
    messageList->setItemsExpandable(false);
    messageList->setUniformRowHeights(true);
    messageList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    messageList->setSelectionBehavior(QAbstractItemView::SelectRows);
    messageList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    messageList->setAllColumnsShowFocus(true);
    messageList->setSortingEnabled(false);
    messageList->setIconSize(QSize(16, 16));
    messageList->setMinimumHeight(1);
    keepSelectionVisible(messageList);
    QHeaderView* header = messageList->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    const int widths[] = {150, 150, 300, 150};
    for (int c = 0; c < 4; ++c) header->resizeSection(c, widths[c]);
    header->resizeSection(ColFolder, 150);
    // The state columns (priority, attachment, flag) stand before the texts.
    for (int c = ColPriority; c <= ColFlag; ++c) {
        header->resizeSection(c, 26);
        header->setSectionResizeMode(c, QHeaderView::Fixed);
        header->moveSection(header->visualIndex(c), c - ColPriority);
    }

    // Without a store, a word on what one is where the list would be.
    auto* placeholder = named(new QWidget(listStack), "storePlaceholder");
    auto* placeLayout = new QVBoxLayout(placeholder);
    auto* explanation = new QLabel(
        QStringLiteral("<p><b>No Outlook Express store is open.</b></p>"
                       "<p>A store is the directory where Outlook Express 5 or 6 kept its "
                       "mail: Folders.dbx, Inbox.dbx and one .dbx file for every other "
                       "folder. Open that directory, or any .dbx file in it, or drop it onto "
                       "this window. Lumbrook only reads it; nothing is ever changed.</p>"),
        placeholder);
    explanation->setWordWrap(true);
    explanation->setAlignment(Qt::AlignCenter);
    auto* openButton = named(new QPushButton(QStringLiteral("Open store..."), placeholder),
                             "openStoreButton");
    connect(openButton, &QPushButton::clicked, openStoreAction, &QAction::trigger);
    placeLayout->addStretch(1);
    placeLayout->addWidget(explanation);
    placeLayout->addWidget(openButton, 0, Qt::AlignCenter);
    placeLayout->addStretch(1);
    listStack->addWidget(messageList);
    listStack->addWidget(placeholder);

    auto* lower = new QWidget(rightSplitter);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(0);
    createOptionsStrip(lower);
    lowerLayout->addWidget(optionsStrip);
    attachmentBar = new AttachmentBar(lower);
    attachmentBar->wordError = [](const std::exception& e) { return errorText(e); };
    lowerLayout->addWidget(attachmentBar);
    pageView = named(new PageView(lower, store.codePage().label()), "pageView");
    pageView->setMinimumHeight(0);
    lowerLayout->addWidget(pageView, 1);
    messagePrinter = std::make_unique<MessagePrinter>(central);

    rightSplitter->addWidget(listStack);
    rightSplitter->addWidget(lower);
    rightSplitter->setStretchFactor(0, 0);
    rightSplitter->setStretchFactor(1, 1);

    mainSplitter->addWidget(folderTree);
    mainSplitter->addWidget(rightSplitter);
    mainSplitter->setStretchFactor(0, 0);
    mainSplitter->setStretchFactor(1, 1);
    mainSplitter->setSizes({201, 490});

    layout->addWidget(mainSplitter, 1);
    createBottomBar(central);
    layout->addWidget(bottomBar);
    setCentralWidget(central);
}

void MainWindow::createOptionsStrip(QWidget* parent) {
    optionsStrip = new QWidget(parent);
    optionsStrip->setFixedHeight(59);
    auto* rows = new QVBoxLayout(optionsStrip);
    rows->setContentsMargins(4, 3, 4, 3);
    rows->setSpacing(2);
    auto* top = new QHBoxLayout;
    auto* bottom = new QHBoxLayout;
    top->setSpacing(6);
    bottom->setSpacing(14);
    rows->addLayout(top);
    rows->addLayout(bottom);

    auto box = [this](const char* name, const char* caption) {
        auto* b = named(new QCheckBox(QString::fromLatin1(caption), optionsStrip), name);
        b->setChecked(true);
        return b;
    };
    previewWithDesign = box("previewWithDesign", "Show preview with complete design ");
    showFromField = box("showFromField", "From field");
    showToField = box("showToField", "To field");
    showDateField = box("showDateField", "Date field");
    showSubjectField = box("showSubjectField", "Subject field");
    auto* designLabel = new QLabel(QStringLiteral("Design template:"), optionsStrip);
    designBox = named(new QComboBox(optionsStrip), "designBox");
    designBox->setEditable(false);
    designBox->setMinimumContentsLength(8);
    designBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    designLabel->setBuddy(designBox);

    top->addWidget(previewWithDesign);
    top->addStretch(1);
    top->addWidget(designLabel);
    top->addWidget(designBox);
    for (QCheckBox* field : {showFromField, showToField, showDateField, showSubjectField})
        bottom->addWidget(field);
    bottom->addStretch(1);
}

void MainWindow::createBottomBar(QWidget* parent) {
    bottomBar = new QWidget(parent);
    bottomBar->setFixedHeight(41);
    auto* layout = new QHBoxLayout(bottomBar);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(6);

    auto* homePageButton =
        new QPushButton(QIcon(homePagePicture()), QStringLiteral("harlstone.example"), bottomBar);
    homePageButton->setFlat(true);
    homePageButton->setToolTip(QStringLiteral("Go to the Harlstone homepage..."));
    homePageButton->setCursor(Qt::PointingHandCursor);
    homePageButton->setFocusPolicy(Qt::NoFocus);

    const ButtonPictures about = aboutButtonPictures();
    auto* aboutButton = new PictureButton(about.up, about.down, aboutAction, bottomBar);
    const ButtonPictures exit = exitButtonPictures();
    auto* quitButton = new PictureButton(exit.up, exit.down, quitAction, bottomBar);
    connect(homePageButton, &QPushButton::clicked, this,
            reported(this, [this] { onHomePageClicked(); }));

    layout->addWidget(homePageButton);
    layout->addStretch(1);
    layout->addWidget(aboutButton);
    layout->addWidget(quitButton);
}

void MainWindow::createStatusBar() {
    auto* statusLine = new QStatusBar(this);
    statusLine->setFixedHeight(19);
    statusText = named(new QLabel(statusLine), "statusText");
    statusText->setFixedWidth(250);
    statusText->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // A sunken panel with the bar in navy from its left, no text.
    auto* progressPanel = new QFrame(statusLine);
    progressPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    progressPanel->setFixedWidth(50);
    progressBar = named(new QProgressBar(progressPanel), "progressBar");
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);
    progressBar->setStyleSheet(
        QStringLiteral("QProgressBar { border: none; background: transparent; }"
                       "QProgressBar::chunk { background-color: #000080; }"));
    auto* panelLayout = new QHBoxLayout(progressPanel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(progressBar);
    statusLine->addWidget(statusText);
    statusLine->addWidget(progressPanel);
    createRecoveryControls(statusLine);
    setStatusBar(statusLine);
}

void MainWindow::connectHandlers() {
    const std::pair<QAction*, void (MainWindow::*)()> commands[] = {
        {printAction, &MainWindow::onPrint},   {printerSetupAction, &MainWindow::onPrinterSetup},
        {saveAction, &MainWindow::onSave},     {exportAction, &MainWindow::onExport},
        {cancelAction, &MainWindow::onCancel}, {selectAllAction, &MainWindow::onSelectAll},
        {aboutAction, &MainWindow::onAbout},   {quitAction, &MainWindow::onQuit},
        {openStoreAction, &MainWindow::onOpenStore}, {printPdfAction, &MainWindow::onPrintToPdf},
        {exportStoreAction, &MainWindow::onExportStore}};
    for (const auto& [action, handler] : commands) {
        connect(action, &QAction::triggered, this,
                reported(this, [this, handler = handler] { (this->*handler)(); }));
    }
    connect(messageList, &QTreeView::doubleClicked, this,
            reported(this, [this] { onMessageDoubleClicked(); }));

    // The tree lists a folder on a click only, not when its selection changes.
    folderTree->viewport()->installEventFilter(this);
    connect(messageList->header(), &QHeaderView::sectionClicked, this,
            [this](int column) {
                if (column > ColDate && column != ColFolder) return;
                runReported(this, [&] { messageModel->columnClick(column); });
            });
    connect(messageList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            reported(this, [this] { onSelectionChanged(); }));

    for (QCheckBox* box :
         {previewWithDesign, showFromField, showToField, showDateField, showSubjectField}) {
        connect(box, &QCheckBox::clicked, this,
                reported(this, [this] { onPreviewOptionChanged(); }));
    }
    connect(designBox, &QComboBox::activated, this,
            reported(this, [this] { onPreviewOptionChanged(); }));

    connect(rightSplitter, &PanelSplitter::resized, this, reported(this, [this] { onResized(); }));
    connect(rightSplitter, &QSplitter::splitterMoved, this,
            reported(this, [this] { onListSplitterMoved(); }));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == folderTree->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        runReported(this, [this] { onFolderClicked(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------
// Start-up and shutdown

void MainWindow::startUp() {
    // The template box: every "*.htm" of the template directory, the last one chosen.
    designBox->clear();
    for (const std::string& name : listDesignTemplates(paths)) {
        designBox->addItem(QString::fromStdString(store.codePage().asUtf8(name)),
                           QByteArray::fromStdString(name));
    }
    designBox->setCurrentIndex(designBox->count() - 1);

    openOptions();

    previewedOffset = -1;
    previewedFile.clear();
    endSearchView();
    messageModel->setSortOrder(ColDate, true);

    listedFile = "folders.dbx";
    listedNode = nullptr;
    forgetRecovered();
    {
        ListUpdate update(*messageModel, records);
        records.clear();
    }
    folders.clear();
    // Without a folder list the window still opens, empty, and says how to open one.
    if (!runReported(this, [this] { folders = store.readFolders(); })) folders.clear();
    showStorePlaceholder(folders.empty());
    rememberStore();

    buildFolderTree();

    // The third node from the top, children counted.
    QTreeWidgetItemIterator third(folderTree);
    for (int n = 0; n < 2 && *third; ++n) ++third;
    if (*third) {
        folderTree->setCurrentItem(*third);
        runReported(this, [this] { onFolderClicked(); });
    }

    if (messageModel->rowCount() > 0) {
        // The selection change previews the message.
        messageList->selectionModel()->setCurrentIndex(
            messageModel->index(0, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    startFolderCounts();
}

void MainWindow::openStore(MailStore newStore) {
    if (batchActive) return;
    stopSearch();
    stopFolderCounts();
    saveOptions();
    previewedOffset = -1;
    previewedFile.clear();
    pageView->navigate(QString());
    attachmentBar->clear();
    tempFiles.deleteTempFiles();
    store = std::move(newStore);
    startUp();
}

std::string MainWindow::storeDirectoryOf(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) return QFile::encodeName(info.absoluteFilePath()).toStdString();
    if (info.isFile() && info.suffix().compare(QLatin1String("dbx"), Qt::CaseInsensitive) == 0)
        return QFile::encodeName(info.absolutePath()).toStdString();
    return {};
}

void MainWindow::onExportStore() {
    if (batchActive) return;
    exportStore(store, this);
}

void MainWindow::onOpenStore() {
    // Directories and .dbx files both: a store is chosen by its directory or by
    // any of its files.
    QFileDialog dialog(this, QStringLiteral("Open store"));
    dialog.setObjectName(QStringLiteral("openStoreDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilter(QStringLiteral("Outlook Express folders (*.dbx *.DBX)"));
    const QString current = QFile::decodeName(QByteArray::fromStdString(store.directory()));
    if (QFileInfo(current).isDir()) dialog.setDirectory(current);
    if (showModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString chosen = dialog.selectedFiles().front();
    const std::string dir = storeDirectoryOf(chosen);
    if (dir.empty()) {
        showMessageBox(this, QMessageBox::Warning, QStringLiteral("Open store"),
                       QStringLiteral("%1 is neither a directory nor a .dbx file.").arg(chosen));
        return;
    }
    openStore(MailStore(dir));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    // Only what comes from outside: the list's own rows are no store.
    if (event->source() == nullptr && event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile() && !storeDirectoryOf(url.toLocalFile()).empty()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
    QMainWindow::dragEnterEvent(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
    runReported(this, [&] {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (!url.isLocalFile()) continue;
            const std::string dir = storeDirectoryOf(url.toLocalFile());
            if (dir.empty()) continue;
            event->acceptProposedAction();
            openStore(MailStore(dir));
            return;
        }
    });
}

void MainWindow::showStorePlaceholder(bool show) {
    listStack->setCurrentIndex(show ? 1 : 0);
}

// ---------------------------------------------------------------------------------
// Folder counts

void MainWindow::setFolderCount(int folder, FolderCount count) {
    if (folder < 0 || static_cast<std::size_t>(folder) >= counts.size()) return;
    counts[static_cast<std::size_t>(folder)] = count;
    QTreeWidgetItem* item = folderItems[static_cast<std::size_t>(folder)];
    if (!item) return;
    item->setText(0, folderCaption(
                         QString::fromStdString(store.toUtf8(folders[folder].name)), count));
    QFont font = folderTree->font();
    font.setBold(count.unread > 0);
    item->setFont(0, font);
}

void MainWindow::startFolderCounts() {
    stopFolderCounts();
    // Each folder's index is read once more, off the window's thread: the window
    // is up and usable at once, the counts follow.
    std::vector<std::pair<int, std::string>> files;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (folders[i].fileName.empty() || counts[i].total >= 0) continue;
        files.emplace_back(static_cast<int>(i), folders[i].fileName);
    }
    if (files.empty()) return;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    countsStop = stop;
    countThread = std::thread([this, stop, files = std::move(files), reader = store] {
        for (const auto& [folder, file] : files) {
            if (stop->load()) return;
            FolderCount count;
            try {
                count = countMessages(reader.readMessages(file));
            } catch (...) {
                continue;  // a folder that cannot be read shows no count
            }
            QMetaObject::invokeMethod(
                this,
                [this, stop, folder = folder, count] {
                    if (!stop->load()) setFolderCount(folder, count);
                },
                Qt::QueuedConnection);
        }
    });
}

void MainWindow::stopFolderCounts() {
    if (countsStop) countsStop->store(true);
    if (countThread.joinable()) countThread.join();
    countsStop.reset();
}

// ---------------------------------------------------------------------------------
// Dragging messages out

QMimeData* MainWindow::dragData(const std::vector<int>& recordIndexes) {
    // Each drag writes its files afresh; the previous drag's files are gone by then.
    dragDir = std::make_unique<QTemporaryDir>();
    if (!dragDir->isValid()) return nullptr;
    const std::string dir = QFile::encodeName(dragDir->path()).toStdString() + "/";
    const bool dateInName = !saveExportDialog || saveExportDialog->dateInNames->isChecked();
    QList<QUrl> urls;
    for (const int index : recordIndexes) {
        if (index < 0 || static_cast<std::size_t>(index) >= records.size()) continue;
        const MessageInfo& record = records[static_cast<std::size_t>(index)];
        const std::string raw =
            readListedMessage(record, fileOfRecord(static_cast<std::size_t>(index))).text;
        const std::string path = saveMessageAsEml(dir, record, raw, dateInName);
        urls.push_back(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
    }
    if (urls.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

void MainWindow::buildFolderTree() {
    folderTree->setUpdatesEnabled(false);
    folderTree->clear();
    const FolderTree tree(folders);
    std::vector<QTreeWidgetItem*> items(tree.count(), nullptr);
    for (const std::int32_t node : tree.positions()) {
        const std::int32_t parent = tree.nodes()[node].parent;
        auto* item =
            parent < 0 ? new QTreeWidgetItem(folderTree) : new QTreeWidgetItem(items[parent]);
        item->setText(0, QString::fromStdString(store.toUtf8(folders[node].name)));
        item->setIcon(0, icons.icon(ImgFolderSheet));
        item->setData(0, FolderDataRole, node);
        items[node] = item;
    }
    for (std::size_t node = 0; node < tree.count(); ++node) {
        if (tree.nodes()[node].expanded) items[node]->setExpanded(true);
    }
    folderItems = items;
    folderItems.resize(folders.size(), nullptr);
    counts.assign(folders.size(), FolderCount{});
    folderTree->setUpdatesEnabled(true);
}

void MainWindow::shutDown() {
    saveOptions();
    tempFiles.deleteTempFiles();
    closing = true;
    // The rows go before the records they show.
    messageModel->beginUpdate();
    records.clear();
    messageModel->endUpdate(nullptr);
    folders.clear();
}

Options MainWindow::currentOptions() const {
    Options options;
    options.designIndex = designBox->currentIndex();
    options.previewWithDesign = previewWithDesign->isChecked();
    options.fromField = showFromField->isChecked();
    options.toField = showToField->isChecked();
    options.subjectField = showSubjectField->isChecked();
    options.dateField = showDateField->isChecked();
    return options;
}

void MainWindow::openOptions() {
    Options options = currentOptions();
    if (!lumbrook::openOptions(paths.optionsFile, options)) return;
    const bool inList = options.designIndex >= 0 && options.designIndex < designBox->count();
    designBox->setCurrentIndex(inList ? options.designIndex : -1);
    previewWithDesign->setChecked(options.previewWithDesign);
    showFromField->setChecked(options.fromField);
    showToField->setChecked(options.toField);
    showSubjectField->setChecked(options.subjectField);
    showDateField->setChecked(options.dateField);
}

void MainWindow::saveOptions() {
    const Options options = currentOptions();
    // An installed copy keeps its options in a configuration directory that may
    // not exist yet.
    forceDirectories(std::filesystem::path(paths.optionsFile).parent_path().string());
    lumbrook::saveOptions(paths.optionsFile, options);
}

// ---------------------------------------------------------------------------------
// Layout

void MainWindow::onResized() {
    const int panel = rightSplitter->height();
    const int list = listHeightFor(panel, listRatio);
    rightSplitter->setSizes({list, std::max(0, panel - list - rightSplitter->handleWidth())});
}

void MainWindow::onListSplitterMoved() {
    listRatio = ratioAfterDrag(messageList->height(), rightSplitter->height(), listRatio);
}

// ---------------------------------------------------------------------------------
// Folder tree and message list

void MainWindow::onFolderClicked() {
    if (batchActive) {
        // A running batch walks the rows of the folder listed: another folder
        // waits until it ends, and the tree goes on marking the folder listed.
        if (listedNode) {
            folderTree->setCurrentItem(listedNode);
        } else {
            folderTree->clearSelection();
        }
        return;
    }
    const QList<QTreeWidgetItem*> selected = folderTree->selectedItems();
    if (selected.isEmpty()) return;
    const int folder = selected.front()->data(0, FolderDataRole).toInt();
    if (folder < 0 || static_cast<std::size_t>(folder) >= folders.size()) return;
    if (searchView) endSearchView();
    listedFile = folders[folder].fileName;
    listedNode = selected.front();
    forgetRecovered();

    // A folder file that cannot be read leaves the list empty; the bracket closes
    // either way, so the list keeps painting.
    ListUpdate update(*messageModel, records);
    records.clear();
    if (!listedFile.empty()) records = store.readMessages(listedFile);
    // The walk just done counts the folder too; a count still running is told so.
    setFolderCount(folder, countMessages(records));
    listRecovered();  // leaves the rows alone: a scan's rows come later
}

void MainWindow::onSelectAll() {
    // Marking every row renders nothing: the preview keeps its message.
    selectingAll = true;
    messageList->selectAll();
    selectingAll = false;
}

int MainWindow::firstSelectedRow() const {
    int first = -1;
    for (const QItemSelectionRange& range : messageList->selectionModel()->selection()) {
        if (range.isValid() && (first < 0 || range.top() < first)) first = range.top();
    }
    return first;
}

// ---------------------------------------------------------------------------------
// Preview

Design MainWindow::currentDesign() const {
    Design design;
    design.apply = previewWithDesign->isChecked();
    design.fields.from = showFromField->isChecked();
    design.fields.to = showToField->isChecked();
    design.fields.date = showDateField->isChecked();
    design.fields.subject = showSubjectField->isChecked();
    // The template box's entry as the file name it stands for; none for no entry.
    const int index = designBox->currentIndex();
    const std::string name =
        index < 0 ? std::string()
                  : designBox->itemData(index, TemplateNameRole).toByteArray().toStdString();
    design.templatePath = designTemplatePath(paths, name);
    design.codePage = store.codePage();
    return design;
}

void MainWindow::onSelectionChanged() {
    if (selectingAll) return;
    const int row = firstSelectedRow();
    if (row < 0) {
        if (!closing) {
            pageView->navigate(QString());
            attachmentBar->clear();
            previewedOffset = -1;
            previewedFile.clear();
        }
        return;
    }
    const int index = messageModel->recordIndex(row);
    if (index < 0 || static_cast<std::size_t>(index) >= records.size()) return;
    const MessageInfo& record = records[static_cast<std::size_t>(index)];
    const std::string& file = fileOfRecord(static_cast<std::size_t>(index));
    if (record.dataOffset == previewedOffset && record.origin == previewedOrigin &&
        file == previewedFile)
        return;
    const MessageText text = readListedMessage(record, file);
    if (!text.whole) messageModel->markDamaged(record.dataOffset);
    const std::string& raw = text.text;
    // The identity is recorded before the page is built: a message whose page
    // fails is not tried again by clicking it again.
    previewedOffset = record.dataOffset;
    previewedOrigin = record.origin;
    previewedFile = file;
    tempFiles.deleteTempFiles();
    forcePrivateDirectories(paths.workDir);
    attachmentBar->clear();
    // A part refused its file is reported once the page is on its way: the rest
    // of the message is still worth reading.
    std::vector<FileCreateError> problems;
    const std::string page = renderMessagePage(raw, record, currentDesign(), paths.workDir,
                                               "mail.htm", &tempFiles, &problems);
    pageView->navigate(QString::fromStdString(page));
    if (attachmentBar->setMessage(raw, store.codePage().name()) > 0)
        messageModel->markHasAttachments(record.dataOffset);
    for (const FileCreateError& problem : problems) reportError(this, errorText(problem));
}

void MainWindow::onMessageDoubleClicked() {
    const int row = firstSelectedRow();
    if (row < 0 || !messageWindow) return;
    auto text = [&](int column) { return messageModel->index(row, column).data().toString(); };
    const QString subject = text(ColSubject);
    messageWindow->setWindowTitle(subject.isEmpty() ? QStringLiteral("eMail message") : subject);
    const std::pair<QLineEdit*, int> fields[] = {{messageWindow->fromField, ColFrom},
                                                 {messageWindow->dateField, ColDate},
                                                 {messageWindow->toField, ColTo},
                                                 {messageWindow->subjectField, ColSubject}};
    for (const auto& [edit, column] : fields) {
        edit->setText(text(column));
        edit->setCursorPosition(0);
    }
    messageWindow->pageView->navigate(pageView->locationUrl());
    messageWindow->attachmentBar->showSameAs(*attachmentBar);
    showModal(*messageWindow);
    // The next opening shows only its own page, never this one.
    messageWindow->pageView->navigate(QString());
    messageWindow->attachmentBar->clear();
}

void MainWindow::onPreviewOptionChanged() {
    previewedOffset = -1;
    onSelectionChanged();
}

// ---------------------------------------------------------------------------------
// Buttons and status bar

void MainWindow::onHomePageClicked() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(HomePageAddress)));
}

void MainWindow::onAbout() {
    if (aboutDialog) showModal(*aboutDialog);
}

void MainWindow::onQuit() {
    onCancel();
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    onCancel();
    QMainWindow::closeEvent(event);
}

}  // namespace lumbrook
