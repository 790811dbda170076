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

QString FromStore(const std::string& text) {
    return QString::fromStdString(AnsiToUtf8(text));
}

// Keeps the selection's colours when the control loses the focus.
void KeepSelectionVisible(QWidget* w) {
    QPalette palette = w->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    w->setPalette(palette);
}

// The window's font made narrow enough for every caption to fit the tool bar's
// 66-pixel buttons: condensed where the font has it, then smaller.
QFont CaptionFont(QFont font, const QStringList& captions, int width) {
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
        : Model(model), Records(records) {
        Model.BeginUpdate();
    }
    ~TListUpdate() { Model.EndUpdate(&Records); }
    TListUpdate(const TListUpdate&) = delete;
    TListUpdate& operator=(const TListUpdate&) = delete;

  private:
    TMessageListModel& Model;
    const TMessageList& Records;
};

}  // namespace

TMainForm::TMainForm(TAppPaths paths, QWidget* parent)
    : QMainWindow(parent), Paths(std::move(paths)), ProgramDir(Paths.ProgramDir) {
    setWindowTitle(QStringLiteral("Harlstone Lumbrook 1.0"));
    setWindowIcon(ImageList1.Icon(ImgEnvelope));
    CreateToolBar();
    CreatePanels();
    CreateStatusBar();
    ConnectHandlers();

    resize(696, 480);
    CentreOnScreen(*this);
    FormCreate();
}

TMainForm::~TMainForm() {
    FormDestroy();
}

// ---------------------------------------------------------------------------------
// Building the window

void TMainForm::CreateToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->toggleViewAction()->setVisible(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    const QFont font = CaptionFont(
        ToolBar1->font(),
        {"Print eMail", "Printer setup", "Save eMail", "Export eMail", "Cancel", "Select all"},
        66 - 8);
    auto button = [this, &font](const char* caption, const char* hint, int picture) {
        auto* b = new QToolButton(ToolBar1);
        b->setFont(font);
        b->setText(QString::fromLatin1(caption));
        b->setToolTip(QString::fromLatin1(hint));
        b->setIcon(ImageList1.Icon(picture));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFixedSize(66, 36);
        ToolBar1->addWidget(b);
        return b;
    };
    PrintBtn = button("Print eMail", "Print out the selected emails", ImgPrinter);
    PrinterSetupBtn = button("Printer setup", "Change the printer settings", ImgTools);
    ToolBar1->addSeparator();
    SaveBtn = button("Save eMail", "Save the selected emails as eml files", ImgSave);
    ExportBtn = button("Export eMail", "Save the selected emails as html files", ImgExport);
    ToolBar1->addSeparator();
    CancelBtn = button("Cancel", "Cancel the actual process", ImgCancel);
    CancelBtn->setEnabled(false);
    ToolBar1->addSeparator();
    QuitBtn = button("Select all", "Select all emails", ImgTick);
}

void TMainForm::CreatePanels() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Splitter1 = new TPanelSplitter(Qt::Horizontal, central);
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);

    TreeView1 = new QTreeWidget(Splitter1);
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setRootIsDecorated(false);
    TreeView1->setIndentation(19);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setAllColumnsShowFocus(true);
    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setSortingEnabled(false);
    KeepSelectionVisible(TreeView1);

    RightPanel = new TPanelSplitter(Qt::Vertical, Splitter1);
    RightPanel->setHandleWidth(5);
    RightPanel->setChildrenCollapsible(false);

    ListModel = new TMessageListModel(ImageList1.Icon(ImgEnvelope), this);
    ListView1 = new QTreeView(RightPanel);
    ListView1->setModel(ListModel);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSortingEnabled(false);
    ListView1->setIconSize(QSize(16, 16));
    ListView1->setMinimumHeight(1);
    KeepSelectionVisible(ListView1);
    QHeaderView* header = ListView1->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    const int widths[] = {150, 150, 300, 150};
    for (int c = 0; c < 4; ++c) header->resizeSection(c, widths[c]);

    auto* lower = new QWidget(RightPanel);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(0);
    CreateOptionsStrip(lower);
    lowerLayout->addWidget(OptionsStrip);
    WebBrowser1 = new TWebBrowser(lower);
    WebBrowser1->setMinimumHeight(0);
    lowerLayout->addWidget(WebBrowser1, 1);
    PrintBrowser = new TWebBrowser(central);
    PrintBrowser->hide();

    RightPanel->addWidget(ListView1);
    RightPanel->addWidget(lower);
    RightPanel->setStretchFactor(0, 0);
    RightPanel->setStretchFactor(1, 1);

    Splitter1->addWidget(TreeView1);
    Splitter1->addWidget(RightPanel);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({201, 490});

    layout->addWidget(Splitter1, 1);
    CreateBottomBar(central);
    layout->addWidget(BottomBar);
    setCentralWidget(central);
}

