#include "mainwindow/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <utility>

#include "listing/FolderTree.h"
#include "mainwindow/BatchCommands.h"
#include "mainwindow/Controls.h"
#include "mainwindow/ErrorReport.h"
#include "mainwindow/ListRatio.h"
#include "mainwindow/MainWindowWidgets.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/MessagePrinter.h"
#include "mainwindow/Modal.h"
#include "mainwindow/PreviewOptions.h"
#include "mainwindow/RecoveryController.h"
#include "mainwindow/SearchController.h"
#include "mainwindow/StoreChoice.h"
#include "output/Output.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/browser/PageView.h"
#include "windows/AttachmentBar.h"
#include "windows/ExportStoreDialog.h"
#include "windows/FoundStoresPanel.h"
#include "windows/UploadDialog.h"
#include "windows/MessageWindow.h"
#include "windows/SaveExportDialog.h"

namespace lumbrook {

namespace {

constexpr int FolderDataRole = Qt::UserRole;

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

}  // namespace

MainWindow::MainWindow(MailStore store, AppPaths paths, QWidget* parent)
    : QMainWindow(parent), store(std::move(store)), paths(std::move(paths)) {
    setWindowTitle(tr("Harlstone Lumbrook 1.0"));
    setWindowIcon(icons.icon(ImgEnvelope));
    ui = std::make_unique<MainWindowWidgets>(*this, icons, this->store.codePage());
    options = std::make_unique<PreviewOptions>(*ui, this->paths);
    ui->messageModel->setDragSource([this](const std::vector<int>& indexes) {
        QMimeData* data = nullptr;
        runReported(this, [&] { data = batches->dragData(indexes); });
        return data;
    });
    counts = std::make_unique<FolderCounts>();
    connect(counts.get(), &FolderCounts::changed, this, &MainWindow::showFolderCount);
    search = std::make_unique<SearchController>(
        *this, *ui, this->store, listed,
        SearchController::Window{
            [this] { return batches->running(); }, [this] { return folders.empty(); },
            [this] { return listedFolder(); },
            [this](int folder) {
                // Back from the results: the folder's own message in the preview.
                const bool listedAgain = listFolder(folder);
                showFolderPreview();
                return listedAgain;
            },
            [this] {
                // Where Escape goes back to; later results replace only hits.
                if (!search->showingResults()) folderPreview = previewed;
                recovery->forgetRecovered();
                previewed.offset = -1;
                previewed.file.clear();
            }});
    recovery = std::make_unique<RecoveryController>(
        *this, *ui, this->store, listed,
        RecoveryController::Window{[this] { return batches->running(); },
                                   [this] { return search->showingResults(); }});
    batches = std::make_unique<BatchCommands>(
        *this, *ui, this->store, this->paths, listed, tempFiles,
        BatchCommands::Window{
            [this] { return firstSelectedRow(); }, [this] { return currentDesign(); },
            [this](const MessageInfo& record, const std::string& file) {
                return readListedMessage(record, file);
            },
            [this] { return search->running(); }, [this] { return saveExportDialog; }});
    updateRecentMenu();
    connectHandlers();
    foundStores = addStoreChoice(*this, ui->listStack->widget(1), ui->openStoreAction);
    setAcceptDrops(true);

    listRatio = restoreWindowLayout(*this, *ui);
    startUp();
}

MainWindow::~MainWindow() {
    search->stop();
    counts->stop();
    recovery->forgetRecovered();
    saveWindowLayout(*this, *ui, listRatio);
    shutDown();
}

void MainWindow::setMessageWindow(MessageWindow* window) {
    messageWindow = window;
    // Its attachment bar's failures are worded as this window words its own.
    window->attachmentBar->wordError = [](const std::exception& e) { return errorText(e); };
}

// ---------------------------------------------------------------------------------
// Layout kept between sessions

void MainWindow::rememberStore() {
    if (folders.empty()) return;
    const QString dir = QDir::cleanPath(
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(store.directory())))
            .absoluteFilePath());
    rememberRecentStore(dir);
    updateRecentMenu();
}

