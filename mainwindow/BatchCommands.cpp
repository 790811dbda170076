// The three batch commands of TMainForm (printing, saving, export) and the
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
#include "mainwindow/MainUnit.h"
#include "mainwindow/Modal.h"
#include "platform/Files.h"
#include "platform/browser/WebBrowser.h"
#include "render/Output.h"
#include "render/OutputNaming.h"
#include "windows/ExportFUnit.h"

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
struct TPrintJob {
    TPrinterSetup::TTarget target = TPrinterSetup::TTarget::None;
    std::string pdfDir;      // with PdfDirectory: ends with a separator
    bool dateInName = true;  // PDF files are named as export names its files
};

// ---------------------------------------------------------------------------------
// Printing

void TMainForm::printBtnClick() {
    TPrintJob job;
    TBatchCommand command;
    command.suffix = QStringLiteral(" messages printed!");
    command.caption = QStringLiteral("Printing finished");
    command.setUp = [&] { return printSetUp(job); };
    command.work = [&](const Toe5_MessageInfo& record) { return printMessage(record, job); };
    // The preview is never touched by printing: it shows what it showed before.
    // Nothing else loads into the print page, so no stale load can end a wait.
    runBatch(command);
}

bool TMainForm::printSetUp(TPrintJob& job) {
    job.target = printerSettings.target();
    if (job.target == TPrinterSetup::TTarget::None) {
        showMessageBox(this, QMessageBox::Critical, QString(), NoPrinterText);
        return false;
    }
    if (job.target == TPrinterSetup::TTarget::PdfDirectory) {
        job.pdfDir = prepareOutputDir(pathBytes(printPdfDirectory()));
        job.dateInName = !exportForm || exportForm->datecheck->isChecked();
    }
    forceDirectories(paths.workDir);
    return true;
}

bool TMainForm::printMessage(const Toe5_MessageInfo& record, const TPrintJob& job) {
    const std::string raw = readMessageText(folderFile, record.dataOffset);

    // The page and its pictures join the working files once the page is done
    // with, printed or not: a preview rendered while printing waits deletes the
    // working files and must not take the page from under the print.
    TTempFiles pageFiles;
    struct TJoin {
        TTempFiles& from;
        TTempFiles& to;
        ~TJoin() {
            for (const std::string& path : from.paths()) to.add(path);
        }
    } join{pageFiles, tempFiles};

    // Printing always dresses the page; the field boxes and the template still count.
    TDesign design = currentDesign();
    design.apply = true;
    const std::string page =
        renderMessagePage(raw, record, design, paths.workDir, "print.htm", &pageFiles);

    pageLoaded = false;
    printBrowser->navigate(pathText(page));
    waitFor(printBrowser, &TWebBrowser::downloadComplete, [this] { return pageLoaded; });
    if (!printBrowser->loadOk()) throw makeOpenError(page);

    bool printed = false;
    const QMetaObject::Connection outcome = connect(printBrowser, &TWebBrowser::printFinished, this,
                                                    [&printed](bool ok) { printed = ok; });
    struct TDisconnect {
        const QMetaObject::Connection& connection;
        ~TDisconnect() { QObject::disconnect(connection); }
    } disconnect{outcome};

    std::string pdfFile;
    QString printerName;
    if (job.target == TPrinterSetup::TTarget::PdfDirectory) {
        const std::string stem = messageFileStem(record, job.dateInName);
        pdfFile = job.pdfDir + uniqueStem(job.pdfDir, stem, ".pdf") + ".pdf";
        printBrowser->printToPdf(pathText(pdfFile), printerSettings.pageLayout());
    } else {
        std::unique_ptr<QPrinter> printer = printerSettings.makePrinter();
        if (!printer) throw ELumbrookError(NoPrinterText.toStdString());
        printerName = printer->printerName();
        printBrowser->print(std::move(printer));
    }
    waitFor(printBrowser, &TWebBrowser::printFinished, [this] { return !printBrowser->busy(); });

    // A page that did not reach the printer is an error, never a printed message.
    if (!printed) {
        if (!pdfFile.empty()) throw makeCreateError(pdfFile);
        throw ELumbrookError("The page could not be printed on the printer \"" +
                             printerName.toStdString() + "\".");
    }
    return true;
}

void TMainForm::printBrowserDownloadComplete() {
    pageLoaded = true;
}

void TMainForm::printerSetupBtnClick() {
    switch (printerSettings.target()) {
        case TPrinterSetup::TTarget::None:
            showMessageBox(this, QMessageBox::Critical, QString(), NoPrinterText);
            return;
        case TPrinterSetup::TTarget::PdfDirectory: {
            // The system's page-setup dialog works on installed printers only.
            TPageLayoutDialog dialog(printerSettings.pageLayout(), this);
            if (showModal(dialog) == QDialog::Accepted)
                printerSettings.setPageLayout(dialog.layout());
            return;
        }
        case TPrinterSetup::TTarget::Printer: {
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

void TMainForm::saveBtnClick() {
    std::string dir;
    bool dateInName = true;
    TBatchCommand command;
    command.suffix = QStringLiteral(" messages saved!");
    command.caption = QStringLiteral("Saving finished");
    command.letMessagesRun = true;
    command.setUp = [&] {
        if (!exportForm) return false;
        // None of the format options concerns saving; the text option is switched off.
        exportForm->txtCheck->setEnabled(false);
        if (showModal(*exportForm) != QDialog::Accepted) return false;
        dir = prepareOutputDir(pathBytes(exportForm->directoryEdit1->text()));
        dateInName = exportForm->datecheck->isChecked();
        return true;
    };
    command.work = [&](const Toe5_MessageInfo& record) {
        const std::string raw = readMessageText(folderFile, record.dataOffset);
        try {
            saveMessageAsEml(dir, record, raw, dateInName);
            return true;
        } catch (const ESaveFailed& failure) {
            // Saving's own message; the batch goes on with the next message.
            showMessageBox(this, QMessageBox::Critical, QString(), errorText(failure));
            return false;
        }
    };
    runBatch(command);
}

void TMainForm::exportBtnClick() {
    TExportSettings settings;
    TBatchCommand command;
    command.suffix = QStringLiteral(" messages exported!");
    command.caption = QStringLiteral("Export finished");
    command.letMessagesRun = true;
    command.setUp = [&] {
        if (!exportForm) return false;
        exportForm->txtCheck->setEnabled(true);
        if (showModal(*exportForm) != QDialog::Accepted) return false;
        settings.dir = prepareOutputDir(pathBytes(exportForm->directoryEdit1->text()));
        settings.dateInName = exportForm->datecheck->isChecked();
        settings.format = exportForm->allHtmlCheck->isChecked() ? TExportFormat::AlwaysHtml
                          : exportForm->txtCheck->isChecked()   ? TExportFormat::AlwaysText
                                                                : TExportFormat::SameAsMail;
        return true;
    };
    command.work = [&](const Toe5_MessageInfo& record) {
        const std::string raw = readMessageText(folderFile, record.dataOffset);
        // The options strip is read for each message, as the preview reads it.
        settings.design = currentDesign();
        exportMessage(settings, record, raw);
        return true;
    };
    runBatch(command);
}

}  // namespace lumbrook
