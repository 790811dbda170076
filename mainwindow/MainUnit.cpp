#include "mainwindow/MainUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <utility>

#include "windows/Centre.h"
#include "mainwindow/Controls.h"
#include "mainwindow/ErrorReport.h"
#include "mainwindow/FolderTree.h"
#include "mainwindow/ListRatio.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/Modal.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/browser/WebBrowser.h"
#include "render/Options.h"
#include "windows/ShowMailFUnit.h"

namespace lumbrook {

namespace {

constexpr int FolderDataRole = Qt::UserRole;
constexpr int TemplateNameRole = Qt::UserRole;

QString fromStore(const std::string& text) {
    return QString::fromStdString(ansiToUtf8(text));
}

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
class TListUpdate {
  public:
    TListUpdate(TMessageListModel& model, const TMessageList& records)
        : model(model), records(records) {
        model.beginUpdate();
    }
    ~TListUpdate() { model.endUpdate(&records); }
    TListUpdate(const TListUpdate&) = delete;
    TListUpdate& operator=(const TListUpdate&) = delete;

  private:
    TMessageListModel& model;
    const TMessageList& records;
};

}  // namespace

TMainForm::TMainForm(TAppPaths paths, QWidget* parent)
    : QMainWindow(parent), paths(std::move(paths)), programDir(this->paths.programDir) {
    setWindowTitle(QStringLiteral("Harlstone Lumbrook 1.0"));
    setWindowIcon(imageList1.icon(ImgEnvelope));
    createToolBar();
    createPanels();
    createStatusBar();
    connectHandlers();

    resize(696, 480);
    centreOnScreen(*this);
    formCreate();
}

TMainForm::~TMainForm() {
    formDestroy();
}

// ---------------------------------------------------------------------------------
// Building the window

void TMainForm::createToolBar() {
    toolBar1 = new QToolBar(this);
    toolBar1->setObjectName(QStringLiteral("ToolBar1"));
    toolBar1->setMovable(false);
    toolBar1->setFloatable(false);
    toolBar1->toggleViewAction()->setVisible(false);
    toolBar1->setIconSize(QSize(16, 16));
    toolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, toolBar1);

    const QFont font = captionFont(
        toolBar1->font(),
        {"Print eMail", "Printer setup", "Save eMail", "Export eMail", "Cancel", "Select all"},
        66 - 8);
    auto button = [this, &font](const char* caption, const char* hint, int picture) {
        auto* b = new QToolButton(toolBar1);
        b->setFont(font);
        b->setText(QString::fromLatin1(caption));
        b->setToolTip(QString::fromLatin1(hint));
        b->setIcon(imageList1.icon(picture));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFixedSize(66, 36);
        toolBar1->addWidget(b);
        return b;
    };
    printBtn = button("Print eMail", "Print out the selected emails", ImgPrinter);
    printerSetupBtn = button("Printer setup", "Change the printer settings", ImgTools);
    toolBar1->addSeparator();
    saveBtn = button("Save eMail", "Save the selected emails as eml files", ImgSave);
    exportBtn = button("Export eMail", "Save the selected emails as html files", ImgExport);
    toolBar1->addSeparator();
    cancelBtn = button("Cancel", "Cancel the actual process", ImgCancel);
    cancelBtn->setEnabled(false);
    toolBar1->addSeparator();
    quitBtn = button("Select all", "Select all emails", ImgTick);
}

