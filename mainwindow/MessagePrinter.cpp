#include "mainwindow/MessagePrinter.h"

#include <QFile>
#include <QPageSetupDialog>
#include <QPrinter>

#include "base/Errors.h"
#include "mainwindow/ErrorReport.h"
#include "mainwindow/EventWait.h"
#include "mainwindow/Modal.h"
#include "output/Output.h"
#include "output/OutputNaming.h"
#include "platform/browser/PageView.h"

namespace lumbrook {

namespace {

// The same words as any other report of the missing printer.
QString noPrinterText() {
    return errorText(LumbrookError(ErrorKind::NoPrinter));
}

QString pathText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace

MessagePrinter::MessagePrinter(QWidget* parent) : printView(new PageView(parent)) {
    printView->setObjectName(QStringLiteral("printView"));
    printView->hide();
    // Nothing else loads into the print page, so no stale load can end a wait.
    QObject::connect(printView, &PageView::downloadComplete, printView,
                     [this] { pageLoaded = true; });
}

bool MessagePrinter::prepare(QWidget* parent, bool withDate) {
    target = printerSettings.target();
    pdfFile.clear();
    if (target == PrinterSetup::Target::None) {
        showMessageBox(parent, QMessageBox::Critical, QString(), noPrinterText());
        return false;
    }
    if (target == PrinterSetup::Target::PdfDirectory) {
        pdfDir = prepareOutputDir(QFile::encodeName(printPdfDirectory()).toStdString());
        dateInName = withDate;
    }
    return true;
}

void MessagePrinter::preparePdf(const std::string& dir, const std::string& file,
                                bool withDate) {
    target = PrinterSetup::Target::PdfDirectory;
    pdfFile = file;
    pdfDir = file.empty() ? prepareOutputDir(dir) : std::string();
    dateInName = withDate;
}

void MessagePrinter::print(const std::string& page, const MessageInfo& record) {
    pageLoaded = false;
    printView->navigate(pathText(page));
    waitFor(printView, &PageView::downloadComplete, [this] { return pageLoaded; });
    if (!printView->loadOk()) throw FileOpenError(page);

    bool printed = false;
    const QMetaObject::Connection outcome = QObject::connect(
        printView, &PageView::printFinished, printView, [&printed](bool ok) { printed = ok; });
    struct Disconnect {
        const QMetaObject::Connection& connection;
        ~Disconnect() { QObject::disconnect(connection); }
    } disconnect{outcome};

    std::string outFile;
    QString printerName;
    if (target == PrinterSetup::Target::PdfDirectory) {
        if (pdfFile.empty()) {
            const std::string stem = messageFileStem(record, dateInName);
            outFile = pdfDir + uniqueStem(pdfDir, stem, ".pdf") + ".pdf";
        } else {
            outFile = pdfFile;
        }
        printView->printToPdf(pathText(outFile), printerSettings.pageLayout());
    } else {
        std::unique_ptr<QPrinter> printer = printerSettings.makePrinter();
        if (!printer) throw LumbrookError(ErrorKind::NoPrinter);
        printerName = printer->printerName();
        printView->print(std::move(printer));
    }
    waitFor(printView, &PageView::printFinished, [this] { return !printView->busy(); });

    // A page that did not reach the printer is an error, never a printed message.
    if (!printed) {
        if (!outFile.empty()) throw makeCreateError(outFile);
        throw LumbrookError(ErrorKind::PrintFailed, printerName.toStdString());
    }
}

void MessagePrinter::changeSetup(QWidget* parent) {
    switch (printerSettings.target()) {
        case PrinterSetup::Target::None:
            showMessageBox(parent, QMessageBox::Critical, QString(), noPrinterText());
            return;
        case PrinterSetup::Target::PdfDirectory: {
            // The system's page-setup dialog works on installed printers only.
            PageLayoutDialog dialog(printerSettings.pageLayout(), parent);
            if (showModal(dialog) == QDialog::Accepted)
                printerSettings.setPageLayout(dialog.layout());
            return;
        }
        case PrinterSetup::Target::Printer: {
            // On a printer of its own, so that a print being handed over keeps its settings.
            const std::unique_ptr<QPrinter> printer = printerSettings.makePrinter();
            if (!printer) return;
            QPageSetupDialog dialog(printer.get(), parent);
            if (showModal(dialog) == QDialog::Accepted)
                printerSettings.setPageLayout(printer->pageLayout());
            return;
        }
    }
}

}  // namespace lumbrook
