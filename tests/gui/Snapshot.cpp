// Developer tool, not a test: opens the window on a store the way the program does,
// waits for the first preview and saves pictures of the window and the about box.
//
// usage: lumbrook-gui-snapshot STORE_DIR OUT_DIR [ROW]   (ROW: a row to click first)

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <clocale>
#include <cstdio>

#include "mainwindow/MainUnit.h"
#include "mainwindow/MessageListModel.h"
#include "platform/browser/WebBrowser.h"
#include "store/oexpress.h"
#include "windows/AboutBoxUnit.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumbrook"));
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s STORE_DIR OUT_DIR [ROW]\n", argv[0]);
        return 2;
    }
    lumbrook::SetStoreRootOverride(std::string(argv[1]));
    const QString out = QString::fromLocal8Bit(argv[2]);

    lumbrook::TMainForm form;
    QSignalSpy loaded(form.WebBrowser1, &lumbrook::TWebBrowser::DownloadComplete);
    form.show();
    if (loaded.isEmpty()) loaded.wait(10000);
    if (argc > 3) {
        const int row = std::atoi(argv[3]);
        QTreeView* list = form.ListView1;
        const QRect rect = list->visualRect(form.ListModel->index(row, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        loaded.wait(10000);
    }
    QTest::qWait(700);
    form.grab().save(out + "/window.png");

    // The picture list at four times its size, for a close look at the artwork.
    QImage sheet(10 * 72, 72, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    {
        QPainter p(&sheet);
        for (int i = 0; i < lumbrook::ImageCount; ++i)
            p.drawPixmap(QRect(i * 72 + 4, 4, 64, 64), form.ImageList1.Picture(i));
    }
    sheet.save(out + "/icons.png");

    lumbrook::TAboutBox about;
    about.show();
    QTest::qWait(300);
    about.grab().save(out + "/about.png");
    about.close();
    return 0;
}
