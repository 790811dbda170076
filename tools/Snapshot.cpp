// Developer tool, not a test: opens the window on a store the way the program does,
// waits for the first preview and saves pictures of the window, the about box, the
// save/export dialog, the message window, the page setup and the progress bar in
// the middle of an export (into a scratch directory under OUT_DIR).
//
// usage: lumbrook-gui-snapshot STORE_DIR OUT_DIR [ROW]   (ROW: a row to click first)

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTemporaryDir>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTreeView>
#include <cstdio>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/WindowLanguage.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/MessagePrinter.h"
#include "mainwindow/Modal.h"
#include "platform/browser/Printing.h"
#include "platform/browser/PageView.h"
#include "store/MailStore.h"
#include "windows/AboutDialog.h"
#include "windows/SaveExportDialog.h"
#include "windows/MessageWindow.h"
#include "tools/ToolStart.h"

namespace {
template <typename T>
T* child(const QObject& window, const char* name) {
    return window.findChild<T*>(QLatin1String(name));
}
}  // namespace

int main(int argc, char** argv) {
    const auto app = lumbrook::startTool(argc, argv, 2, "STORE_DIR OUT_DIR [ROW]");
    if (!app) return 2;
    // In the language of LC_ALL / LC_MESSAGES / LANG, as the program speaks it.
    lumbrook::installWindowLanguage(QLocale::system());
    const QString out = QString::fromLocal8Bit(argv[2]);
    // The window as a first start shows it: no layout or recent stores remembered.
    QTemporaryDir config;
    ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);

    lumbrook::MainWindow form{lumbrook::MailStore(argv[1])};
    lumbrook::MessageWindow showMail;
    lumbrook::SaveExportDialog saveExportDialog;
    form.setMessageWindow(&showMail);
    form.setSaveExportDialog(&saveExportDialog);
    auto* list = child<QTreeView>(form, "messageList");
    form.resize(1024, 600);  // the smallest screen the window is made for
    QSignalSpy loaded(child<lumbrook::PageView>(form, "pageView"),
                      &lumbrook::PageView::downloadComplete);
    form.show();
    if (loaded.isEmpty()) loaded.wait(10000);
    if (argc > 3) {
        const int row = std::atoi(argv[3]);
        const QRect rect = list->visualRect(list->model()->index(row, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        loaded.wait(10000);
    }
    QTest::qWait(700);
    form.grab().save(out + "/window.png");

    // The File menu, open.
    if (auto* file = child<QMenu>(form, "fileMenu")) {
        file->popup(form.mapToGlobal(QPoint(0, form.menuBar()->height())));
        QTest::qWait(300);
        file->grab().save(out + "/menu.png");
        file->hide();
    }

    // A first start that finds no store: the window explains, no error.
    {
        QTemporaryDir nothing;
        ::setenv("LUMBROOK_REGISTRY", (nothing.path() + "/user.reg").toLocal8Bit().constData(), 1);
        const auto reporter = lumbrook::setErrorReporter([](QWidget*, const QString& text) {
            std::printf("error: %s\n", qPrintable(text));
        });
        lumbrook::MainWindow empty{lumbrook::openStore(std::nullopt)};
        empty.resize(1024, 600);
        empty.show();
        QTest::qWait(500);
        empty.grab().save(out + "/no-store.png");
        lumbrook::setErrorReporter(reporter);
    }

    // The picture list at four times its size, for a close look at the artwork.
    QImage sheet(lumbrook::ImageCount * 72, 72, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    {
        QPainter p(&sheet);
        for (int i = 0; i < lumbrook::ImageCount; ++i)
            p.drawPixmap(QRect(i * 72 + 4, 4, 64, 64), form.iconSet().picture(i));
    }
    sheet.save(out + "/icons.png");

    lumbrook::AboutDialog about;
    about.show();
    QTest::qWait(300);
    about.grab().save(out + "/about.png");
    about.close();

    // The dialogs are shown without their own event loop and pictured.
    lumbrook::setModalHook([&](QDialog& dialog) {
        if (&dialog == &saveExportDialog) {
            saveExportDialog.directoryEdit->setText(out + "/export");
            return int(QDialog::Accepted);
        }
        dialog.show();
        if (&dialog == &showMail) {
            QSignalSpy page(showMail.pageView, &lumbrook::PageView::downloadComplete);
            page.wait(10000);
        }
        QTest::qWait(500);
        dialog.grab().save(out + (&dialog == &showMail ? "/showmail.png" : "/dialog.png"));
        dialog.hide();
        return int(QDialog::Rejected);
    });
    saveExportDialog.show();
    saveExportDialog.directoryEdit->setText(QStringLiteral("/home/user/Mail export"));
    QTest::qWait(300);
    saveExportDialog.grab().save(out + "/export.png");
    saveExportDialog.hide();
    emit list->doubleClicked(list->currentIndex());
    lumbrook::PageLayoutDialog pageSetup(form.printer().setup().pageLayout());
    pageSetup.show();
    QTest::qWait(300);
    pageSetup.grab().save(out + "/pagesetup.png");
    pageSetup.hide();

    // The whole window halfway through an export of every message.
    bool pictured = false;
    QObject::connect(child<QProgressBar>(form, "progressBar"), &QProgressBar::valueChanged,
                     [&](int value) {
                         if (pictured || value < 40) return;
                         pictured = true;
                         form.grab().save(out + "/progress.png");
                         form.statusBar()->grab().save(out + "/progress-bar.png");
                     });
    lumbrook::setMessageBoxHook(
        [](QWidget*, QMessageBox::Icon, const QString& caption, const QString& text) {
            std::printf("%s: %s\n", qPrintable(caption), qPrintable(text));
        });
    child<QAction>(form, "selectAllAction")->trigger();
    child<QAction>(form, "exportAction")->trigger();
    lumbrook::setModalHook({});
    return 0;
}
