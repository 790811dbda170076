// The search field of MainWindow and the search results view: the query runs on a
// worker thread (runStoreSearch), the window stays usable meanwhile, and the hits
// replace the folder's rows until Escape or a folder click brings the folder back.

#include "mainwindow/SearchView.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <unordered_map>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "search/SearchIndex.h"

namespace lumbrook {

SearchResults runStoreSearch(const MailStore& store, const std::string& indexPath,
                             const SearchQuery& query, std::size_t limit,
                             const std::function<void(const IndexProgress&)>& progress,
                             const std::atomic<bool>* cancel) {
    SearchResults results;
    try {
        SearchIndex index(indexPath);
        results.report = updateSearchIndex(store, index, progress, cancel);
        if (results.report.cancelled) return results;
        results.total = index.countMatches(query);
        const std::vector<SearchHit> hits = index.search(query, limit);
        // Each hit's record as its folder lists it, the folder's index read once.
        struct Folder {
            MessageList records;
            std::unordered_map<std::int64_t, std::size_t> byOffset;
        };
        std::map<std::string, Folder> folders;
        for (const SearchHit& hit : hits) {
            auto [entry, fresh] = folders.try_emplace(hit.fileName);
            Folder& folder = entry->second;
            if (fresh) {
                try {
                    folder.records = store.readMessages(hit.fileName);
                } catch (const std::exception&) {
                    // Gone since it was indexed: its hits are not listed.
                }
                for (std::size_t i = 0; i < folder.records.size(); ++i)
                    folder.byOffset.try_emplace(folder.records[i].dataOffset, i);
            }
            const auto found = folder.byOffset.find(hit.dataOffset);
            if (found == folder.byOffset.end()) continue;
            results.records.push_back(folder.records[found->second]);
            results.files.push_back(hit.fileName);
            results.folderPaths.push_back(hit.folderPath);
        }
    } catch (const std::exception& e) {
        results.records.clear();
        results.files.clear();
        results.folderPaths.clear();
        results.error = errorText(e).toStdString();
    }
    return results;
}

const std::string& MainWindow::fileOfRecord(std::size_t recordIndex) const {
    return recordIndex < recordFiles.size() ? recordFiles[recordIndex] : listedFile;
}

void MainWindow::createSearchField() {
    // At the tool bar's right end, after the command buttons.
    auto* spacer = new QWidget(mainToolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    mainToolBar->addWidget(spacer);
    searchField = new QLineEdit(mainToolBar);
    searchField->setObjectName(QStringLiteral("searchField"));
    searchField->setPlaceholderText(QStringLiteral("Search"));
    searchField->setClearButtonEnabled(true);
    searchField->setMinimumWidth(180);
    searchField->setMaximumWidth(320);
    searchField->setToolTip(
        QStringLiteral("Search every folder: words, \"a phrase\", pre*, a OR b, -word,\n"
                       "from: to: subject: folder:, has:attachment, "
                       "after:YYYY-MM-DD, before:YYYY-MM-DD"));
    mainToolBar->addWidget(searchField);

    findAction = new QAction(QStringLiteral("&Find"), this);
    findAction->setObjectName(QStringLiteral("findAction"));
    findAction->setToolTip(QStringLiteral("Search all folders"));
    findAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    addAction(findAction);  // the key works with the menu bar hidden too
    connect(findAction, &QAction::triggered, this, [this] {
        searchField->setFocus(Qt::ShortcutFocusReason);
        searchField->selectAll();
    });
    connect(searchField, &QLineEdit::returnPressed, this, reported(this, [this] { onSearch(); }));

    // Escape where the results are worked with: the list and the field.
    folderViewAction = new QAction(QStringLiteral("Back to the folder"), this);
    folderViewAction->setObjectName(QStringLiteral("folderViewAction"));
    folderViewAction->setShortcut(QKeySequence(Qt::Key_Escape));
    folderViewAction->setShortcutContext(Qt::WidgetShortcut);
    messageList->addAction(folderViewAction);
    static_cast<QWidget*>(searchField)->addAction(folderViewAction);
    connect(folderViewAction, &QAction::triggered, this,
            reported(this, [this] { leaveSearchView(); }));
    messageList->setColumnHidden(ColFolder, true);
}

void MainWindow::onSearch() {
    if (batchActive) {
        statusText->setText(QStringLiteral("Search when the batch has ended"));
        return;
    }
    if (folders.empty()) {
        statusText->setText(QStringLiteral("No store to search"));
        return;
    }
    SearchQuery query;
    try {
        query = parseSearchQuery(searchField->text().toStdString());
    } catch (const SearchQueryError& e) {
        const QString text = QStringLiteral("Cannot search: %1").arg(QString::fromStdString(e.what()));
        statusText->setText(text);
        statusText->setToolTip(text);
        return;
    }
    stopSearch();  // a new query replaces one still running

    auto stop = std::make_shared<std::atomic<bool>>(false);
    searchStop = stop;
    searchRunning = true;
    cancelAction->setEnabled(true);
    setProgress(0);
    statusText->setText(QStringLiteral("Searching..."));
    statusText->setToolTip(QString());
    // The worker has a store of its own (a copy) and its own connection to the
    // index; what it reports comes back through the event queue, and a search
    // stopped or replaced meanwhile (searchStop no longer its flag) is not shown.
    searchThread = std::thread([this, stop, query, reader = store, path = storeIndexPath(store)] {
        auto progress = [this, stop](const IndexProgress& p) {
            QMetaObject::invokeMethod(
                this,
                [this, stop, p] {
                    if (searchStop != stop || p.messagesTotal == 0) return;
                    setProgress(static_cast<std::int32_t>(p.messagesDone * 100 / p.messagesTotal));
                    QString text =
                        QStringLiteral("Indexing %1/%2").arg(p.messagesDone).arg(p.messagesTotal);
                    if (!p.folderPath.empty())
                        text += QStringLiteral(": ") + QString::fromStdString(p.folderPath);
                    statusText->setText(text);
                },
                Qt::QueuedConnection);
        };
        auto results = std::make_shared<SearchResults>(
            runStoreSearch(reader, path, query, MaxSearchHits, progress, stop.get()));
        QMetaObject::invokeMethod(
            this,
            [this, stop, results] {
                if (searchStop != stop) return;
                runReported(this, [&] { showSearchResults(std::move(*results)); });
            },
            Qt::QueuedConnection);
    });
}

void MainWindow::stopSearch() {
    if (searchStop) searchStop->store(true);
    if (searchThread.joinable()) searchThread.join();
    if (!searchRunning) return;
    searchStop.reset();
    searchRunning = false;
    cancelAction->setEnabled(batchActive);
    setProgress(0);
    statusText->clear();
}

void MainWindow::showSearchResults(SearchResults results) {
    // The worker has finished: it posted these as its last act.
    if (searchThread.joinable()) searchThread.join();
    const bool cancelled = (searchStop && searchStop->load()) || results.report.cancelled;
    searchStop.reset();
    searchRunning = false;
    cancelAction->setEnabled(false);
    setProgress(0);
    if (!results.error.empty()) {
        const QString text = QStringLiteral("Cannot search: %1").arg(QString::fromStdString(results.error));
        statusText->setText(text);
        statusText->setToolTip(text);
        return;
    }
    if (cancelled) {
        statusText->setText(QStringLiteral("Search cancelled"));
        return;
    }

    if (!searchView) {
        // Where Escape goes back to.
        const auto listed = std::find(folderItems.begin(), folderItems.end(), listedNode);
        returnFolder = listedNode && listed != folderItems.end()
                           ? static_cast<int>(listed - folderItems.begin())
                           : -1;
        folderSortColumn = messageModel->sortColumn();
        folderSortDescending = messageModel->sortDescending();
        folderViewTitle = windowTitle();
    }
    searchView = true;
    // The hits come from many folders: no scan of one folder adds to them.
    forgetRecovered();
    // Best match first until a column is clicked: no column gives the hits' order.
    messageModel->setSortOrder(-1, false);
    previewedOffset = -1;
    previewedFile.clear();
    messageModel->beginUpdate();
    records = std::move(results.records);
    recordFiles = std::move(results.files);
    messageModel->setFolderTexts(std::move(results.folderPaths));
    messageModel->endUpdate(&records);
    listedFile.clear();
    listedNode = nullptr;
    folderTree->clearSelection();
    folderTree->setCurrentItem(nullptr);
    messageList->setColumnHidden(ColFolder, false);

    const QString count = records.size() < results.total
                              ? QStringLiteral("%1 of %2").arg(records.size()).arg(results.total)
                              : QString::number(records.size());
    setWindowTitle(QStringLiteral("Search results (%1) - %2").arg(count, folderViewTitle));
    QString status = QStringLiteral("%1 messages found").arg(count);
    if (results.report.failures > 0)
        status += QStringLiteral("; %1 could not be indexed").arg(results.report.failures);
    statusText->setText(status);
    statusText->setToolTip(QString());
    if (messageModel->rowCount() > 0) {
        messageList->selectionModel()->setCurrentIndex(
            messageModel->index(0, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void MainWindow::endSearchView() {
    const bool wasShown = searchView;
    searchView = false;
    recordFiles.clear();
    messageList->setColumnHidden(ColFolder, true);
    if (!wasShown) return;
    setWindowTitle(folderViewTitle);
    messageModel->setSortOrder(folderSortColumn, folderSortDescending);
}

void MainWindow::leaveSearchView() {
    if (searchStop) searchStop->store(true);  // Escape also stops a search under way
    if (!searchView || batchActive) return;    // a batch walks these rows
    const int folder = returnFolder;
    endSearchView();
    statusText->clear();
    if (folder >= 0 && static_cast<std::size_t>(folder) < folderItems.size() &&
        folderItems[static_cast<std::size_t>(folder)]) {
        folderTree->setCurrentItem(folderItems[static_cast<std::size_t>(folder)]);
        onFolderClicked();
    } else {
        messageModel->beginUpdate();
        records.clear();
        messageModel->endUpdate(&records);
    }
}

}  // namespace lumbrook
