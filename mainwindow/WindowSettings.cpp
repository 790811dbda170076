#include "mainwindow/WindowSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMainWindow>
#include <QScreen>
#include <QTreeView>
#include <algorithm>

#include "mainwindow/Controls.h"
#include "mainwindow/ListRatio.h"
#include "mainwindow/MainWindowWidgets.h"
#include "mainwindow/MessageListModel.h"
#include "platform/Files.h"
#include "windows/Centre.h"

namespace lumbrook {

QSettings windowSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Lumbrook"),
                     QStringLiteral("window"));
}

std::int32_t restoreWindowLayout(QMainWindow& window, MainWindowWidgets& ui) {
    QSettings settings = windowSettings();
    const QByteArray geometry = settings.value(QStringLiteral("geometry")).toByteArray();
    if (geometry.isEmpty() || !window.restoreGeometry(geometry)) {
        // All four columns and the tree on a 1280 x 800 screen, less on a smaller one.
        QSize size(1120, 720);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            size = size.boundedTo(screen->availableGeometry().size() * 0.95);
        window.resize(size);
        centreOnScreen(window);
    }
    ui.mainSplitter->restoreState(settings.value(QStringLiteral("folderSplitter")).toByteArray());
    QHeaderView* header = ui.messageList->header();
    header->restoreState(settings.value(QStringLiteral("listColumns")).toByteArray());
    // A layout saved by an older version has no stretching subject and a sort
    // indicator of its own: the window's own rules and the list's order win.
    header->setSectionResizeMode(ColSubject, QHeaderView::Stretch);
    header->setSortIndicator(ui.messageModel->sortColumn(), ui.messageModel->sortDescending()
                                                                ? Qt::DescendingOrder
                                                                : Qt::AscendingOrder);
    const int ratio = settings.value(QStringLiteral("listRatio"), 50).toInt();
    return std::clamp(ratio, MinListRatio, MaxListRatio);
}

void saveWindowLayout(const QMainWindow& window, const MainWindowWidgets& ui,
                      std::int32_t listRatio) {
    QSettings settings = windowSettings();
    settings.setValue(QStringLiteral("geometry"), window.saveGeometry());
    settings.setValue(QStringLiteral("folderSplitter"), ui.mainSplitter->saveState());
    settings.setValue(QStringLiteral("listColumns"), ui.messageList->header()->saveState());
    settings.setValue(QStringLiteral("listRatio"), listRatio);
}

QStringList recentStores() {
    return windowSettings().value(QStringLiteral("recentStores")).toStringList();
}

void rememberRecentStore(const QString& dir) {
    QStringList recent = recentStores();
    recent.removeAll(dir);
    recent.prepend(dir);
    while (recent.size() > MaxRecentStores) recent.removeLast();
    windowSettings().setValue(QStringLiteral("recentStores"), recent);
}

std::string storePathOf(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) return QFile::encodeName(info.absoluteFilePath()).toStdString();
    if (!info.isFile() || info.suffix().compare(QLatin1String("dbx"), Qt::CaseInsensitive) != 0)
        return {};
    // A folder file with no folder list beside it is a store of its own.
    const std::string dir = QFile::encodeName(info.absolutePath()).toStdString();
    const bool isFolderList =
        info.fileName().compare(QLatin1String("folders.dbx"), Qt::CaseInsensitive) == 0;
    if (isFolderList || findEntry(dir, {"folders.dbx"})) return dir;
    return QFile::encodeName(info.absoluteFilePath()).toStdString();
}

}  // namespace lumbrook
