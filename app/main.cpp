// lumbrook: the desktop program. One optional argument, the store directory; without
// it the store is found as Outlook Express finds it (the registry).

#include <unistd.h>

#include <QApplication>
#include <QStringList>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "mainwindow/MainUnit.h"
#include "store/oexpress.h"
#include "windows/AboutBoxUnit.h"

int main(int argc, char** argv) {
    // The list's date texts follow the user's locale.
    std::setlocale(LC_ALL, "");
    // The web engine refuses to start as root with its sandbox on; sessions in
    // containers and CI run as root.
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumbrook"));

    const QStringList args = QApplication::arguments();
    if (args.size() > 2 || (args.size() == 2 && args[1].startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "usage: lumbrook [STORE_DIR]\n");
        return 2;
    }
    if (args.size() == 2) lumbrook::SetStoreRootOverride(args[1].toStdString());

    lumbrook::TMainForm MainForm;
    lumbrook::TAboutBox AboutBox;
    MainForm.SetAboutBox(&AboutBox);
    MainForm.show();
    return app.exec();
}