void MainWindow::updateRecentMenu() {
    ui->recentMenu->clear();
    const QStringList recent = recentStores();
    for (const QString& dir : recent) {
        QAction* entry = ui->recentMenu->addAction(dir);
        connect(entry, &QAction::triggered, this, reported(this, [this, dir] {
                    openStore(openStoreForWindow(QFile::encodeName(dir).toStdString()));
                }));
    }
    ui->recentMenu->setEnabled(!recent.isEmpty());
}

void MainWindow::connectHandlers() {
    const std::pair<QAction*, void (MainWindow::*)()> commands[] = {
        {ui->cancelAction, &MainWindow::onCancel},
        {ui->selectAllAction, &MainWindow::onSelectAll},
        {ui->aboutAction, &MainWindow::onAbout},
        {ui->quitAction, &MainWindow::onQuit},
        {ui->openStoreAction, &MainWindow::onOpenStore},
        {ui->exportStoreAction, &MainWindow::onExportStore},
        {ui->openMessageAction, &MainWindow::onMessageDoubleClicked},
        {ui->showInFolderAction, &MainWindow::onShowInFolder}};
    for (const auto& [action, handler] : commands) {
        connect(action, &QAction::triggered, this,
                reported(this, [this, handler = handler] { (this->*handler)(); }));
    }
    addUploadAction(ui->exportStoreAction, this, [this]() -> const MailStore& { return store; }, [this] { return !batches->running(); });
    const std::pair<QAction*, void (BatchCommands::*)()> batchCommands[] = {
        {ui->printAction, &BatchCommands::print},
        {ui->printerSetupAction, &BatchCommands::printerSetup},
        {ui->saveAction, &BatchCommands::save},
        {ui->exportAction, &BatchCommands::exportSelected},
        {ui->printPdfAction, &BatchCommands::printToPdf}};
    for (const auto& [action, command] : batchCommands) {
        connect(action, &QAction::triggered, this,
                reported(this, [this, command = command] { (batches.get()->*command)(); }));
    }
    connect(ui->messageList, &QTreeView::doubleClicked, this,
            reported(this, [this] { onMessageDoubleClicked(); }));
    connect(ui->messageList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) {
                runReported(this, [&] { onMessageMenuRequested(position); });
            });

    // The tree lists a folder on a click only, not when its selection changes.
    ui->folderTree->viewport()->installEventFilter(this);
    connect(ui->messageList->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        runReported(this, [&] { ui->messageModel->columnClick(column); });
    });
    connect(ui->messageList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            reported(this, [this] { onSelectionChanged(); }));

    for (QCheckBox* box : {ui->previewWithDesign, ui->showFromField, ui->showToField,
                           ui->showDateField, ui->showSubjectField}) {
        connect(box, &QCheckBox::clicked, this,
                reported(this, [this] { onPreviewOptionChanged(); }));
    }
    connect(ui->designBox, &QComboBox::activated, this,
            reported(this, [this] { onPreviewOptionChanged(); }));

    connect(ui->rightSplitter, &PanelSplitter::resized, this,
            reported(this, [this] { onResized(); }));
    connect(ui->rightSplitter, &QSplitter::splitterMoved, this,
            reported(this, [this] { onListSplitterMoved(); }));
    connect(ui->homePageButton, &QPushButton::clicked, this,
            reported(this, [this] { onHomePageClicked(); }));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->folderTree->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        runReported(this, [this] { onFolderClicked(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------
// Start-up and shutdown

void MainWindow::startUp() {
    options->listTemplates(store.codePage());
    options->open();

    previewed.offset = -1;
    previewed.file.clear();
    search->endSearchView();
    ui->messageModel->setSortOrder(ColDate, true);

    listed.file = "folders.dbx";
    listed.node = nullptr;
    recovery->forgetRecovered();
    {
        ListUpdate update(*ui->messageModel, listed.records);
        listed.records.clear();
    }
    folders.clear();
    // Without a folder list the window still opens, empty, and says how to open one;
    // with no store named and none found that is all it says.
    if (store.found() && !runReported(this, [this] { folders = store.readFolders(); }))
        folders.clear();
    showFolderListProblem();
    showStorePlaceholder(folders.empty());
    rememberStore();

    buildFolderTree();

    // The third node from the top, children counted.
    QTreeWidgetItemIterator third(ui->folderTree);
    for (int n = 0; n < 2 && *third; ++n) ++third;
    if (*third) {
        ui->folderTree->setCurrentItem(*third);
        runReported(this, [this] { onFolderClicked(); });
    }

    if (ui->messageModel->rowCount() > 0) {
        // The selection change previews the message.
        ui->messageList->selectionModel()->setCurrentIndex(
            ui->messageModel->index(0, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    updateWindowTitle();
    updateCommandStates();
    counts->start(store, folders);
}

void MainWindow::updateWindowTitle() {
    QStringList parts;
    if (const int folder = listedFolder(); folder >= 0)
        parts.push_back(QString::fromStdString(store.toUtf8(folders[folder].name)));
    if (!folders.empty())
        parts.push_back(QDir::toNativeSeparators(
            QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(store.directory())))));
    parts.push_back(tr("Harlstone Lumbrook 1.0"));
    setWindowTitle(parts.join(QStringLiteral(" - ")));
}

void MainWindow::updateCommandStates() {
    const bool haveStore = !folders.empty();
    const bool selected = ui->messageList->selectionModel()->hasSelection();
    for (QAction* action : {ui->printAction, ui->printPdfAction, ui->saveAction, ui->exportAction,
                            ui->openMessageAction})
        action->setEnabled(selected);
    ui->showInFolderAction->setEnabled(selected && search->showingResults());
    ui->showInFolderAction->setVisible(search->showingResults());
    ui->exportStoreAction->setEnabled(haveStore);
    ui->findAction->setEnabled(haveStore);
    ui->searchField->setEnabled(haveStore);
}

// Stays until another store is opened; a store with its folder list clears only
// its own notice, never a text something else left.
void MainWindow::showFolderListProblem() {
    const char* const noticeShown = "folderListNotice";
    const auto problem = store.folderListProblem();
    if (!problem && !ui->statusText->property(noticeShown).toBool()) return;
    const QString notice = problem ? folderListProblemText(*problem) : QString();
    ui->statusText->setText(notice);
    ui->statusText->setToolTip(notice);
    ui->statusText->setProperty(noticeShown, problem.has_value());
}

void MainWindow::openStore(MailStore newStore) {
    if (batches->running()) return;
    // A store that cannot be read is said so, and the one on show stays.
    FolderList newFolders;
    if (!runReported(this, [&] { newFolders = newStore.readFolders(); })) return;
    if (newFolders.empty()) {
        reportError(this, tr("There are no Outlook Express folders in %1.")
                              .arg(QDir::toNativeSeparators(QFile::decodeName(
                                  QByteArray::fromStdString(newStore.directory())))));
        return;
    }
    search->stop();
    counts->stop();
    options->save();
    previewed.offset = -1;
    previewed.file.clear();
    ui->pageView->navigate(QString());
    ui->attachmentBar->clear();
    tempFiles.deleteTempFiles();
    store = std::move(newStore);
    ui->pageView->setTextEncoding(store.codePage().label());
    startUp();
}

void MainWindow::onExportStore() {
    if (batches->running()) return;
    exportStore(store, this, [](const std::exception& e) { return errorText(e); });
}

void MainWindow::onOpenStore() {
    // Directories and .dbx files both: a store is chosen by its directory or by
    // any of its files.
    QFileDialog dialog(this, tr("Open store"));
    dialog.setObjectName(QStringLiteral("openStoreDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilter(tr("Outlook Express folders (*.dbx *.DBX)"));
    const QString current = QFile::decodeName(QByteArray::fromStdString(store.directory()));
    if (QFileInfo(current).isDir()) dialog.setDirectory(current);
    dialog.setSidebarUrls(dialog.sidebarUrls() + foundStoreUrls(*foundStores));
    if (showModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString chosen = dialog.selectedFiles().front();
    const std::string dir = storeDirectoryOf(chosen);
    if (dir.empty()) {
        showMessageBox(this, QMessageBox::Warning, tr("Open store"),
                       tr("%1 is neither a directory nor a .dbx file.").arg(chosen));
        return;
    }
    openStore(openStoreForWindow(dir));
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
            openStore(openStoreForWindow(dir));
            return;
        }
    });
}

void MainWindow::showStorePlaceholder(bool show) {
    ui->listStack->setCurrentIndex(show ? 1 : 0);
    if (show && !usualPlacesSearched) {
        usualPlacesSearched = true;
        foundStores->searchUsualPlaces();
    }
}

// ---------------------------------------------------------------------------------
// Folder counts

void MainWindow::showFolderCount(int folder, FolderCount count) {
    if (folder < 0 || static_cast<std::size_t>(folder) >= folderItems.size()) return;
    QTreeWidgetItem* item = folderItems[static_cast<std::size_t>(folder)];
    if (!item) return;
    item->setText(0, folderCaption(
                         QString::fromStdString(store.toUtf8(folders[folder].name)), count));
    QFont font = ui->folderTree->font();
    font.setBold(count.unread > 0);
    item->setFont(0, font);
}

const std::vector<FolderCount>& MainWindow::folderCounts() const {
    return counts->all();
}

void MainWindow::buildFolderTree() {
    ui->folderTree->setUpdatesEnabled(false);
    ui->folderTree->clear();
    const FolderTree tree(folders);
    std::vector<QTreeWidgetItem*> items(tree.count(), nullptr);
    for (const std::int32_t node : tree.positions()) {
        const std::int32_t parent = tree.nodes()[node].parent;
        auto* item =
            parent < 0 ? new QTreeWidgetItem(ui->folderTree) : new QTreeWidgetItem(items[parent]);
        const QString name = QString::fromStdString(store.toUtf8(folders[node].name));
        item->setText(0, name);
        item->setToolTip(0, name);  // the whole name where the tree is too narrow
        item->setIcon(0, icons.icon(ImgFolderSheet));
        item->setData(0, FolderDataRole, node);
        items[node] = item;
    }
    for (std::size_t node = 0; node < tree.count(); ++node) {
        if (tree.nodes()[node].expanded) items[node]->setExpanded(true);
    }
    folderItems = items;
    folderItems.resize(folders.size(), nullptr);
    counts->reset(folders.size());
    ui->folderTree->setUpdatesEnabled(true);
}

void MainWindow::shutDown() {
    options->save();
    tempFiles.deleteTempFiles();
    closing = true;
    // The rows go before the records they show.
    ui->messageModel->beginUpdate();
    listed.records.clear();
    ui->messageModel->endUpdate(nullptr);
    folders.clear();
}

// ---------------------------------------------------------------------------------
// Layout

void MainWindow::onResized() {
    const int panel = ui->rightSplitter->height();
    const int list = listHeightFor(panel, listRatio);
    ui->rightSplitter->setSizes(
        {list, std::max(0, panel - list - ui->rightSplitter->handleWidth())});
}

void MainWindow::onListSplitterMoved() {
    listRatio = ratioAfterDrag(ui->messageList->height(), ui->rightSplitter->height(), listRatio);
}

// ---------------------------------------------------------------------------------
// Folder tree and message list

void MainWindow::onFolderClicked() {
    if (batches->running()) {
        // A running batch walks the rows of the folder listed: another folder
        // waits until it ends, and the tree goes on marking the folder listed.
        if (listed.node) {
            ui->folderTree->setCurrentItem(listed.node);
        } else {
            ui->folderTree->clearSelection();
        }
        return;
    }
    const QList<QTreeWidgetItem*> selected = ui->folderTree->selectedItems();
    if (selected.isEmpty()) return;
    const int folder = selected.front()->data(0, FolderDataRole).toInt();
    if (folder < 0 || static_cast<std::size_t>(folder) >= folders.size()) return;
    const bool fromSearch = search->showingResults();
    if (fromSearch) search->endSearchView();
    listed.file = folders[folder].fileName;
    listed.node = selected.front();
    recovery->forgetRecovered();

    // A folder file that cannot be read leaves the list empty; the bracket closes
    // either way, so the list keeps painting.
    {
        ListUpdate update(*ui->messageModel, listed.records);
        listed.records.clear();
        if (!listed.file.empty()) listed.records = store.readMessages(listed.file);
        // The walk just done counts the folder too; a count still running is told so.
        counts->set(folder, countMessages(listed.records));
        recovery->listRecovered();  // leaves the rows alone: a scan's rows come later
    }
    updateWindowTitle();
    if (fromSearch) showFolderPreview();
    updateCommandStates();
}

void MainWindow::showFolderPreview() {
    const Previewed wanted = std::exchange(folderPreview, Previewed{});
    int row = -1;
    if (wanted.offset >= 0 && wanted.file == listed.file) {
        for (std::size_t i = 0; i < listed.records.size() && row < 0; ++i) {
            const MessageInfo& record = listed.records[i];
            if (record.dataOffset == wanted.offset && record.origin == wanted.origin)
                row = ui->messageModel->rowOfRecord(static_cast<int>(i));
        }
    }
    if (row < 0) {
        ui->messageList->clearSelection();
        if (previewed.offset >= 0) {
            ui->pageView->navigate(QString());
            ui->attachmentBar->clear();
        }
        previewed = Previewed{};
        return;
    }
    ui->messageList->selectionModel()->setCurrentIndex(
        ui->messageModel->index(row, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ui->messageList->scrollTo(ui->messageModel->index(row, 0));
}

void MainWindow::onSelectAll() {
    // Marking every row renders nothing: the preview keeps its message.
    selectingAll = true;
    ui->messageList->selectAll();
    selectingAll = false;
}

int MainWindow::listedFolder() const {
    const auto found = std::find(folderItems.begin(), folderItems.end(), listed.node);
    return listed.node && found != folderItems.end() ? static_cast<int>(found - folderItems.begin())
                                                     : -1;
}

bool MainWindow::listFolder(int folder) {
    if (folder < 0 || static_cast<std::size_t>(folder) >= folderItems.size() ||
        !folderItems[static_cast<std::size_t>(folder)])
        return false;
    ui->folderTree->setCurrentItem(folderItems[static_cast<std::size_t>(folder)]);
    onFolderClicked();
    return true;
}

int MainWindow::firstSelectedRow() const {
    int first = -1;
    for (const QItemSelectionRange& range : ui->messageList->selectionModel()->selection()) {
        if (range.isValid() && (first < 0 || range.top() < first)) first = range.top();
    }
    return first;
}

// ---------------------------------------------------------------------------------
// Preview

Design MainWindow::currentDesign() const {
    return options->design(store.codePage());
}

void MainWindow::onSelectionChanged() {
    updateCommandStates();
    if (selectingAll) return;
    const int row = firstSelectedRow();
    if (row < 0) {
        if (!closing) {
            ui->pageView->navigate(QString());
            ui->attachmentBar->clear();
            previewed.offset = -1;
            previewed.file.clear();
        }
        return;
    }
    const int index = ui->messageModel->recordIndex(row);
    if (index < 0 || static_cast<std::size_t>(index) >= listed.records.size()) return;
    const MessageInfo& record = listed.records[static_cast<std::size_t>(index)];
    const std::string& file = fileOfRecord(static_cast<std::size_t>(index));
    if (record.dataOffset == previewed.offset && record.origin == previewed.origin &&
        file == previewed.file)
        return;
    const MessageText text = readListedMessage(record, file);
    if (!text.whole) ui->messageModel->markDamaged(record.dataOffset);
    const std::string& raw = text.text;
    // The identity is recorded before the page is built: a message whose page
    // fails is not tried again by clicking it again.
    previewed.offset = record.dataOffset;
    previewed.origin = record.origin;
    previewed.file = file;
    tempFiles.deleteTempFiles();
    forcePrivateDirectories(paths.workDir);
    ui->attachmentBar->clear();
    // A part refused its file is reported once the page is on its way: the rest
    // of the message is still worth reading.
    std::vector<FileCreateError> problems;
    auto message = std::make_shared<MailMessage>();  // one parse for the page and the bar
    message->loadText(raw);
    message->locateBodies();
    const std::string page = renderMessagePage(*message, record, currentDesign(), paths.workDir,
                                               "mail.htm", &tempFiles, &problems);
    ui->pageView->navigate(QString::fromStdString(page));
    if (ui->attachmentBar->setMessage(std::move(message), store.codePage().name()) > 0)
        ui->messageModel->markHasAttachments(record.dataOffset);
    for (const FileCreateError& problem : problems) reportError(this, errorText(problem));
}

void MainWindow::onMessageDoubleClicked() {
    const int row = firstSelectedRow();
    if (row < 0 || !messageWindow) return;
    auto text = [&](int column) { return ui->messageModel->index(row, column).data().toString(); };
    const QString subject = text(ColSubject);
    messageWindow->setWindowTitle(subject.isEmpty() ? tr("eMail message") : subject);
    messageWindow->subjectField->setToolTip(subject);
    const std::pair<QLineEdit*, int> fields[] = {{messageWindow->fromField, ColFrom},
                                                 {messageWindow->dateField, ColDate},
                                                 {messageWindow->toField, ColTo},
                                                 {messageWindow->subjectField, ColSubject}};
    for (const auto& [edit, column] : fields) {
        edit->setText(text(column));
        edit->setCursorPosition(0);
    }
    messageWindow->pageView->navigate(ui->pageView->locationUrl());
    messageWindow->attachmentBar->showSameAs(*ui->attachmentBar);
    showModal(*messageWindow);
    // The next opening shows only its own page, never this one.
    messageWindow->pageView->navigate(QString());
    messageWindow->attachmentBar->clear();
}

void MainWindow::onMessageMenuRequested(const QPoint& position) {
    const QModelIndex index = ui->messageList->indexAt(position);
    if (!index.isValid()) return;
    // A click on a row outside the selection works on that row alone.
    if (!ui->messageList->selectionModel()->isRowSelected(index.row(), QModelIndex())) {
        ui->messageList->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    updateCommandStates();
    ui->messageMenu->popup(ui->messageList->viewport()->mapToGlobal(position));
}

void MainWindow::onShowInFolder() {
    if (!search->showingResults() || batches->running()) return;
    const int row = firstSelectedRow();
    const int index = ui->messageModel->recordIndex(row);
    if (index < 0 || static_cast<std::size_t>(index) >= listed.records.size()) return;
    const std::string file = fileOfRecord(static_cast<std::size_t>(index));
    const MessageInfo& record = listed.records[static_cast<std::size_t>(index)];
    const auto folder = std::find_if(folders.begin(), folders.end(),
                                     [&](const FolderInfo& f) { return f.fileName == file; });
    if (folder == folders.end()) return;
    // The folder comes back with the hit selected, as if it had been shown before the search.
    folderPreview = Previewed{record.dataOffset, record.origin, file};
    listFolder(static_cast<int>(folder - folders.begin()));
}

MessageText MainWindow::readListedMessage(const MessageInfo& record, const std::string& file) {
    return recovery->readMessage(record, file);
}

void MainWindow::onPreviewOptionChanged() {
    previewed.offset = -1;
    onSelectionChanged();
}

// ---------------------------------------------------------------------------------
// Buttons and status bar

void MainWindow::onHomePageClicked() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(HomePageAddress)));
}

bool MainWindow::batchRunning() const {
    return batches->running();
}

bool MainWindow::showingSearchResults() const {
    return search->showingResults();
}

const RecoveredFolder* MainWindow::recoveredMessages() const {
    return recovery->found();
}

const MessagePrinter& MainWindow::printer() const {
    return *ui->messagePrinter;
}

void MainWindow::onAbout() {
    if (aboutDialog) showModal(*aboutDialog);
}

void MainWindow::onCancel() {
    search->cancel();
    batches->cancel();
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
