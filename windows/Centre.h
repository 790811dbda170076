#pragma once

class QWidget;

namespace lumbrook {

// Places a window in the middle of the desktop (not of the window that opened it),
// as every window of the program opens.
void CentreOnScreen(QWidget& window);

}  // namespace lumbrook
