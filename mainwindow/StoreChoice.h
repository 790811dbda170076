#pragma once

// How the window finds stores and reads them: the stores found on this computer
// on the no-store page and under File > Find stores..., and View > Text encoding,
// the code page a store is read in, remembered per store.

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>

#include "store/MailStore.h"

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

namespace lumbrook {

class FoundStoresPanel;
class MainWindow;

// The store at dir (the registry's without one) in the code page chosen for it
// under View > Text encoding, else in LUMBROOK_CODEPAGE's, else in the one detected.
MailStore openStoreForWindow(std::optional<std::string> dir);

// The code page remembered for a store directory; 0 for none (detected).
int rememberedCodePage(const std::string& dir);
void rememberCodePage(const std::string& dir, int codePage);

// View > Text encoding: "Automatic" and the Windows code pages by their script.
// Choosing one remembers it for the open store and reopens the store in it.
class TextEncodingMenu : public QObject {
    Q_OBJECT

  public:
    TextEncodingMenu(QMenu* viewMenu, std::function<const MailStore&()> currentStore,
                     std::function<void(MailStore)> reopen);

  private:
    void showChoice();

    QMenu* menu = nullptr;
    QActionGroup* choices = nullptr;
    std::function<const MailStore&()> currentStore;
    std::function<void(MailStore)> reopen;
};

// Wires the store finding and the code page choice into window: the panel of
// found stores on the no-store page (placeholder, before its last stretch), File >
// "Find stores..." after openStoreAction, and View > Text encoding. The store
// chosen in either opens in window.
FoundStoresPanel* addStoreChoice(MainWindow& window, QWidget* placeholder,
                                 QAction* openStoreAction);
// The found stores' directories, for the side bar of the Open store dialog.
QList<QUrl> foundStoreUrls(const FoundStoresPanel& panel);

}  // namespace lumbrook
