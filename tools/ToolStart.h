#pragma once

// The start-up the developer tools share with the program: the user's locale for
// the list's date texts, the web engine's sandbox off for root, and the
// application object with the program's name.

#include <QApplication>
#include <memory>

namespace lumbrook {

// Creates the application. Usage is printed and false returned when fewer than
// MinArguments arguments follow the program's name.
std::unique_ptr<QApplication> startTool(int& argc, char** argv, int minArguments,
                                        const char* usage);

}  // namespace lumbrook
