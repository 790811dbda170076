#include "mainwindow/StoreChoice.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QVBoxLayout>
#include <QVariantMap>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/Modal.h"
#include "mainwindow/WindowSettings.h"
#include "windows/FoundStoresPanel.h"

namespace lumbrook {

namespace {

const QString CodePagesKey = QStringLiteral("storeCodePages");

QString settingsKeyOf(const std::string& dir) {
    return QDir::cleanPath(
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(dir))).absoluteFilePath());
}

struct Encoding {
    int codePage;
    const char* name;
};

const Encoding Encodings[] = {
    {1252, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Western (Windows-1252)")},
    {1250, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Central European (Windows-1250)")},
    {1251, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Cyrillic (Windows-1251)")},
    {1253, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Greek (Windows-1253)")},
    {1254, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Turkish (Windows-1254)")},
    {1257, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Baltic (Windows-1257)")},
    {1255, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Hebrew (Windows-1255)")},
    {1256, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Arabic (Windows-1256)")},
    {1258, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Vietnamese (Windows-1258)")},
    {874, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Thai (Windows-874)")},
    {932, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Japanese (Shift JIS)")},
    {936, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Chinese Simplified (GBK)")},
    {949, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Korean (Windows-949)")},
    {950, QT_TRANSLATE_NOOP("lumbrook::TextEncodingMenu", "Chinese Traditional (Big5)")},
};

}  // namespace

int rememberedCodePage(const std::string& dir) {
    return windowSettings().value(CodePagesKey).toMap().value(settingsKeyOf(dir)).toInt();
}

void rememberCodePage(const std::string& dir, int codePage) {
    QSettings settings = windowSettings();
    QVariantMap pages = settings.value(CodePagesKey).toMap();
    if (codePage == 0)
        pages.remove(settingsKeyOf(dir));
    else
        pages.insert(settingsKeyOf(dir), codePage);
    settings.setValue(CodePagesKey, pages);
}

MailStore openStoreForWindow(std::optional<std::string> dir) {
    if (dir) {
        if (const int chosen = rememberedCodePage(*dir))
            return openStore(std::move(dir), CodePage::fromSetting(std::to_string(chosen)));
    }
    return openStoreDetectingCodePage(std::move(dir));
}

TextEncodingMenu::TextEncodingMenu(QMenu* viewMenu, std::function<const MailStore&()> currentStore,
                                   std::function<void(MailStore)> reopen)
    : QObject(viewMenu), currentStore(std::move(currentStore)), reopen(std::move(reopen)) {
    menu = viewMenu->addMenu(tr("Text &encoding"));
    menu->setObjectName(QStringLiteral("textEncodingMenu"));
    choices = new QActionGroup(menu);
    const auto add = [&](int codePage, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setCheckable(true);
        action->setData(codePage);
        choices->addAction(action);
    };
    add(0, tr("Automatic"));
    menu->addSeparator();
    for (const Encoding& e : Encodings) add(e.codePage, tr(e.name));
    connect(menu, &QMenu::aboutToShow, this, [this] { showChoice(); });
    connect(choices, &QActionGroup::triggered, this, [this](QAction* action) {
        const MailStore& store = this->currentStore();
        if (store.directory().empty()) return;
        const int codePage = action->data().toInt();
        rememberCodePage(store.directory(), codePage);
        this->reopen(openStoreForWindow(store.directory()));
    });
}

void TextEncodingMenu::showChoice() {
    const MailStore& store = currentStore();
    const int remembered = store.directory().empty() ? 0 : rememberedCodePage(store.directory());
    for (QAction* action : choices->actions()) {
        action->setEnabled(!store.directory().empty());
        action->setChecked(action->data().toInt() == remembered);
        // The page in use, detected or set, is named beside "Automatic".
        if (action->data().toInt() == 0)
            action->setText(
                remembered
                    ? tr("Automatic")
                    : tr("Automatic (%1)").arg(QString::fromStdString(store.codePage().name())));
    }
}

FoundStoresPanel* addStoreChoice(MainWindow& window, QWidget* placeholder,
                                 QAction* openStoreAction) {
    const auto open = [&window](const QString& dir) {
        runReported(&window, [&] {
            window.openStore(openStoreForWindow(QFile::encodeName(dir).toStdString()));
        });
    };
    auto* panel = new FoundStoresPanel(placeholder);
    panel->setObjectName(QStringLiteral("foundStores"));
    if (auto* layout = qobject_cast<QVBoxLayout*>(placeholder->layout()))
        layout->insertWidget(layout->count() - 1, panel, 2);
    QObject::connect(panel, &FoundStoresPanel::storeChosen, placeholder, open);

    auto* fileMenu = window.findChild<QMenu*>(QStringLiteral("fileMenu"));
    auto* findAction = new QAction(FoundStoresPanel::tr("Find stores..."), fileMenu);
    findAction->setObjectName(QStringLiteral("findStoresAction"));
    const auto actions = fileMenu->actions();
    const int at = actions.indexOf(openStoreAction);
    fileMenu->insertAction(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr,
                           findAction);
    QObject::connect(findAction, &QAction::triggered, placeholder, [panel, &window, open] {
        FindStoresDialog dialog(panel->stores(), &window);
        showModal(dialog);
        panel->addStores(dialog.panel()->stores());
        if (!dialog.chosenStore().isEmpty()) open(dialog.chosenStore());
    });

    new TextEncodingMenu(
        window.findChild<QMenu*>(QStringLiteral("viewMenu")),
        [&window]() -> const MailStore& { return window.dbxStore(); },
        [&window](MailStore reread) { window.openStore(std::move(reread)); });
    return panel;
}

QList<QUrl> foundStoreUrls(const FoundStoresPanel& panel) {
    QList<QUrl> urls;
    for (const FoundStore& found : panel.stores())
        urls << QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(found.path)));
    return urls;
}

}  // namespace lumbrook