void TMainForm::createPanels() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    splitter1 = new TPanelSplitter(Qt::Horizontal, central);
    splitter1->setHandleWidth(5);
    splitter1->setChildrenCollapsible(false);

    treeView1 = new QTreeWidget(splitter1);
    treeView1->setHeaderHidden(true);
    treeView1->setColumnCount(1);
    treeView1->setRootIsDecorated(false);
    treeView1->setIndentation(19);
    treeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    treeView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    treeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    treeView1->setAllColumnsShowFocus(true);
    treeView1->setIconSize(QSize(16, 16));
    treeView1->setSortingEnabled(false);
    keepSelectionVisible(treeView1);

    rightPanel = new TPanelSplitter(Qt::Vertical, splitter1);
    rightPanel->setHandleWidth(5);
    rightPanel->setChildrenCollapsible(false);

    listModel = new TMessageListModel(imageList1.icon(ImgEnvelope), this);
    listView1 = new QTreeView(rightPanel);
    listView1->setModel(listModel);
    listView1->setRootIsDecorated(false);
    listView1->setItemsExpandable(false);
    listView1->setUniformRowHeights(true);
    listView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView1->setAllColumnsShowFocus(true);
    listView1->setSortingEnabled(false);
    listView1->setIconSize(QSize(16, 16));
    listView1->setMinimumHeight(1);
    keepSelectionVisible(listView1);
    QHeaderView* header = listView1->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    const int widths[] = {150, 150, 300, 150};
    for (int c = 0; c < 4; ++c) header->resizeSection(c, widths[c]);

    auto* lower = new QWidget(rightPanel);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(0);
    createOptionsStrip(lower);
    lowerLayout->addWidget(optionsStrip);
    webBrowser1 = new TWebBrowser(lower);
    webBrowser1->setMinimumHeight(0);
    lowerLayout->addWidget(webBrowser1, 1);
    printBrowser = new TWebBrowser(central);
    printBrowser->hide();

    rightPanel->addWidget(listView1);
    rightPanel->addWidget(lower);
    rightPanel->setStretchFactor(0, 0);
    rightPanel->setStretchFactor(1, 1);

    splitter1->addWidget(treeView1);
    splitter1->addWidget(rightPanel);
    splitter1->setStretchFactor(0, 0);
    splitter1->setStretchFactor(1, 1);
    splitter1->setSizes({201, 490});

    layout->addWidget(splitter1, 1);
    createBottomBar(central);
    layout->addWidget(bottomBar);
    setCentralWidget(central);
}

void TMainForm::createOptionsStrip(QWidget* parent) {
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

    auto box = [this](const char* caption) {
        auto* b = new QCheckBox(QString::fromLatin1(caption), optionsStrip);
        b->setChecked(true);
        return b;
    };
    showHead = box("Show preview with complete design ");
    voncheck = box("From field");
    ancheck = box("To field");
    datumcheck = box("Date field");
    betreffcheck = box("Subject field");
    designLabel = new QLabel(QStringLiteral("Design template:"), optionsStrip);
    designBox = new QComboBox(optionsStrip);
    designBox->setEditable(false);
    designBox->setMinimumContentsLength(8);
    designBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    designLabel->setBuddy(designBox);

    top->addWidget(showHead);
    top->addStretch(1);
    top->addWidget(designLabel);
    top->addWidget(designBox);
    for (QCheckBox* field : {voncheck, ancheck, datumcheck, betreffcheck}) bottom->addWidget(field);
    bottom->addStretch(1);
}

void TMainForm::createBottomBar(QWidget* parent) {
    bottomBar = new QWidget(parent);
    bottomBar->setFixedHeight(41);
    auto* layout = new QHBoxLayout(bottomBar);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(6);

    wwwBtn =
        new QPushButton(QIcon(homePagePicture()), QStringLiteral("harlstone.example"), bottomBar);
    wwwBtn->setFlat(true);
    wwwBtn->setToolTip(QStringLiteral("Go to the Harlstone homepage..."));
    wwwBtn->setCursor(Qt::PointingHandCursor);
    wwwBtn->setFocusPolicy(Qt::NoFocus);

    const TButtonPictures about = aboutButtonPictures();
    ueberbtn = new TPictureButton(about.up, about.down, bottomBar);
    ueberbtn->setToolTip(QStringLiteral("Information about the program"));
    const TButtonPictures exit = exitButtonPictures();
    endebtn = new TPictureButton(exit.up, exit.down, bottomBar);
    endebtn->setToolTip(QStringLiteral("Hereby you leave the program"));

    layout->addWidget(wwwBtn);
    layout->addStretch(1);
    layout->addWidget(ueberbtn);
    layout->addWidget(endebtn);
}

