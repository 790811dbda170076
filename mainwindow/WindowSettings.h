#pragma once

// What the window keeps between sessions (size, position, splitters, column
// widths, the list's share of its panel, recent stores, the switches of its
// menus), in the user's configuration directory; options.dat keeps the preview
// options as before.

#include <QSettings>
#include <QStringList>
#include <cstdint>
#include <string>

class QMainWindow;

namespace lumbrook {

class MainWindowWidgets;

// How many stores "Open recent" offers.
inline constexpr int MaxRecentStores = 8;

QSettings windowSettings();

// The window's size and position, the splitter and the list's columns as they
// were left, and the list's share of its panel; the window centred on the screen
// the first time.
std::int32_t restoreWindowLayout(QMainWindow& window, MainWindowWidgets& ui);
void saveWindowLayout(const QMainWindow& window, const MainWindowWidgets& ui,
                      std::int32_t listRatio);

// The stores opened last, most recent first.
QStringList recentStores();
// Puts a store directory first among the recent ones.
void rememberRecentStore(const QString& dir);

// The store a chosen, dropped or named path stands for: a directory itself, a .dbx
// file's directory when it holds a folder list, else the folder file alone; empty
// for anything else.
std::string storePathOf(const QString& path);

}  // namespace lumbrook
