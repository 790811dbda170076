#include "mainwindow/SearchController.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>
#include <utility>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/ListedMessages.h"
#include "mainwindow/MainWindowWidgets.h"
#include "mainwindow/MessageListModel.h"

namespace lumbrook {

SearchController::SearchController(QMainWindow& window, MainWindowWidgets& ui,
                                   const MailStore& store, ListedMessages& listed, Window hooks)
    : QObject(&window),
      window(window),
      ui(ui),
      store(store),
      listed(listed),
      hooks(std::move(hooks)) {
    connect(ui.searchField, &QLineEdit::returnPressed, this,
            reported(&window, [this] { onSearch(); }));
    connect(ui.folderViewAction, &QAction::triggered, this,
            reported(&window, [this] { leaveSearchView(); }));
}

void SearchController::showProblem(const QString& problem) {
    const QString text = tr("Cannot search: %1").arg(problem);
    ui.statusText->setText(text);
    ui.statusText->setToolTip(text);
}

void SearchController::onSearch() {
    if (hooks.batchRunning()) {
        ui.statusText->setText(tr("Search when the batch has ended"));
        return;
    }
    if (hooks.storeEmpty()) {
        ui.statusText->setText(tr("No store to search"));
        return;
    }
    SearchQuery query;
    try {
        query = parseSearchQuery(ui.searchField->text().toStdString());
    } catch (const SearchQueryError& e) {
        showProblem(QString::fromStdString(e.what()));
        return;
    }
    stop();  // a new query replaces one still running

    ui.cancelAction->setEnabled(true);
    ui.progressBar->setValue(0);
    ui.statusText->setText(tr("Searching..."));
    ui.statusText->setToolTip(QString());
    // The worker has a store of its own (a copy) and its own connection to the index.
    job.start([this, query, reader = store, path = storeIndexPath(store)](
                  const BackgroundJob::Context& context) -> std::function<void()> {
        auto progress = [this, &context](const IndexProgress& p) {
            if (p.messagesTotal == 0) return;
            context.deliver([this, p] {
                ui.progressBar->setValue(
                    static_cast<std::int32_t>(p.messagesDone * 100 / p.messagesTotal));
                QString text = tr("Indexing %1/%2").arg(p.messagesDone).arg(p.messagesTotal);
                if (!p.folderPath.empty())
                    text += QStringLiteral(": ") + QString::fromStdString(p.folderPath);
                ui.statusText->setText(text);
            });
        };
        auto results = std::make_shared<SearchResults>(
            runStoreSearch(reader, path, query, MaxSearchHits, progress, context.stop()));
        return [this, results] {
            const bool cancelled = job.cancelRequested() || results->report.cancelled;
            runReported(&window, [&] { showResults(std::move(*results), cancelled); });
        };
    });
}

void SearchController::stop() {
    const bool wasRunning = job.running();
    job.stop();
    if (!wasRunning) return;
    ui.cancelAction->setEnabled(hooks.batchRunning());
    ui.progressBar->setValue(0);
    ui.statusText->clear();
}

void SearchController::showResults(SearchResults results, bool cancelled) {
    ui.cancelAction->setEnabled(false);
    ui.progressBar->setValue(0);
    if (results.failure) {
        try {
            std::rethrow_exception(results.failure);
        } catch (const std::exception& e) {
            showProblem(errorText(e));
        }
        return;
    }
    if (cancelled) {
        ui.statusText->setText(tr("Search cancelled"));
        return;
    }

    MessageListModel& model = *ui.messageModel;
    if (!searchView) {
        // Where Escape goes back to.
        returnFolder = hooks.listedFolder();
        folderSortColumn = model.sortColumn();
        folderSortDescending = model.sortDescending();
        folderViewTitle = window.windowTitle();
    }
    // The hits come from many folders: no scan of one folder adds to them.
    hooks.replacingRows();
    searchView = true;
    // Best match first until a column is clicked: no column gives the hits' order.
    model.setSortOrder(-1, false);
    model.beginUpdate();
    listed.records = std::move(results.records);
    listed.recordFiles = std::move(results.files);
    model.setFolderTexts(std::move(results.folderPaths));
    model.endUpdate(&listed.records);
    listed.file.clear();
    listed.node = nullptr;
    ui.folderTree->clearSelection();
    ui.folderTree->setCurrentItem(nullptr);
    ui.messageList->setColumnHidden(ColFolder, false);

    const std::size_t shown = listed.records.size();
    const QString count = shown < results.total ? tr("%1 of %2").arg(shown).arg(results.total)
                                                : QString::number(shown);
    window.setWindowTitle(tr("Search results (%1) - %2").arg(count, folderViewTitle));
    QString status =
        shown < results.total
            ? tr("%1 of %n messages found", nullptr, static_cast<int>(results.total)).arg(shown)
            : tr("%n messages found", nullptr, static_cast<int>(shown));
    if (results.report.failures > 0)
        status += tr("; %n could not be indexed", nullptr,
                     static_cast<int>(results.report.failures));
    ui.noResultsText->setText(
        tr("No messages match \"%1\".").arg(ui.searchField->text().trimmed()));
    ui.noResultsText->setVisible(shown == 0);
    ui.statusText->setText(status);
    ui.statusText->setToolTip(QString());
    if (model.rowCount() > 0) {
        ui.messageList->selectionModel()->setCurrentIndex(
            model.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void SearchController::endSearchView() {
    const bool wasShown = searchView;
    searchView = false;
    listed.recordFiles.clear();
    ui.messageList->setColumnHidden(ColFolder, true);
    ui.noResultsText->hide();
    if (!wasShown) return;
    window.setWindowTitle(folderViewTitle);
    ui.messageModel->setSortOrder(folderSortColumn, folderSortDescending);
}

void SearchController::leaveSearchView() {
    job.cancel();                                     // Escape also stops a search under way
    if (!searchView || hooks.batchRunning()) return;  // a batch walks these rows
    const int folder = returnFolder;
    endSearchView();
    ui.statusText->clear();
    if (!hooks.listFolder(folder)) {
        MessageListModel& model = *ui.messageModel;
        model.beginUpdate();
        listed.records.clear();
        model.endUpdate(&listed.records);
    }
}

}  // namespace lumbrook