void TMainForm::createStatusBar() {
    statusBar1 = new QStatusBar(this);
    statusBar1->setFixedHeight(19);
    statusPanel1 = new QLabel(statusBar1);
    statusPanel1->setFixedWidth(250);
    statusPanel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusPanel2 = new TStatusPanel(statusBar1);
    statusPanel2->setFixedWidth(50);
    statusPanel2->onDrawPanel = [this](QPainter& canvas, const QRect& rect) {
        statusBar1DrawPanel(canvas, rect);
    };
    statusBar1->addWidget(statusPanel1);
    statusBar1->addWidget(statusPanel2);
    setStatusBar(statusBar1);
}

void TMainForm::connectHandlers() {
    connect(quitBtn, &QToolButton::clicked, this, reported(this, [this] { quitBtnClick(); }));
    connect(cancelBtn, &QToolButton::clicked, this, reported(this, [this] { cancelBtnClick(); }));
    connect(printBtn, &QToolButton::clicked, this, reported(this, [this] { printBtnClick(); }));
    connect(printerSetupBtn, &QToolButton::clicked, this,
            reported(this, [this] { printerSetupBtnClick(); }));
    connect(saveBtn, &QToolButton::clicked, this, reported(this, [this] { saveBtnClick(); }));
    connect(exportBtn, &QToolButton::clicked, this, reported(this, [this] { exportBtnClick(); }));
    connect(printBrowser, &TWebBrowser::downloadComplete, this,
            reported(this, [this] { printBrowserDownloadComplete(); }));
    connect(listView1, &QTreeView::doubleClicked, this,
            reported(this, [this] { listView1DblClick(); }));

    // The tree lists a folder on a click only, not when its selection changes.
    treeView1->viewport()->installEventFilter(this);
    listView1->installEventFilter(this);
    connect(listView1->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { runReported(this, [&] { listView1ColumnClick(column); }); });
    connect(listView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            reported(this, [this] { listView1Change(); }));

    for (QCheckBox* box : {showHead, voncheck, ancheck, datumcheck, betreffcheck}) {
        connect(box, &QCheckBox::clicked, this, reported(this, [this] { showHeadClick(); }));
    }
    connect(designBox, &QComboBox::activated, this, reported(this, [this] { designBoxChange(); }));

    connect(rightPanel, &TPanelSplitter::resized, this, reported(this, [this] { formResize(); }));
    connect(rightPanel, &QSplitter::splitterMoved, this,
            reported(this, [this] { splitter2Moved(); }));

    connect(wwwBtn, &QPushButton::clicked, this, reported(this, [this] { wwwBtnClick(); }));
    connect(ueberbtn, &TPictureButton::clicked, this, reported(this, [this] { ueberbtnClick(); }));
    connect(endebtn, &TPictureButton::clicked, this, reported(this, [this] { endebtnClick(); }));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == treeView1->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        runReported(this, [this] { treeView1Click(); });
    } else if (watched == listView1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        bool handled = false;
        runReported(this, [&] { handled = listView1KeyDown(key->key(), key->modifiers()); });
        if (handled) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------
// Start-up and shutdown

void TMainForm::formCreate() {
    // The template box: every "*.htm" of the template directory, the last one chosen.
    designBox->clear();
    for (const std::string& name : listDesignTemplates(paths)) {
        designBox->addItem(QString::fromStdString(toUtf8(name)), QByteArray::fromStdString(name));
    }
    designBox->setCurrentIndex(designBox->count() - 1);

    openOptions();

    previewOffset = -1;
    previewFolder.clear();
    listRatio = 50;
    listModel->setSortOrder(ColDate, true);

    folderFile = "folders.dbx";
    folderList.clear();
    messageList.clear();
    // Without a folder list the window still opens, empty.
    if (!runReported(this, [this] { readIndexFile(folderFile, folderList); })) folderList.clear();

    const std::vector<QTreeWidgetItem*> nodes = buildFolderTree();

    // The third node from the top, children counted.
    if (nodes.size() >= 3) {
        treeView1->setCurrentItem(nodes[2]);
        runReported(this, [this] { treeView1Click(); });
    }

    if (listModel->rowCount() > 0) {
        // The selection change previews the message.
        listView1->selectionModel()->setCurrentIndex(
            listModel->index(0, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

std::vector<QTreeWidgetItem*> TMainForm::buildFolderTree() {
    treeView1->setUpdatesEnabled(false);
    const TFolderTree tree(folderList);
    std::vector<QTreeWidgetItem*> items(tree.count(), nullptr);
    std::vector<QTreeWidgetItem*> byPosition;
    byPosition.reserve(tree.count());
    for (const std::int32_t node : tree.positions()) {
        const std::int32_t parent = tree.nodes()[node].parent;
        auto* item =
            parent < 0 ? new QTreeWidgetItem(treeView1) : new QTreeWidgetItem(items[parent]);
        item->setText(0, fromStore(folderList[node].name));
        item->setIcon(0, imageList1.icon(ImgFolderSheet));
        item->setData(0, FolderDataRole, node);
        items[node] = item;
        byPosition.push_back(item);
    }
    for (std::size_t node = 0; node < tree.count(); ++node) {
        if (tree.nodes()[node].expanded) items[node]->setExpanded(true);
    }
    treeView1->setUpdatesEnabled(true);
    return byPosition;
}

void TMainForm::formDestroy() {
    saveOptions();
    deleteTempFiles();
    closing = true;
    // The rows go before the records they show.
    listModel->beginUpdate();
    messageList.clear();
    listModel->endUpdate(nullptr);
    folderList.clear();
}

TOptions TMainForm::currentOptions() const {
    TOptions options;
    options.designIndex = designBox->currentIndex();
    options.showHead = showHead->isChecked();
    options.fromField = voncheck->isChecked();
    options.toField = ancheck->isChecked();
    options.subjectField = betreffcheck->isChecked();
    options.dateField = datumcheck->isChecked();
    return options;
}

void TMainForm::openOptions() {
    TOptions options = currentOptions();
    if (!lumbrook::openOptions(paths.optionsFile, options)) return;
    const bool inList = options.designIndex >= 0 && options.designIndex < designBox->count();
    designBox->setCurrentIndex(inList ? options.designIndex : -1);
    showHead->setChecked(options.showHead);
    voncheck->setChecked(options.fromField);
    ancheck->setChecked(options.toField);
    betreffcheck->setChecked(options.subjectField);
    datumcheck->setChecked(options.dateField);
}

void TMainForm::saveOptions() {
    const TOptions options = currentOptions();
    // An installed copy keeps its options in a configuration directory that may
    // not exist yet.
    forceDirectories(std::filesystem::path(paths.optionsFile).parent_path().string());
    lumbrook::saveOptions(paths.optionsFile, options);
}

void TMainForm::deleteTempFiles() {
    tempFiles.deleteTempFiles();
}

// ---------------------------------------------------------------------------------
// Layout

void TMainForm::formResize() {
    const int panel = rightPanel->height();
    const int list = listHeightFor(panel, listRatio);
    rightPanel->setSizes({list, std::max(0, panel - list - rightPanel->handleWidth())});
}

void TMainForm::splitter2Moved() {
    listRatio = ratioAfterDrag(listView1->height(), rightPanel->height(), listRatio);
}

// ---------------------------------------------------------------------------------
// Folder tree and message list

void TMainForm::treeView1Click() {
    if (batchRunning) {
        // A running batch walks the rows of the folder listed: another folder
        // waits until it ends, and the tree goes on marking the folder listed.
        if (listedNode) {
            treeView1->setCurrentItem(listedNode);
        } else {
            treeView1->clearSelection();
        }
        return;
    }
    const QList<QTreeWidgetItem*> selected = treeView1->selectedItems();
    if (selected.isEmpty()) return;
    const int folder = selected.front()->data(0, FolderDataRole).toInt();
    if (folder < 0 || static_cast<std::size_t>(folder) >= folderList.size()) return;
    folderFile = folderList[folder].fileName;
    listedNode = selected.front();

    // A folder file that cannot be read leaves the list empty; the bracket closes
    // either way, so the list keeps painting.
    TListUpdate update(*listModel, messageList);
    messageList.clear();
    TMessageList records;
    if (!folderFile.empty()) readIndexFile(folderFile, records);
    messageList = std::move(records);
}

void TMainForm::listView1ColumnClick(int column) {
    listModel->columnClick(column);
}

bool TMainForm::listView1KeyDown(int key, Qt::KeyboardModifiers shift) {
    if (key == Qt::Key_A && shift.testFlag(Qt::ControlModifier)) {
        quitBtnClick();
        return true;
    }
    return false;
}

void TMainForm::quitBtnClick() {
    // Marking every row renders nothing: the preview keeps its message.
    selectingAll = true;
    listView1->selectAll();
    selectingAll = false;
}

int TMainForm::firstSelectedRow() const {
    int first = -1;
    for (const QItemSelectionRange& range : listView1->selectionModel()->selection()) {
        if (range.isValid() && (first < 0 || range.top() < first)) first = range.top();
    }
    return first;
}

// ---------------------------------------------------------------------------------
// Preview

std::string TMainForm::designBoxName(int index) const {
    if (index < 0 || index >= designBox->count()) return {};
    return designBox->itemData(index, TemplateNameRole).toByteArray().toStdString();
}

TDesign TMainForm::currentDesign() const {
    TDesign design;
    design.apply = showHead->isChecked();
    design.fields.from = voncheck->isChecked();
    design.fields.to = ancheck->isChecked();
    design.fields.date = datumcheck->isChecked();
    design.fields.subject = betreffcheck->isChecked();
    design.templatePath = designTemplatePath(paths, designBoxName(designBox->currentIndex()));
    return design;
}

void TMainForm::listView1Change() {
    if (selectingAll) return;
    const int row = firstSelectedRow();
    if (row < 0) {
        if (!closing) {
            webBrowser1->navigate(QString());
            previewOffset = -1;
            previewFolder.clear();
        }
        return;
    }
    const int index = listModel->recordIndex(row);
    if (index < 0 || static_cast<std::size_t>(index) >= messageList.size()) return;
    const Toe5_MessageInfo& record = messageList[static_cast<std::size_t>(index)];
    const std::string raw = readMessageText(folderFile, record.dataOffset);
    if (record.dataOffset == previewOffset && folderFile == previewFolder) return;
    // The identity is recorded before the page is built: a message whose page
    // fails is not tried again by clicking it again.
    previewOffset = record.dataOffset;
    previewFolder = folderFile;
    deleteTempFiles();
    forceDirectories(paths.workDir);
    const std::string page =
        renderMessagePage(raw, record, currentDesign(), paths.workDir, "mail.htm", &tempFiles);
    webBrowser1->navigate(QString::fromStdString(page));
}

void TMainForm::listView1DblClick() {
    const int row = firstSelectedRow();
    if (row < 0 || !showMailForm) return;
    auto text = [&](int column) { return listModel->index(row, column).data().toString(); };
    const QString subject = text(ColSubject);
    showMailForm->setWindowTitle(subject.isEmpty() ? QStringLiteral("eMail message") : subject);
    const std::pair<QLineEdit*, int> fields[] = {{showMailForm->edit1, ColFrom},
                                                 {showMailForm->edit2, ColDate},
                                                 {showMailForm->edit3, ColTo},
                                                 {showMailForm->edit4, ColSubject}};
    for (const auto& [edit, column] : fields) {
        edit->setText(text(column));
        edit->setCursorPosition(0);
    }
    showMailForm->webBrowser1->navigate(webBrowser1->locationUrl());
    showModal(*showMailForm);
    // The next opening shows only its own page, never this one.
    showMailForm->webBrowser1->navigate(QString());
}

void TMainForm::showHeadClick() {
    previewOffset = -1;
    listView1Change();
}

void TMainForm::designBoxChange() {
    previewOffset = -1;
    listView1Change();
}

// ---------------------------------------------------------------------------------
// Buttons and status bar

void TMainForm::wwwBtnClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(HomePageAddress)));
}

void TMainForm::ueberbtnClick() {
    if (aboutBox) showModal(*aboutBox);
}

void TMainForm::endebtnClick() {
    cancelled = true;
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    cancelled = true;
    QMainWindow::closeEvent(event);
}

}  // namespace lumbrook
