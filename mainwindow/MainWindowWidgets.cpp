#include "mainwindow/MainWindowWidgets.h"

#include "mainwindow/ErrorReport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "mainwindow/Controls.h"
#include "mainwindow/ImageList.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/MessagePrinter.h"
#include "mainwindow/WindowSettings.h"
#include "platform/browser/PageView.h"
#include "windows/AttachmentBar.h"

namespace lumbrook {

namespace {

const QString ShowRecoveredKey = QStringLiteral("showRecovered");

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

// Names a control for findChild: tests and tools find it by its member's name.
template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

}  // namespace

MainWindowWidgets::MainWindowWidgets(QMainWindow& window, const IconSet& icons,
                                     const CodePage& codePage) {
    createActions(window, icons);
    createToolBar(window);
    createPanels(window, icons, codePage);
    createSearchField(window);
    createStatusBar(window);
    createMenuBar(window);
    createMessageMenu(window);
}

MainWindowWidgets::~MainWindowWidgets() = default;

void MainWindowWidgets::createActions(QMainWindow& window, const IconSet& icons) {
    auto action = [&](const char* name, const char* caption, const char* hint, int picture) {
        auto* a = new QAction(tr(caption), &window);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(tr(hint));
        if (picture >= 0) a->setIcon(icons.icon(picture));
        return a;
    };
    printAction = action("printAction", QT_TR_NOOP("Print eMail"),
                         QT_TR_NOOP("Print out the selected emails"), ImgPrinter);
    printerSetupAction = action("printerSetupAction", QT_TR_NOOP("Printer setup"),
                                QT_TR_NOOP("Change the printer settings"), ImgTools);
    saveAction = action("saveAction", QT_TR_NOOP("Save eMail"),
                        QT_TR_NOOP("Save the selected emails as eml files"), ImgSave);
    exportAction = action("exportAction", QT_TR_NOOP("Export eMail"),
                          QT_TR_NOOP("Save the selected emails as html files"), ImgExport);
    cancelAction = action("cancelAction", QT_TR_NOOP("Cancel"),
                          QT_TR_NOOP("Cancel the actual process"), ImgCancel);
    cancelAction->setEnabled(false);
    selectAllAction = action("selectAllAction", QT_TR_NOOP("Select all"),
                             QT_TR_NOOP("Select all emails"), ImgTick);
    // With Shift and Alt or without; only where the list (or the tool bar) has the focus.
    selectAllAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_A),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
                                   QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::ALT | Qt::Key_A)});
    selectAllAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    aboutAction =
        action("aboutAction", QT_TR_NOOP("Info"), QT_TR_NOOP("Information about the program"), -1);
    quitAction =
        action("quitAction", QT_TR_NOOP("Exit"), QT_TR_NOOP("Hereby you leave the program"), -1);
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    openStoreAction =
        action("openStoreAction", QT_TR_NOOP("Open store..."),
               QT_TR_NOOP("Open the directory of an Outlook Express store"), ImgFolderSheet);
    openStoreAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    printPdfAction = action("printPdfAction", QT_TR_NOOP("Print to PDF..."),
                            QT_TR_NOOP("Print the selected emails into PDF files"), -1);
    exportStoreAction = action("exportStoreAction", QT_TR_NOOP("Export store..."),
                               QT_TR_NOOP("The whole store as mbox, Maildir or eml files"), -1);
    openMessageAction = action("openMessageAction", QT_TR_NOOP("Open"),
                               QT_TR_NOOP("Show the message in a window of its own"), -1);
    openMessageAction->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    // The list's keys: Enter in the search field searches.
    openMessageAction->setShortcutContext(Qt::WidgetShortcut);
    showInFolderAction = action("showInFolderAction", QT_TR_NOOP("Show in folder"),
                                QT_TR_NOOP("List the folder of the message and select it there"),
                                -1);
    printAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
}

