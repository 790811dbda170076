#pragma once

#include <QSettings>

namespace lumbrook {

// The settings the window keeps between sessions (size, position, splitters, column
// widths, recent stores, the switches of its menus), in the user's configuration
// directory; options.dat keeps the preview options as before.
QSettings windowSettings();

}  // namespace lumbrook
