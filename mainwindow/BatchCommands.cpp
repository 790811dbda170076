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

std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString PathText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

const QString NoPrinterText = QStringLiteral(
    "No printer is installed, so nothing can be printed.\n\n"
    "Install a printer, or name a directory for PDF files in the environment "
    "variable LUMBROOK_PRINT_PDF_DIR: each printed message then becomes a PDF file there.");

}  // namespace

// What a print batch settles in its set-up.
struct TPrintJob {
    TPrinterSetup::TTarget Target = TPrinterSetup::TTarget::None;
    std::string PdfDir;      // with PdfDirectory: ends with a separator
    bool DateInName = true;  // PDF files are named as export names its files
};

// ---------------------------------------------------------------------------------
// Printing

void TMainForm::PrintBtnClick() {
    TPrintJob job;
    TBatchCommand command;
    command.Suffix = QStringLiteral(" messages printed!");
    command.Caption = QStringLiteral("Printing finished");
    command.SetUp = [&] { return PrintSetUp(job); };
    command.Work = [&](const Toe5_MessageInfo& record) { return PrintMessage(record, job); };
    // The preview is never touched by printing: it shows what it showed before.
    // Nothing else loads into the print page, so no stale load can end a wait.
    RunBatch(command);
}

bool TMainForm::PrintSetUp(TPrintJob& Job) {
    Job.Target = PrinterSettings.Target();
    if (Job.Target == TPrinterSetup::TTarget::None) {
        ShowMessageBox(this, QMessageBox::Critical, QString(), NoPrinterText);
        return false;
    }
    if (Job.Target == TPrinterSetup::TTarget::PdfDirectory) {
        Job.PdfDir = PrepareOutputDir(PathBytes(PrintPdfDirectory()));
        Job.DateInName = !ExportForm || ExportForm->datecheck->isChecked();
    }
    ForceDirectories(Paths.WorkDir);
    return true;
}

bool TMainForm::PrintMessage(const Toe5_MessageInfo& Record, const TPrintJob& Job) {
    const std::string raw = ReadMessageText(FolderFile, Record.DataOffset);

    // The page and its pictures join the working files once the page is done
    // with, printed or not: a preview rendered while printing waits deletes the
    // working files and must not take the page from under the print.
    TTempFiles pageFiles;
    struct TJoin {
        TTempFiles& From;
        TTempFiles& To;
        ~TJoin() {
            for (const std::string& path : From.Paths()) To.Add(path);
        }
    } join{pageFiles, TempFiles};

    // Printing always dresses the page; the field boxes and the template still count.
    TDesign design = CurrentDesign();
    design.Apply = true;
    const std::string page =
        RenderMessagePage(raw, Record, design, Paths.WorkDir, "print.htm", &pageFiles);

    PageLoaded = false;
    PrintBrowser->Navigate(PathText(page));
    WaitFor(PrintBrowser, &TWebBrowser::DownloadComplete, [this] { return PageLoaded; });
    if (!PrintBrowser->LoadOk()) throw MakeOpenError(page);

    bool printed = false;
    const QMetaObject::Connection outcome = connect(PrintBrowser, &TWebBrowser::PrintFinished, this,
                                                    [&printed](bool ok) { printed = ok; });
    struct TDisconnect {
        const QMetaObject::Connection& Connection;
        ~TDisconnect() { QObject::disconnect(Connection); }
    } disconnect{outcome};

    std::string pdfFile;
    QString printerName;
    if (Job.Target == TPrinterSetup::TTarget::PdfDirectory) {
        const std::string stem = MessageFileStem(Record, Job.DateInName);
        pdfFile = Job.PdfDir + UniqueStem(Job.PdfDir, stem, ".pdf") + ".pdf";
        PrintBrowser->PrintToPdf(PathText(pdfFile), PrinterSettings.PageLayout());
    } else {
        std::unique_ptr<QPrinter> printer = PrinterSettings.MakePrinter();
        if (!printer) throw ELumbrookError(NoPrinterText.toStdString());
        printerName = printer->printerName();
        PrintBrowser->Print(std::move(printer));
    }
    WaitFor(PrintBrowser, &TWebBrowser::PrintFinished, [this] { return !PrintBrowser->Busy(); });

    // A page that did not reach the printer is an error, never a printed message.
    if (!printed) {
        if (!pdfFile.empty()) throw MakeCreateError(pdfFile);
        throw ELumbrookError("The page could not be printed on the printer \"" +
                             printerName.toStdString() + "\".");
    }
    return true;
}

