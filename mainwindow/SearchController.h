#pragma once

// The window's search: the query in the tool bar's field runs off the window's
// thread (StoreSearch: the index brought up to date, then asked), the window stays
// usable meanwhile, and the hits replace the folder's rows, each knowing the folder
// file it comes from, until Escape or a folder click brings the folder back.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "search/StoreSearch.h"
#include "windows/BackgroundJob.h"

class QMainWindow;

namespace lumbrook {

class MainWindowWidgets;
struct ListedMessages;

class SearchController : public QObject {
    Q_OBJECT

  public:
    // What the search asks of the window.
    struct Window {
        std::function<bool()> batchRunning;
        std::function<bool()> storeEmpty;
        // The index of the folder listed, -1 for none.
        std::function<int()> listedFolder;
        // Lists a folder again, as a click on it does; false when there is no such folder.
        std::function<bool(int folder)> listFolder;
        // The hits are about to replace the rows: what belongs to the rows goes.
        std::function<void()> replacingRows;
    };

    SearchController(QMainWindow& window, MainWindowWidgets& ui, const MailStore& store,
                     ListedMessages& listed, Window hooks);

    // Whether the list shows search results rather than a folder.
    bool showingResults() const { return searchView; }
    bool running() const { return job.running(); }
    // Asks a running search to end; it says it was cancelled.
    void cancel() { job.cancel(); }
    // Stops a running search and forgets what it would find (a store change, closing).
    void stop();
    // The folder view's state again (columns, order, title), the list left as it is.
    void endSearchView();

  private:
    void onSearch();
    void showResults(SearchResults results, bool cancelled);
    void leaveSearchView();
    void showProblem(const QString& problem);

    QMainWindow& window;
    MainWindowWidgets& ui;
    const MailStore& store;
    ListedMessages& listed;
    Window hooks;
    bool searchView = false;
    // The folder and order to go back to.
    int returnFolder = -1;
    std::int32_t folderSortColumn = 0;
    bool folderSortDescending = true;
    QString folderViewTitle;
    BackgroundJob job;
};

}  // namespace lumbrook