void TMainForm::CreateOptionsStrip(QWidget* parent) {
    OptionsStrip = new QWidget(parent);
    OptionsStrip->setFixedHeight(59);
    auto* rows = new QVBoxLayout(OptionsStrip);
    rows->setContentsMargins(4, 3, 4, 3);
    rows->setSpacing(2);
    auto* top = new QHBoxLayout;
    auto* bottom = new QHBoxLayout;
    top->setSpacing(6);
    bottom->setSpacing(14);
    rows->addLayout(top);
    rows->addLayout(bottom);

    auto box = [this](const char* caption) {
        auto* b = new QCheckBox(QString::fromLatin1(caption), OptionsStrip);
        b->setChecked(true);
        return b;
    };
    ShowHead = box("Show preview with complete design ");
    voncheck = box("From field");
    ancheck = box("To field");
    datumcheck = box("Date field");
    betreffcheck = box("Subject field");
    DesignLabel = new QLabel(QStringLiteral("Design template:"), OptionsStrip);
    DesignBox = new QComboBox(OptionsStrip);
    DesignBox->setEditable(false);
    DesignBox->setMinimumContentsLength(8);
    DesignBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    DesignLabel->setBuddy(DesignBox);

    top->addWidget(ShowHead);
    top->addStretch(1);
    top->addWidget(DesignLabel);
    top->addWidget(DesignBox);
    for (QCheckBox* field : {voncheck, ancheck, datumcheck, betreffcheck}) bottom->addWidget(field);
    bottom->addStretch(1);
}

void TMainForm::CreateBottomBar(QWidget* parent) {
    BottomBar = new QWidget(parent);
    BottomBar->setFixedHeight(41);
    auto* layout = new QHBoxLayout(BottomBar);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(6);

    wwwBtn =
        new QPushButton(QIcon(HomePagePicture()), QStringLiteral("harlstone.example"), BottomBar);
    wwwBtn->setFlat(true);
    wwwBtn->setToolTip(QStringLiteral("Go to the Harlstone homepage..."));
    wwwBtn->setCursor(Qt::PointingHandCursor);
    wwwBtn->setFocusPolicy(Qt::NoFocus);

    const TButtonPictures about = AboutButtonPictures();
    ueberbtn = new TPictureButton(about.Up, about.Down, BottomBar);
    ueberbtn->setToolTip(QStringLiteral("Information about the program"));
    const TButtonPictures exit = ExitButtonPictures();
    endebtn = new TPictureButton(exit.Up, exit.Down, BottomBar);
    endebtn->setToolTip(QStringLiteral("Hereby you leave the program"));

    layout->addWidget(wwwBtn);
    layout->addStretch(1);
    layout->addWidget(ueberbtn);
    layout->addWidget(endebtn);
}

void TMainForm::CreateStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(19);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setFixedWidth(250);
    StatusPanel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusPanel2 = new TStatusPanel(StatusBar1);
    StatusPanel2->setFixedWidth(50);
    StatusPanel2->OnDrawPanel = [this](QPainter& canvas, const QRect& rect) {
        StatusBar1DrawPanel(canvas, rect);
    };
    StatusBar1->addWidget(StatusPanel1);
    StatusBar1->addWidget(StatusPanel2);
    setStatusBar(StatusBar1);
}

