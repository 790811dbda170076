#include "windows/FoundStoresPanel.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimeZone>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

namespace lumbrook {

namespace {

enum Column { ColName, ColMessages, ColDates, ColPath };

QString fromLocal(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString dateOf(std::uint64_t fileTime) {
    constexpr std::uint64_t UnixEpochAsFileTime = 116444736000000000ull;
    if (fileTime < UnixEpochAsFileTime) return {};
    const auto seconds = static_cast<qint64>((fileTime - UnixEpochAsFileTime) / 10000000);
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()).date(),
                              QLocale::ShortFormat);
}

}  // namespace

std::vector<std::string> usualStoreSearchPlaces() {
    // Set, even empty, it replaces the usual places: tests look nowhere else.
    if (const char* places = std::getenv("LUMBROOK_STORE_SEARCH_PATH")) {
        std::vector<std::string> roots;
        for (const QString& place :
             QString::fromLocal8Bit(places).split(QLatin1Char(':'), Qt::SkipEmptyParts))
            roots.push_back(QFile::encodeName(place).toStdString());
        return roots;
    }
    return defaultStoreSearchRoots();
}

QString foundStoreTitle(const FoundStore& store) {
    const QString identity = QString::fromStdString(store.identity);
    const QString user = QString::fromStdString(store.user);
    if (!identity.isEmpty() && !user.isEmpty())
        return FoundStoresPanel::tr("%1 (%2)").arg(identity, user);
    if (!identity.isEmpty()) return identity;
    if (!user.isEmpty()) return FoundStoresPanel::tr("Store of %1").arg(user);
    return QDir(fromLocal(store.path)).dirName();
}

FoundStoresPanel::FoundStoresPanel(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("foundStoresStatus"));
    status->setWordWrap(true);
    list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("foundStoresList"));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setHeaderLabels({tr("Store"), tr("Messages"), tr("Dates"), tr("Directory")});
    list->header()->setStretchLastSection(true);
    list->setColumnWidth(ColName, 220);
    list->setColumnWidth(ColMessages, 80);
    list->setColumnWidth(ColDates, 170);
    list->setVisible(false);
    connect(list, &QTreeWidget::itemActivated, this, [this] { openSelected(); });

    auto* buttons = new QHBoxLayout;
    openButton = new QPushButton(tr("Open"), this);
    openButton->setObjectName(QStringLiteral("openFoundStoreButton"));
    openButton->setEnabled(false);
    auto* findButton = new QPushButton(tr("Find stores..."), this);
    findButton->setObjectName(QStringLiteral("findStoresButton"));
    connect(openButton, &QPushButton::clicked, this, [this] { openSelected(); });
    connect(findButton, &QPushButton::clicked, this, [this] { findStoresInChosenDirectory(); });
    connect(list, &QTreeWidget::itemSelectionChanged, this,
            [this] { openButton->setEnabled(!list->selectedItems().isEmpty()); });
    buttons->addStretch(1);
    buttons->addWidget(openButton);
    buttons->addWidget(findButton);

    column->addWidget(status);
    column->addWidget(list, 1);
    column->addLayout(buttons);
}

void FoundStoresPanel::searchUsualPlaces() {
    const std::vector<std::string> places = usualStoreSearchPlaces();
    if (places.empty()) return;
    status->setText(tr("Looking for stores on mounted disks and in Wine..."));
    job.start([this, places](const BackgroundJob::Context& context) -> std::function<void()> {
        auto result = std::make_shared<FindResult>(findStores(places, {}, context.stop()));
        return [this, result] {
            addStores(result->stores);
            if (found.empty())
                status->setText(tr("No store was found on mounted disks or in Wine."));
        };
    });
}

void FoundStoresPanel::findStoresInChosenDirectory() {
    const QString dir = QFileDialog::getExistingDirectory(
        this, tr("Find stores in"), QDir::homePath(), QFileDialog::DontUseNativeDialog);
    if (!dir.isEmpty()) findStoresIn(dir);
}

bool FoundStoresPanel::findStoresIn(const QString& dir) {
    QProgressDialog progress(tr("Looking for stores in %1...").arg(dir), tr("Cancel"), 0, 0, this);
    progress.setObjectName(QStringLiteral("findStoresProgress"));
    progress.setWindowTitle(tr("Find stores"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    BackgroundJob scan;
    QEventLoop waiting;
    FindResult result;
    connect(&scan, &BackgroundJob::finished, &waiting, &QEventLoop::quit);
    connect(&progress, &QProgressDialog::canceled, &scan, &BackgroundJob::cancel);
    const std::string root = QFile::encodeName(dir).toStdString();
    scan.start([&](const BackgroundJob::Context& context) -> std::function<void()> {
        result = findStores(
            {root},
            [&](const FindProgress& p) {
                const QString text = tr("%1 directories, %2 files read, %3 stores found")
                                         .arg(p.directories)
                                         .arg(p.files)
                                         .arg(p.storesFound);
                context.deliver([&progress, text] { progress.setLabelText(text); });
            },
            context.stop());
        return {};
    });
    waiting.exec();
    progress.reset();
    addStores(result.stores);
    if (result.cancelled)
        status->setText(tr("Stopped: the stores found so far are listed."));
    else if (result.stores.empty())
        status->setText(tr("No store was found in %1.").arg(dir));
    return !result.cancelled;
}

void FoundStoresPanel::addStores(const std::vector<FoundStore>& stores) {
    for (const FoundStore& s : stores) {
        const bool known = std::any_of(found.begin(), found.end(),
                                       [&](const FoundStore& f) { return f.path == s.path; });
        if (!known) found.push_back(s);
    }
    showStores();
    emit storesChanged();
}

void FoundStoresPanel::showStores() {
    list->clear();
    for (const FoundStore& s : found) {
        auto* item = new QTreeWidgetItem(list);
        item->setText(ColName, foundStoreTitle(s));
        item->setText(ColMessages, QLocale().toString(static_cast<qulonglong>(s.messages)));
        item->setTextAlignment(ColMessages, Qt::AlignRight | Qt::AlignVCenter);
        const QString first = dateOf(s.firstDate), last = dateOf(s.lastDate);
        item->setText(ColDates, first == last ? first : tr("%1 to %2").arg(first, last));
        item->setText(ColPath, fromLocal(s.path));
        item->setToolTip(ColPath, fromLocal(s.path));
        item->setData(ColName, Qt::UserRole, fromLocal(s.path));
    }
    list->setVisible(!found.empty());
    if (!found.empty())
        status->setText(tr("Stores found on this computer: double-click one to open it."));
}

void FoundStoresPanel::openSelected() {
    const auto items = list->selectedItems();
    if (items.isEmpty()) return;
    emit storeChosen(items.front()->data(ColName, Qt::UserRole).toString());
}

FindStoresDialog::FindStoresDialog(const std::vector<FoundStore>& known, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("findStoresDialog"));
    setWindowTitle(tr("Find stores"));
    resize(760, 360);
    auto* column = new QVBoxLayout(this);
    storesPanel = new FoundStoresPanel(this);
    storesPanel->addStores(known);
    column->addWidget(storesPanel);
    connect(storesPanel, &FoundStoresPanel::storeChosen, this, [this](const QString& path) {
        chosen = path;
        accept();
    });
}

}  // namespace lumbrook
