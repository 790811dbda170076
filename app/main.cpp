// lumbrook: the desktop program. One optional argument, the store directory; without
// it the store is found as Outlook Express finds it (the registry).

#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QStringList>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mainwindow/MainWindow.h"
#include "mainwindow/StoreChoice.h"
#include "mainwindow/WindowLanguage.h"
#include "platform/CodePage.h"
#include "store/MailStore.h"
#include "windows/AboutDialog.h"
#include "windows/SaveExportDialog.h"
#include "windows/MessageWindow.h"

namespace {

const char* const Usage =
    "usage: lumbrook [STORE_DIR | FILE.dbx]\n"
    "       lumbrook --help | --version\n"
    "\n"
    "Shows the mail of an Outlook Express 5/6 store: the directory that holds\n"
    "Folders.dbx and a .dbx file for each folder (any .dbx file in it names it too).\n"
    "Without an argument the store the registry names is opened; File > Open store...\n"
    "opens another one. The store is only read, never changed.\n";

// Ctrl+C in the terminal, or a polite kill, closes the window as its close box does,
// so the options are saved and the working files deleted. The handler only writes
// to a pipe; the event loop does the rest.
int quitPipe[2] = {-1, -1};

void onQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(quitPipe[1], &byte, 1);
}

void closeOnQuitSignals(QWidget& window) {
    if (::pipe(quitPipe) != 0) return;
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        [[maybe_unused]] const auto got = ::read(quitPipe[0], &byte, 1);
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window system is asked for: they work without a display.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("%s", Usage);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("lumbrook %s\n", LUMBROOK_VERSION);
        return 0;
    }
    // The list's date texts follow the user's locale.
    std::setlocale(LC_ALL, "");
    // The web engine refuses to start as root with its sandbox on; sessions in
    // containers and CI run as root.
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumbrook"));
    QApplication::setApplicationVersion(QStringLiteral(LUMBROOK_VERSION));
    // The window speaks the user's language (LC_ALL, LC_MESSAGES, LANG), before
    // anything shows a text.
    lumbrook::installWindowLanguage(QLocale::system());

    const QStringList args = QApplication::arguments();
    if (args.size() > 2 || (args.size() == 2 && args[1].startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "%s", Usage);
        return 2;
    }
    std::optional<std::string> storeDir;
    if (args.size() == 2) {
        const std::string dir = lumbrook::MainWindow::storeDirectoryOf(args[1]);
        // A path that is neither is opened as given, and the window says why it cannot be read.
        storeDir = dir.empty() ? args[1].toStdString() : dir;
    }

    // A code page the system cannot convert is said once; the store is then read
    // as Windows-1252, which is what the setting falls back to.
    std::string codePageProblem;
    lumbrook::CodePage::fromEnvironment(&codePageProblem);
    if (!codePageProblem.empty()) {
        QMessageBox::warning(
            nullptr, QStringLiteral("Lumbrook"),
            QCoreApplication::translate("main", "%1: the store is read as Windows-1252.")
                .arg(QString::fromStdString(codePageProblem)));
    }

    // The main window first (closing it ends the program), then the secondary
    // windows, which stay hidden until shown and live until the end.
    lumbrook::MainWindow mainForm(lumbrook::openStoreForWindow(storeDir));
    lumbrook::MessageWindow messageWindow;
    lumbrook::SaveExportDialog saveExportDialog;
    lumbrook::AboutDialog aboutDialog;
    mainForm.setMessageWindow(&messageWindow);
    mainForm.setSaveExportDialog(&saveExportDialog);
    mainForm.setAboutDialog(&aboutDialog);
    closeOnQuitSignals(mainForm);
    mainForm.show();
    return app.exec();
}
