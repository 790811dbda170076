#pragma once

// How the window finds stores and reads them: the stores found on this computer
// on the no-store page and under File > Find stores..., and View > Text encoding,
// the code page a store is read in, remembered per store.

#include <QObject>
#include <QString>
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

// The panel of found stores on the no-store page (placeholder), before its last
// stretch, and File > "Find stores..." (fileMenu, after openStoreAction); open is
// called with the store chosen in either.
FoundStoresPanel* addStoreFinding(QWidget* placeholder, QMenu* fileMenu, QAction* openStoreAction,
                                  std::function<void(const QString&)> open);

}  // namespace lumbrook
