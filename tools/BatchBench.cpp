// Developer tool, not a test: how fast the window saves and exports a folder of
// many messages, batch frame, progress bar and dialog included (the dialog and
// the boxes answered at once). Writes a store of COUNT messages into WORK_DIR,
// then saves and exports all of them from the window and prints messages per second.
//
// usage: lumbrook-gui-batch-bench WORK_DIR [COUNT]   (WORK_DIR is emptied first)

#include <QAction>
#include <QElapsedTimer>
#include <QRadioButton>
#include <cstdio>
#include <filesystem>
#include <string>

#include "mainwindow/MainWindow.h"
#include "mainwindow/Modal.h"
#include "store/MailStore.h"
#include "dbxwriter/DbxWriter.h"
#include "tools/ToolStart.h"
#include "windows/SaveExportDialog.h"

namespace fs = std::filesystem;
using namespace lumbrook;

namespace {

// Mail of a few kilobytes: three in five plain text, the others HTML with a
// quoted-printable body; subjects repeat, so that names collide as they do.
DbxMessage benchMessage(int i) {
    DbxMessage m;
    m.messageId = i + 1;
    m.from = "Sender " + std::to_string(i % 97) + " <s" + std::to_string(i % 97) + "@example.org>";
    m.to = "reader@example.org";
    m.subject = (i % 3 == 0 ? "Re: " : "") + std::string("Report ") + std::to_string(i % 1000);
    m.date = unixTimeToFileTime(1'100'000'000 + std::int64_t{i} * 3607);
    std::string body;
    for (int line = 0; line < 40; ++line) {
        body += "Line " + std::to_string(line) +
                " of the message: the figures for the quarter are attached below.\r\n";
    }
    if (i % 5 < 3) {
        m.rawText = "From: " + m.from + "\r\nTo: " + m.to + "\r\nSubject: " + m.subject +
                    "\r\nContent-Type: text/plain; charset=iso-8859-1\r\n\r\n" + body;
    } else {
        m.rawText = "From: " + m.from + "\r\nTo: " + m.to + "\r\nSubject: " + m.subject +
                    "\r\nContent-Type: text/html; charset=iso-8859-1\r\n"
                    "Content-Transfer-Encoding: quoted-printable\r\n\r\n<html><body><p>" +
                    body + "</p><p>caf=E9 =3D</p></body></html>\r\n";
    }
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    const auto app = startTool(argc, argv, 1, "WORK_DIR [COUNT]");
    if (!app) return 2;
    const fs::path work = fs::absolute(argv[1]);
    const int count = argc > 2 ? std::atoi(argv[2]) : 10000;
    fs::remove_all(work);
    fs::create_directories(work / "store");
    fs::create_directories(work / "program");

    DbxFileOptions folders;
    folders.kind = DbxFileKind::Folders;
    writeDbx((work / "store" / "Folders.dbx").string(),
             {folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
              folderRecord({1, 0, "Local Folders", std::nullopt, false}),
              folderRecord({4, 1, "Inbox", std::string("Inbox.dbx"), true})},
             folders);
    std::vector<DbxRecord> records;
    records.reserve(count);
    for (int i = 0; i < count; ++i) records.push_back(messageRecord(benchMessage(i)));
    writeDbx((work / "store" / "Inbox.dbx").string(), records);
    records.clear();
    MainWindow form(MailStore((work / "store").string()),
                    AppPaths::forProgram((work / "program").string()));
    SaveExportDialog saveExportDialog;
    form.setSaveExportDialog(&saveExportDialog);
    form.show();
    QString target;
    setModalHook([&](QDialog&) {
        saveExportDialog.directoryEdit->setText(target);
        return int(QDialog::Accepted);
    });
    setMessageBoxHook([](QWidget*, QMessageBox::Icon, const QString&, const QString& text) {
        std::printf("  %s\n", qPrintable(text));
    });
    std::printf("%zu messages listed\n", form.messages().size());
    form.findChild<QAction*>(QStringLiteral("selectAllAction"))->trigger();

    auto run = [&](const char* name, const fs::path& dir, const char* command) {
        target = QString::fromStdString(dir.string());
        QElapsedTimer timer;
        timer.start();
        form.findChild<QAction*>(QLatin1String(command))->trigger();
        const double seconds = timer.nsecsElapsed() / 1e9;
        std::printf("%s: %.2f s, %.0f messages/s\n", name, seconds, count / seconds);
    };
    run("save", work / "save", "saveAction");
    saveExportDialog.htmlFormat->setChecked(true);
    run("export (HTML)", work / "export-html", "exportAction");
    saveExportDialog.sameFormat->setChecked(true);
    run("export (same format as the mail)", work / "export-mixed", "exportAction");
    setModalHook({});
    setMessageBoxHook({});
    return 0;
}