void TMainForm::PrintBrowserDownloadComplete() {
    PageLoaded = true;
}

void TMainForm::PrinterSetupBtnClick() {
    switch (PrinterSettings.Target()) {
        case TPrinterSetup::TTarget::None:
            ShowMessageBox(this, QMessageBox::Critical, QString(), NoPrinterText);
            return;
        case TPrinterSetup::TTarget::PdfDirectory: {
            // The system's page-setup dialog works on installed printers only.
            TPageLayoutDialog dialog(PrinterSettings.PageLayout(), this);
            if (ShowModal(dialog) == QDialog::Accepted)
                PrinterSettings.SetPageLayout(dialog.Layout());
            return;
        }
        case TPrinterSetup::TTarget::Printer: {
            // On a printer of its own, so that a print being handed over keeps its settings.
            const std::unique_ptr<QPrinter> printer = PrinterSettings.MakePrinter();
            if (!printer) return;
            QPageSetupDialog dialog(printer.get(), this);
            if (ShowModal(dialog) == QDialog::Accepted) {
                PrinterSettings.SetPageLayout(printer->pageLayout());
            }
            return;
        }
    }
}

// ---------------------------------------------------------------------------------
// Saving and export

void TMainForm::SaveBtnClick() {
    std::string dir;
    bool dateInName = true;
    TBatchCommand command;
    command.Suffix = QStringLiteral(" messages saved!");
    command.Caption = QStringLiteral("Saving finished");
    command.LetMessagesRun = true;
    command.SetUp = [&] {
        if (!ExportForm) return false;
        // None of the format options concerns saving; the text option is switched off.
        ExportForm->TXTCheck->setEnabled(false);
        if (ShowModal(*ExportForm) != QDialog::Accepted) return false;
        dir = PrepareOutputDir(PathBytes(ExportForm->DirectoryEdit1->Text()));
        dateInName = ExportForm->datecheck->isChecked();
        return true;
    };
    command.Work = [&](const Toe5_MessageInfo& record) {
        const std::string raw = ReadMessageText(FolderFile, record.DataOffset);
        try {
            SaveMessageAsEml(dir, record, raw, dateInName);
            return true;
        } catch (const ESaveFailed& failure) {
            // Saving's own message; the batch goes on with the next message.
            ShowMessageBox(this, QMessageBox::Critical, QString(), ErrorText(failure));
            return false;
        }
    };
    RunBatch(command);
}

void TMainForm::ExportBtnClick() {
    TExportSettings settings;
    TBatchCommand command;
    command.Suffix = QStringLiteral(" messages exported!");
    command.Caption = QStringLiteral("Export finished");
    command.LetMessagesRun = true;
    command.SetUp = [&] {
        if (!ExportForm) return false;
        ExportForm->TXTCheck->setEnabled(true);
        if (ShowModal(*ExportForm) != QDialog::Accepted) return false;
        settings.Dir = PrepareOutputDir(PathBytes(ExportForm->DirectoryEdit1->Text()));
        settings.DateInName = ExportForm->datecheck->isChecked();
        settings.Format = ExportForm->AllHTMLCheck->isChecked() ? TExportFormat::AlwaysHtml
                          : ExportForm->TXTCheck->isChecked()   ? TExportFormat::AlwaysText
                                                                : TExportFormat::SameAsMail;
        return true;
    };
    command.Work = [&](const Toe5_MessageInfo& record) {
        const std::string raw = ReadMessageText(FolderFile, record.DataOffset);
        // The options strip is read for each message, as the preview reads it.
        settings.Design = CurrentDesign();
        ExportMessage(settings, record, raw);
        return true;
    };
    RunBatch(command);
}

}  // namespace lumbrook
