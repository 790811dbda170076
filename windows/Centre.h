#pragma once

class QWidget;

namespace lumbrook {

// Places a window in the middle of the desktop (not of the window that opened it),
// as every window of the program opens.
void centreOnScreen(QWidget& window);

}  // namespace lumbrook