void TMainForm::ConnectHandlers() {
    connect(QuitBtn, &QToolButton::clicked, this, Reported(this, [this] { QuitBtnClick(); }));
    connect(CancelBtn, &QToolButton::clicked, this, Reported(this, [this] { CancelBtnClick(); }));
    connect(PrintBtn, &QToolButton::clicked, this, Reported(this, [this] { PrintBtnClick(); }));
    connect(PrinterSetupBtn, &QToolButton::clicked, this,
            Reported(this, [this] { PrinterSetupBtnClick(); }));
    connect(SaveBtn, &QToolButton::clicked, this, Reported(this, [this] { SaveBtnClick(); }));
    connect(ExportBtn, &QToolButton::clicked, this, Reported(this, [this] { ExportBtnClick(); }));
    connect(PrintBrowser, &TWebBrowser::DownloadComplete, this,
            Reported(this, [this] { PrintBrowserDownloadComplete(); }));
    connect(ListView1, &QTreeView::doubleClicked, this,
            Reported(this, [this] { ListView1DblClick(); }));

    // The tree lists a folder on a click only, not when its selection changes.
    TreeView1->viewport()->installEventFilter(this);
    ListView1->installEventFilter(this);
    connect(ListView1->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { RunReported(this, [&] { ListView1ColumnClick(column); }); });
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            Reported(this, [this] { ListView1Change(); }));

    for (QCheckBox* box : {ShowHead, voncheck, ancheck, datumcheck, betreffcheck}) {
        connect(box, &QCheckBox::clicked, this, Reported(this, [this] { ShowHeadClick(); }));
    }
    connect(DesignBox, &QComboBox::activated, this, Reported(this, [this] { DesignBoxChange(); }));

    connect(RightPanel, &TPanelSplitter::Resized, this, Reported(this, [this] { FormResize(); }));
    connect(RightPanel, &QSplitter::splitterMoved, this,
            Reported(this, [this] { Splitter2Moved(); }));

    connect(wwwBtn, &QPushButton::clicked, this, Reported(this, [this] { wwwBtnClick(); }));
    connect(ueberbtn, &TPictureButton::clicked, this, Reported(this, [this] { ueberbtnClick(); }));
    connect(endebtn, &TPictureButton::clicked, this, Reported(this, [this] { endebtnClick(); }));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TreeView1->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        RunReported(this, [this] { TreeView1Click(); });
    } else if (watched == ListView1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        bool handled = false;
        RunReported(this, [&] { handled = ListView1KeyDown(key->key(), key->modifiers()); });
        if (handled) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------
// Start-up and shutdown

void TMainForm::FormCreate() {
    // The template box: every "*.htm" of the template directory, the last one chosen.
    DesignBox->clear();
    for (const std::string& name : ListDesignTemplates(Paths)) {
        DesignBox->addItem(QString::fromStdString(ToUtf8(name)), QByteArray::fromStdString(name));
    }
    DesignBox->setCurrentIndex(DesignBox->count() - 1);

    OpenOptions();

    PreviewOffset = -1;
    PreviewFolder.clear();
    ListRatio = 50;
    ListModel->SetSortOrder(ColDate, true);

    FolderFile = "folders.dbx";
    FolderList.clear();
    MessageList.clear();
    // Without a folder list the window still opens, empty.
    if (!RunReported(this, [this] { ReadIndexFile(FolderFile, FolderList); })) FolderList.clear();

    const std::vector<QTreeWidgetItem*> nodes = BuildFolderTree();

    // The third node from the top, children counted.
    if (nodes.size() >= 3) {
        TreeView1->setCurrentItem(nodes[2]);
        RunReported(this, [this] { TreeView1Click(); });
    }

    if (ListModel->rowCount() > 0) {
        // The selection change previews the message.
        ListView1->selectionModel()->setCurrentIndex(
            ListModel->index(0, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

std::vector<QTreeWidgetItem*> TMainForm::BuildFolderTree() {
    TreeView1->setUpdatesEnabled(false);
    const TFolderTree tree(FolderList);
    std::vector<QTreeWidgetItem*> items(tree.Count(), nullptr);
    std::vector<QTreeWidgetItem*> byPosition;
    byPosition.reserve(tree.Count());
    for (const std::int32_t node : tree.Positions()) {
        const std::int32_t parent = tree.Nodes()[node].Parent;
        auto* item =
            parent < 0 ? new QTreeWidgetItem(TreeView1) : new QTreeWidgetItem(items[parent]);
        item->setText(0, FromStore(FolderList[node].Name));
        item->setIcon(0, ImageList1.Icon(ImgFolderSheet));
        item->setData(0, FolderDataRole, node);
        items[node] = item;
        byPosition.push_back(item);
    }
    for (std::size_t node = 0; node < tree.Count(); ++node) {
        if (tree.Nodes()[node].Expanded) items[node]->setExpanded(true);
    }
    TreeView1->setUpdatesEnabled(true);
    return byPosition;
}

void TMainForm::FormDestroy() {
    SaveOptions();
    DeleteTempFiles();
    Closing = true;
    // The rows go before the records they show.
    ListModel->BeginUpdate();
    MessageList.clear();
    ListModel->EndUpdate(nullptr);
    FolderList.clear();
}

TOptions TMainForm::CurrentOptions() const {
    TOptions options;
    options.DesignIndex = DesignBox->currentIndex();
    options.ShowHead = ShowHead->isChecked();
    options.FromField = voncheck->isChecked();
    options.ToField = ancheck->isChecked();
    options.SubjectField = betreffcheck->isChecked();
    options.DateField = datumcheck->isChecked();
    return options;
}

void TMainForm::OpenOptions() {
    TOptions options = CurrentOptions();
    if (!lumbrook::OpenOptions(Paths.OptionsFile, options)) return;
    const bool inList = options.DesignIndex >= 0 && options.DesignIndex < DesignBox->count();
    DesignBox->setCurrentIndex(inList ? options.DesignIndex : -1);
    ShowHead->setChecked(options.ShowHead);
    voncheck->setChecked(options.FromField);
    ancheck->setChecked(options.ToField);
    betreffcheck->setChecked(options.SubjectField);
    datumcheck->setChecked(options.DateField);
}

void TMainForm::SaveOptions() {
    const TOptions options = CurrentOptions();
    // An installed copy keeps its options in a configuration directory that may
    // not exist yet.
    ForceDirectories(std::filesystem::path(Paths.OptionsFile).parent_path().string());
    lumbrook::SaveOptions(Paths.OptionsFile, options);
}

void TMainForm::DeleteTempFiles() {
    TempFiles.DeleteTempFiles();
}

// ---------------------------------------------------------------------------------
// Layout

void TMainForm::FormResize() {
    const int panel = RightPanel->height();
    const int list = ListHeightFor(panel, ListRatio);
    RightPanel->setSizes({list, std::max(0, panel - list - RightPanel->handleWidth())});
}

void TMainForm::Splitter2Moved() {
    ListRatio = RatioAfterDrag(ListView1->height(), RightPanel->height(), ListRatio);
}

// ---------------------------------------------------------------------------------
// Folder tree and message list

void TMainForm::TreeView1Click() {
    if (BatchRunning) {
        // A running batch walks the rows of the folder listed: another folder
        // waits until it ends, and the tree goes on marking the folder listed.
        if (ListedNode) {
            TreeView1->setCurrentItem(ListedNode);
        } else {
            TreeView1->clearSelection();
        }
        return;
    }
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    if (selected.isEmpty()) return;
    const int folder = selected.front()->data(0, FolderDataRole).toInt();
    if (folder < 0 || static_cast<std::size_t>(folder) >= FolderList.size()) return;
    FolderFile = FolderList[folder].FileName;
    ListedNode = selected.front();

    // A folder file that cannot be read leaves the list empty; the bracket closes
    // either way, so the list keeps painting.
    TListUpdate update(*ListModel, MessageList);
    MessageList.clear();
    TMessageList records;
    if (!FolderFile.empty()) ReadIndexFile(FolderFile, records);
    MessageList = std::move(records);
}

void TMainForm::ListView1ColumnClick(int Column) {
    ListModel->ColumnClick(Column);
}

bool TMainForm::ListView1KeyDown(int Key, Qt::KeyboardModifiers Shift) {
    if (Key == Qt::Key_A && Shift.testFlag(Qt::ControlModifier)) {
        QuitBtnClick();
        return true;
    }
    return false;
}

void TMainForm::QuitBtnClick() {
    // Marking every row renders nothing: the preview keeps its message.
    SelectingAll = true;
    ListView1->selectAll();
    SelectingAll = false;
}

int TMainForm::FirstSelectedRow() const {
    int first = -1;
    for (const QItemSelectionRange& range : ListView1->selectionModel()->selection()) {
        if (range.isValid() && (first < 0 || range.top() < first)) first = range.top();
    }
    return first;
}

// ---------------------------------------------------------------------------------
// Preview

std::string TMainForm::DesignBoxName(int Index) const {
    if (Index < 0 || Index >= DesignBox->count()) return {};
    return DesignBox->itemData(Index, TemplateNameRole).toByteArray().toStdString();
}

TDesign TMainForm::CurrentDesign() const {
    TDesign design;
    design.Apply = ShowHead->isChecked();
    design.Fields.From = voncheck->isChecked();
    design.Fields.To = ancheck->isChecked();
    design.Fields.Date = datumcheck->isChecked();
    design.Fields.Subject = betreffcheck->isChecked();
    design.TemplatePath = DesignTemplatePath(Paths, DesignBoxName(DesignBox->currentIndex()));
    return design;
}

void TMainForm::ListView1Change() {
    if (SelectingAll) return;
    const int row = FirstSelectedRow();
    if (row < 0) {
        if (!Closing) {
            WebBrowser1->Navigate(QString());
            PreviewOffset = -1;
            PreviewFolder.clear();
        }
        return;
    }
    const int index = ListModel->RecordIndex(row);
    if (index < 0 || static_cast<std::size_t>(index) >= MessageList.size()) return;
    const Toe5_MessageInfo& record = MessageList[static_cast<std::size_t>(index)];
    const std::string raw = ReadMessageText(FolderFile, record.DataOffset);
    if (record.DataOffset == PreviewOffset && FolderFile == PreviewFolder) return;
    // The identity is recorded before the page is built: a message whose page
    // fails is not tried again by clicking it again.
    PreviewOffset = record.DataOffset;
    PreviewFolder = FolderFile;
    DeleteTempFiles();
    ForceDirectories(Paths.WorkDir);
    const std::string page =
        RenderMessagePage(raw, record, CurrentDesign(), Paths.WorkDir, "mail.htm", &TempFiles);
    WebBrowser1->Navigate(QString::fromStdString(page));
}

void TMainForm::ListView1DblClick() {
    const int row = FirstSelectedRow();
    if (row < 0 || !ShowMailForm) return;
    auto text = [&](int column) { return ListModel->index(row, column).data().toString(); };
    const QString subject = text(ColSubject);
    ShowMailForm->setWindowTitle(subject.isEmpty() ? QStringLiteral("eMail message") : subject);
    const std::pair<QLineEdit*, int> fields[] = {{ShowMailForm->Edit1, ColFrom},
                                                 {ShowMailForm->Edit2, ColDate},
                                                 {ShowMailForm->Edit3, ColTo},
                                                 {ShowMailForm->Edit4, ColSubject}};
    for (const auto& [edit, column] : fields) {
        edit->setText(text(column));
        edit->setCursorPosition(0);
    }
    ShowMailForm->WebBrowser1->Navigate(WebBrowser1->LocationURL());
    ShowModal(*ShowMailForm);
    // The next opening shows only its own page, never this one.
    ShowMailForm->WebBrowser1->Navigate(QString());
}

void TMainForm::ShowHeadClick() {
    PreviewOffset = -1;
    ListView1Change();
}

void TMainForm::DesignBoxChange() {
    PreviewOffset = -1;
    ListView1Change();
}

// ---------------------------------------------------------------------------------
// Buttons and status bar

void TMainForm::wwwBtnClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(HomePageAddress)));
}

void TMainForm::ueberbtnClick() {
    if (AboutBox) ShowModal(*AboutBox);
}

void TMainForm::endebtnClick() {
    Cancelled = true;
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    Cancelled = true;
    QMainWindow::closeEvent(event);
}

}  // namespace lumbrook
