// The three batch commands of MainWindow (printing, saving, export) and the
// printer setup. The work for one message is render/'s; here it is joined to the
// dialog, the printer and the batch frame.

#include <QCheckBox>
#include <QFile>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QRadioButton>

#include "base/Errors.h"
#include "mainwindow/BatchFrame.h"
#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/Modal.h"
#include "platform/Files.h"
#include "platform/browser/PageView.h"
#include "render/Output.h"
#include "render/OutputNaming.h"
#include "windows/SaveExportDialog.h"

namespace lumbrook {

namespace {

std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString pathText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

const QString NoPrinterText = QStringLiteral(
    "No printer is installed, so nothing can be printed.\n\n"
    "Install a printer, or name a directory for PDF files in the environment "
    "variable LUMBROOK_PRINT_PDF_DIR: each printed message then becomes a PDF file there.");

}  // namespace

// What a print batch settles in its set-up.
struct PrintJob {
    PrinterSetup::Target target = PrinterSetup::Target::None;
    std::string pdfDir;      // with PdfDirectory: ends with a separator
    bool dateInName = true;  // PDF files are named as export names its files
};

// ---------------------------------------------------------------------------------
// Printing

void MainWindow::onPrintClicked() {
    PrintJob job;
    BatchCommand command;
    command.suffix = QStringLiteral(" messages printed!");
    command.caption = QStringLiteral("Printing finished");
    command.setUp = [&] { return printSetUp(job); };
    command.work = [&](const MessageInfo& record) { return printMessage(record, job); };
    // The preview is never touched by printing: it shows what it showed before.
    // Nothing else loads into the print page, so no stale load can end a wait.
    runBatch(command);
}

bool MainWindow::printSetUp(PrintJob& job) {
    job.target = printerSettings.target();
    if (job.target == PrinterSetup::Target::None) {
        showMessageBox(this, QMessageBox::Critical, QString(), NoPrinterText);
        return false;
    }
    if (job.target == PrinterSetup::Target::PdfDirectory) {
        job.pdfDir = prepareOutputDir(pathBytes(printPdfDirectory()));
        job.dateInName = !saveExportDialog || saveExportDialog->dateInNames->isChecked();
    }
    forceDirectories(paths.workDir);
    return true;
}

bool MainWindow::printMessage(const MessageInfo& record, const PrintJob& job) {
    const std::string raw = store.readMessageText(folderFile, record.dataOffset);

    // The page and its pictures join the working files once the page is done
    // with, printed or not: a preview rendered while printing waits deletes the
    // working files and must not take the page from under the print.
    TempFiles pageFiles;
    struct Join {
        TempFiles& from;
        TempFiles& to;
        ~Join() {
            for (const std::string& path : from.paths()) to.add(path);
        }
    } join{pageFiles, tempFiles};

    // Printing always dresses the page; the field boxes and the template still count.
    Design design = currentDesign();
    design.apply = true;
    const std::string page =
        renderMessagePage(raw, record, design, paths.workDir, "print.htm", &pageFiles);

    pageLoaded = false;
    printView->navigate(pathText(page));
    waitFor(printView, &PageView::downloadComplete, [this] { return pageLoaded; });
    if (!printView->loadOk()) throw makeOpenError(page);

    bool printed = false;
    const QMetaObject::Connection outcome = connect(printView, &PageView::printFinished, this,
                                                    [&printed](bool ok) { printed = ok; });
    struct Disconnect {
        const QMetaObject::Connection& connection;
        ~Disconnect() { QObject::disconnect(connection); }
    } disconnect{outcome};

    std::string pdfFile;
    QString printerName;
    if (job.target == PrinterSetup::Target::PdfDirectory) {
        const std::string stem = messageFileStem(record, job.dateInName);
        pdfFile = job.pdfDir + uniqueStem(job.pdfDir, stem, ".pdf") + ".pdf";
        printView->printToPdf(pathText(pdfFile), printerSettings.pageLayout());
    } else {
        std::unique_ptr<QPrinter> printer = printerSettings.makePrinter();
        if (!printer) throw LumbrookError(NoPrinterText.toStdString());
        printerName = printer->printerName();
        printView->print(std::move(printer));
    }
    waitFor(printView, &PageView::printFinished, [this] { return !printView->busy(); });

    // A page that did not reach the printer is an error, never a printed message.
    if (!printed) {
        if (!pdfFile.empty()) throw makeCreateError(pdfFile);
        throw LumbrookError("The page could not be printed on the printer \"" +
                             printerName.toStdString() + "\".");
    }
    return true;
}

void MainWindow::onPrintPageLoaded() {
    pageLoaded = true;
}

void MainWindow::onPrinterSetupClicked() {
    switch (printerSettings.target()) {
        case PrinterSetup::Target::None:
            showMessageBox(this, QMessageBox::Critical, QString(), NoPrinterText);
            return;
        case PrinterSetup::Target::PdfDirectory: {
            // The system's page-setup dialog works on installed printers only.
            PageLayoutDialog dialog(printerSettings.pageLayout(), this);
            if (showModal(dialog) == QDialog::Accepted)
                printerSettings.setPageLayout(dialog.layout());
            return;
        }
        case PrinterSetup::Target::Printer: {
            // On a printer of its own, so that a print being handed over keeps its settings.
            const std::unique_ptr<QPrinter> printer = printerSettings.makePrinter();
            if (!printer) return;
            QPageSetupDialog dialog(printer.get(), this);
            if (showModal(dialog) == QDialog::Accepted) {
                printerSettings.setPageLayout(printer->pageLayout());
            }
            return;
        }
    }
}

// ---------------------------------------------------------------------------------
// Saving and export

void MainWindow::onSaveClicked() {
    std::string dir;
    bool dateInName = true;
    BatchCommand command;
    command.suffix = QStringLiteral(" messages saved!");
    command.caption = QStringLiteral("Saving finished");
    command.letMessagesRun = true;
    command.setUp = [&] {
        if (!saveExportDialog) return false;
        // None of the format options concerns saving; the text option is switched off.
        saveExportDialog->textFormat->setEnabled(false);
        if (showModal(*saveExportDialog) != QDialog::Accepted) return false;
        dir = prepareOutputDir(pathBytes(saveExportDialog->directoryEdit->text()));
        dateInName = saveExportDialog->dateInNames->isChecked();
        return true;
    };
    command.work = [&](const MessageInfo& record) {
        const std::string raw = store.readMessageText(folderFile, record.dataOffset);
        try {
            saveMessageAsEml(dir, record, raw, dateInName);
            return true;
        } catch (const SaveFailedError& failure) {
            // Saving's own message; the batch goes on with the next message.
            showMessageBox(this, QMessageBox::Critical, QString(), errorText(failure));
            return false;
        }
    };
    runBatch(command);
}

void MainWindow::onExportClicked() {
    ExportSettings settings;
    BatchCommand command;
    command.suffix = QStringLiteral(" messages exported!");
    command.caption = QStringLiteral("Export finished");
    command.letMessagesRun = true;
    command.setUp = [&] {
        if (!saveExportDialog) return false;
        saveExportDialog->textFormat->setEnabled(true);
        if (showModal(*saveExportDialog) != QDialog::Accepted) return false;
        settings.dir = prepareOutputDir(pathBytes(saveExportDialog->directoryEdit->text()));
        settings.dateInName = saveExportDialog->dateInNames->isChecked();
        settings.format = saveExportDialog->htmlFormat->isChecked() ? ExportFormat::AlwaysHtml
                          : saveExportDialog->textFormat->isChecked()   ? ExportFormat::AlwaysText
                                                                : ExportFormat::SameAsMail;
        return true;
    };
    command.work = [&](const MessageInfo& record) {
        const std::string raw = store.readMessageText(folderFile, record.dataOffset);
        // The options strip is read for each message, as the preview reads it.
        settings.design = currentDesign();
        exportMessage(settings, record, raw);
        return true;
    };
    runBatch(command);
}

}  // namespace lumbrook
