// The window's speed on a store with a folder of 100,000 messages: start-up to the
// first preview, listing and sorting a folder, rendering a row. Prints wall-clock
// figures; not a pass/fail test.
//
// cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMBROOK_BUILD_BENCH=ON
// cmake --build build/release --target gui_bench && build/release/bin/gui_bench /tmp/lumbrook-gui
//
// usage: gui_bench [STORE_DIR]   (a missing or empty STORE_DIR is written first;
//                                  default: a temporary directory)

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "platform/browser/PageView.h"
#include "store/MailStore.h"
#include "store_bench_folder.h"

namespace fs = std::filesystem;
using namespace lumbrook;

namespace {

double ms(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

template <typename T>
T* child(const QObject& window, const char* name) {
    return window.findChild<T*>(QLatin1String(name));
}

QTreeWidgetItem* findFolder(QTreeWidget& tree, const char* name) {
    // By its name, whatever count follows it.
    const auto items = tree.findItems(
        QStringLiteral("^%1( \\(.*\\))?$").arg(QLatin1String(name)),
        Qt::MatchRegularExpression | Qt::MatchRecursive);
    return items.isEmpty() ? nullptr : items.front();
}

// A click on a folder, as the user lists it.
void clickFolder(QTreeWidget& tree, QTreeWidgetItem* item) {
    tree.scrollToItem(item);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(item).center());
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer process;
    process.start();
    std::setlocale(LC_ALL, "");
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // A first start each time, and the user's own recent stores left alone.
    const std::string config = (fs::temp_directory_path() / "lumbrook-gui-bench-config").string();
    fs::remove_all(config);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumbrook"));

    const std::string store =
        argc > 1 ? argv[1] : (fs::temp_directory_path() / "lumbrook-gui-bench").string();
    fs::create_directories(store);
    if (!fs::exists(fs::path(store) / "Folders.dbx")) {
        std::printf("writing the store into %s ...\n", store.c_str());
        writeBenchStore(
            store,
            {parseBenchFolderPlan("Inbox:100000:20:20-200"), parseBenchFolderPlan("Small:50")}, 1);
    }
    const std::string programDir =
        (fs::temp_directory_path() / "lumbrook-gui-bench-program").string();
    fs::create_directories(programDir + "/template");
    for (const char* name : {"plain.htm", "styled.htm", "heading.htm"}) {
        const fs::path from = fs::path(LUMBROOK_TEMPLATE_DIR) / name;
        if (fs::exists(from))
            fs::copy_file(from, fs::path(programDir) / "template" / name,
                          fs::copy_options::overwrite_existing);
    }
    fs::remove(fs::path(programDir) / "options.dat");
    const AppPaths paths = AppPaths::forProgram(programDir);

    // Start-up: the window with its first folder listed and first message rendered,
    // then until the view has loaded the page.
    QElapsedTimer t;
    t.start();
    auto form = std::make_unique<MainWindow>(MailStore(store), paths);
    const double created = ms(t);
    auto* tree = child<QTreeWidget>(*form, "folderTree");
    auto* list = child<QTreeView>(*form, "messageList");
    auto* model = static_cast<MessageListModel*>(list->model());
    QSignalSpy loaded(child<PageView>(*form, "pageView"), &PageView::downloadComplete);
    form->show();
    if (loaded.isEmpty()) loaded.wait(30000);
    const double firstPage = ms(t);
    const int rows = model->rowCount();
    std::printf("folder at start-up: %s, %d rows\n", form->folderFile().c_str(), rows);
    std::printf("start-up: window with list and rendered first message  %8.1f ms\n", created);
    std::printf("start-up: until the view has loaded the first page      %8.1f ms\n", firstPage);
    std::printf("process start to first page                             %8.1f ms\n", ms(process));
    // The other folders' counts come from a background read of their indexes.
    QTreeWidgetItem* smallFolder = findFolder(*tree, "Small");
    while (smallFolder && !smallFolder->text(0).contains(QLatin1Char('(')) && ms(t) < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("start-up: until every folder shows its count            %8.1f ms\n", ms(t));

    // Folder clicks: list and sort the big folder (coming from a small one).
    QTreeWidgetItem* big = findFolder(*tree, "Inbox");
    QTreeWidgetItem* small = findFolder(*tree, "Small");
    std::vector<double> lists, paints;
    for (int i = 0; i < 5 && big && small; ++i) {
        clickFolder(*tree, small);
        QApplication::processEvents();
        t.restart();
        clickFolder(*tree, big);
        lists.push_back(ms(t));
        QApplication::processEvents();  // the list paints its first screen
        paints.push_back(ms(t));
    }
    std::printf("folder click: list and sort %d messages (median of 5)  %8.1f ms\n",
                model->rowCount(), median(lists));
    std::printf("folder click: ... and the first screen painted          %8.1f ms\n",
                median(paints));

    // Heading clicks on the big list.
    for (int column : {ColSubject, ColFrom, ColDate}) {
        t.restart();
        emit list->header()->sectionClicked(column);
        std::printf("heading click on column %d                               %8.1f ms\n", column,
                    ms(t));
    }
    emit list->header()->sectionClicked(ColDate);  // back to newest first

    // Row clicks: the handler (read, parse, render, write, navigate) for rows spread
    // over the list, and the view's load after it.
    std::vector<double> renders, views;
    QItemSelectionModel* selection = list->selectionModel();
    for (int i = 1; i <= 40; ++i) {
        const int row = static_cast<int>(static_cast<long long>(rows) * i / 41);
        loaded.clear();
        t.restart();
        selection->select(model->index(row, 0),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        renders.push_back(ms(t));
        if (loaded.isEmpty()) loaded.wait(10000);
        views.push_back(ms(t));
    }
    std::printf("row click: render the message (median of 40)            %8.1f ms (max %.1f)\n",
                median(renders), *std::max_element(renders.begin(), renders.end()));
    std::printf("row click: ... until the view has loaded it (median)    %8.1f ms\n",
                median(views));

    t.restart();
    child<QAction>(*form, "selectAllAction")->trigger();
    std::printf("select all %d rows                                  %8.1f ms\n", rows, ms(t));
    form.reset();
    return 0;
}