void MainWindowWidgets::createToolBar(QMainWindow& window) {
    mainToolBar = new QToolBar(&window);
    mainToolBar->setObjectName(QStringLiteral("ToolBar1"));
    mainToolBar->setMovable(false);
    mainToolBar->setFloatable(false);
    mainToolBar->toggleViewAction()->setVisible(false);
    mainToolBar->setIconSize(QSize(16, 16));
    mainToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    mainToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    window.addToolBar(Qt::TopToolBarArea, mainToolBar);

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

void MainWindowWidgets::createPanels(QMainWindow& window, const IconSet& icons,
                                     const CodePage& codePage) {
    auto* central = new QWidget(&window);
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

    messageModel = new MessageListModel(icons, codePage, &window);
    listStack = named(new QStackedWidget(rightSplitter), "listStack");
    messageList = named(new QTreeView(listStack), "messageList");
    messageList->setDragEnabled(true);
    messageList->setDragDropMode(QAbstractItemView::DragOnly);
    messageList->setDefaultDropAction(Qt::CopyAction);
    messageList->addAction(selectAllAction);
    messageList->addAction(openMessageAction);
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
    header->setSortIndicatorShown(true);
    header->setSortIndicator(messageModel->sortColumn(), messageModel->sortDescending()
                                                             ? Qt::DescendingOrder
                                                             : Qt::AscendingOrder);
    // The model sorts itself (a click asks it); the header only shows how.
    QObject::connect(messageModel, &MessageListModel::sortOrderChanged, header,
                     [header](int column, bool descending) {
                         header->setSortIndicator(
                             column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
                     });
    const int widths[] = {150, 150, 300, 150};
    for (int c = 0; c < 4; ++c) header->resizeSection(c, widths[c]);
    header->resizeSection(ColFolder, 150);
    // The subject takes what the other columns leave, so that the date (and a
    // hit's folder) stays in sight on a small screen.
    header->setSectionResizeMode(ColSubject, QHeaderView::Stretch);
    // The state columns (priority, attachment, flag) stand before the texts.
    for (int c = ColPriority; c <= ColFlag; ++c) {
        header->resizeSection(c, 26);
        header->setSectionResizeMode(c, QHeaderView::Fixed);
        header->moveSection(header->visualIndex(c), c - ColPriority);
    }
    // A search that found nothing says so where its hits would be.
    noResultsText = named(new QLabel(messageList->viewport()), "noResultsText");
    noResultsText->setAlignment(Qt::AlignCenter);
    noResultsText->setWordWrap(true);
    noResultsText->setEnabled(false);
    auto* viewportLayout = new QVBoxLayout(messageList->viewport());
    viewportLayout->addWidget(noResultsText);
    noResultsText->hide();

    // Without a store, a word on what one is where the list would be.
    auto* placeholder = named(new QWidget(listStack), "storePlaceholder");
    auto* placeLayout = new QVBoxLayout(placeholder);
    auto* explanation =
        new QLabel(tr("<p><b>No Outlook Express store is open.</b></p>"
                      "<p>A store is the directory where Outlook Express 5 or 6 kept its "
                      "mail: Folders.dbx, Inbox.dbx and one .dbx file for every other "
                      "folder. Open that directory, or any .dbx file in it, or drop it onto "
                      "this window. Lumbrook only reads it; nothing is ever changed.</p>"),
                   placeholder);
    explanation->setWordWrap(true);
    explanation->setAlignment(Qt::AlignCenter);
    auto* openButton = named(new QPushButton(tr("Open store..."), placeholder), "openStoreButton");
    QObject::connect(openButton, &QPushButton::clicked, openStoreAction, &QAction::trigger);
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
    pageView = named(new PageView(lower, codePage.label()), "pageView");
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
    window.setCentralWidget(central);
}

void MainWindowWidgets::createOptionsStrip(QWidget* parent) {
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
        auto* b = named(new QCheckBox(tr(caption), optionsStrip), name);
        b->setChecked(true);
        return b;
    };
    previewWithDesign = box("previewWithDesign", QT_TR_NOOP("Show preview with complete design "));
    showFromField = box("showFromField", QT_TR_NOOP("From field"));
    showToField = box("showToField", QT_TR_NOOP("To field"));
    showDateField = box("showDateField", QT_TR_NOOP("Date field"));
    showSubjectField = box("showSubjectField", QT_TR_NOOP("Subject field"));
    auto* designLabel = new QLabel(tr("Design template:"), optionsStrip);
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

void MainWindowWidgets::createBottomBar(QWidget* parent) {
    bottomBar = new QWidget(parent);
    bottomBar->setFixedHeight(41);
    auto* layout = new QHBoxLayout(bottomBar);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(6);

    homePageButton =
        new QPushButton(QIcon(homePagePicture()), QStringLiteral("harlstone.example"), bottomBar);
    homePageButton->setFlat(true);
    homePageButton->setToolTip(tr("Go to the Harlstone homepage..."));
    homePageButton->setCursor(Qt::PointingHandCursor);
    homePageButton->setFocusPolicy(Qt::NoFocus);

    const ButtonPictures about = aboutButtonPictures(aboutAction->text());
    auto* aboutButton = new PictureButton(about.up, about.down, aboutAction, bottomBar);
    const ButtonPictures exit = exitButtonPictures(quitAction->text());
    auto* quitButton = new PictureButton(exit.up, exit.down, quitAction, bottomBar);

    layout->addWidget(homePageButton);
    layout->addStretch(1);
    layout->addWidget(aboutButton);
    layout->addWidget(quitButton);
}

void MainWindowWidgets::createStatusBar(QMainWindow& window) {
    auto* statusLine = new QStatusBar(&window);
    statusText = named(new QLabel(statusLine), "statusText");
    // At least as wide as designed; wider where the window has room for a long text.
    statusText->setMinimumWidth(250);
    statusText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
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
    statusLine->addWidget(statusText, 1);
    statusLine->addWidget(progressPanel);
    createRecoveryControls(window, statusLine);
    window.setStatusBar(statusLine);
}

void MainWindowWidgets::createMenuBar(QMainWindow& window) {
    QMenuBar* bar = window.menuBar();
    QMenu* file = bar->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    file->addAction(openStoreAction);
    recentMenu = file->addMenu(tr("Open &recent"));
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
    QMenu* edit = bar->addMenu(tr("&Edit"));
    // The tool bar's Select all works where the list has the focus; the menu's
    // entry shows its key and works from the menu.
    edit->addAction(selectAllAction);
    edit->addAction(findAction);
    QMenu* view = bar->addMenu(tr("&View"));
    view->setObjectName(QStringLiteral("viewMenu"));
    view->addAction(showRecoveredAction);
    QMenu* help = bar->addMenu(tr("&Help"));
    auto* about = help->addAction(tr("&About Lumbrook"));
    QObject::connect(about, &QAction::triggered, aboutAction, &QAction::trigger);
}

void MainWindowWidgets::createMessageMenu(QMainWindow& window) {
    messageMenu = named(new QMenu(&window), "messageMenu");
    messageMenu->addAction(openMessageAction);
    messageMenu->addSeparator();
    messageMenu->addAction(saveAction);
    messageMenu->addAction(exportAction);
    messageMenu->addAction(printAction);
    messageMenu->addAction(printPdfAction);
    messageMenu->addSeparator();
    messageMenu->addAction(showInFolderAction);
    messageList->setContextMenuPolicy(Qt::CustomContextMenu);
}

void MainWindowWidgets::createSearchField(QMainWindow& window) {
    // At the tool bar's right end, after the command buttons.
    auto* spacer = new QWidget(mainToolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    mainToolBar->addWidget(spacer);
    searchField = new QLineEdit(mainToolBar);
    searchField->setObjectName(QStringLiteral("searchField"));
    searchField->setPlaceholderText(tr("Search"));
    searchField->setClearButtonEnabled(true);
    searchField->setMinimumWidth(180);
    searchField->setMaximumWidth(320);
    searchField->setToolTip(
        tr("Search every folder: words, \"a phrase\", pre*, a OR b, -word,\n"
           "from: to: subject: folder:, has:attachment, "
           "after:YYYY-MM-DD, before:YYYY-MM-DD"));
    mainToolBar->addWidget(searchField);

    findAction = new QAction(tr("&Find"), &window);
    findAction->setObjectName(QStringLiteral("findAction"));
    findAction->setToolTip(tr("Search all folders"));
    findAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    window.addAction(findAction);  // the key works with the menu bar hidden too
    QObject::connect(findAction, &QAction::triggered, searchField, [field = searchField] {
        field->setFocus(Qt::ShortcutFocusReason);
        field->selectAll();
    });

    // Escape where the results are worked with: the list and the field.
    folderViewAction = new QAction(tr("Back to the folder"), &window);
    folderViewAction->setObjectName(QStringLiteral("folderViewAction"));
    folderViewAction->setShortcut(QKeySequence(Qt::Key_Escape));
    folderViewAction->setShortcutContext(Qt::WidgetShortcut);
    messageList->addAction(folderViewAction);
    static_cast<QWidget*>(searchField)->addAction(folderViewAction);
    messageList->setColumnHidden(ColFolder, true);
}

void MainWindowWidgets::createRecoveryControls(QMainWindow& window, QStatusBar* bar) {
    showRecoveredAction = new QAction(tr("Show deleted and orphaned messages"), &window);
    showRecoveredAction->setObjectName(QStringLiteral("showRecoveredAction"));
    showRecoveredAction->setToolTip(
        tr("Also list the messages the folder's file holds but its index does not"));
    showRecoveredAction->setCheckable(true);
    showRecoveredAction->setChecked(windowSettings().value(ShowRecoveredKey, false).toBool());

    recoveryStatus = new QLabel(bar);
    recoveryStatus->setObjectName(QStringLiteral("recoveryStatus"));
    recoverButton = new QToolButton(bar);
    recoverButton->setObjectName(QStringLiteral("recoverButton"));
    recoverButton->setText(tr("Look for its messages"));
    recoverButton->setAutoRaise(true);
    recoverButton->hide();
    bar->addWidget(recoveryStatus);
    bar->addWidget(recoverButton);
}

}  // namespace lumbrook
