// The batch commands of MainWindow (printing, saving, export) and the printer
// setup: the walk is BatchRun's, the work for one message render/'s and the
// printing MessagePrinter's; here they are joined to the dialog and the controls.

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QSettings>
#include <QTreeView>
#include <optional>

#include "base/Errors.h"
#include "mainwindow/ErrorReport.h"
#include "mainwindow/EventWait.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/MessagePrinter.h"
#include "mainwindow/Modal.h"
#include "platform/Files.h"
#include "output/AttachmentOutput.h"
#include "output/BatchRun.h"
#include "output/Output.h"
#include "output/OutputNaming.h"
#include "windows/SaveExportDialog.h"

namespace lumbrook {

namespace {

// The window's setting of the dialog's "Attachments beside the page".
const QString ExportAttachmentsKey = QStringLiteral("exportAttachments");

std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The names and sizes of the attachments a printed page does not show; empty for none.
std::string printedAttachmentList(std::string_view raw, std::string_view fallbackCharset) {
    MailMessage message;
    message.loadText(raw);
    return attachmentListHtml(listedAttachments(message, fallbackCharset));
}

// Runs its action when it goes out of scope, by an exception too.
template <typename F>
class OnExit {
  public:
    explicit OnExit(F action) : action(std::move(action)) {}
    ~OnExit() { action(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

  private:
    F action;
};

}  // namespace

// One command's part of a batch.
struct BatchCommand {
    // The completion box: "There became N" + Suffix, under Caption.
    QString suffix;
    QString caption;
    // Saving and export let pending window messages run before each message;
    // printing lets them run while it waits for its page.
    bool letMessagesRun = false;
    // Before the walk; false ends the batch without a completion box.
    std::function<bool()> setUp;
    // The work for one message; true when it counts as done.
    BatchRun::Work work;
};

// A message's text for a batch, through the batch's one reader of its folder file (a
// block two messages claim is the later one's damage). One found damaged is marked
// in the list and named in the completion box.
MessageText MainWindow::readBatchMessage(const MessageInfo& record) {
    MessageText text;
    if (record.origin == MessageOrigin::Listed) {
        auto reader = batchReaders.find(batchFile);
        if (reader == batchReaders.end())
            reader = batchReaders.try_emplace(batchFile, store, batchFile).first;
        text = reader->second.read(record.dataOffset);
    } else {
        // Messages the scan found are read as it found them, not through the index's reader.
        text = readListedMessage(record, batchFile);
    }
    if (!text.whole) {
        batchDamaged.push_back("\"" + store.toUtf8(record.subject) + "\" at offset " +
                               std::to_string(record.dataOffset) + ": " + text.problem);
        messageModel->markDamaged(record.dataOffset);
    }
    return text;
}

void MainWindow::setProgress(std::int32_t percent) {
    progressBar->setValue(percent);
}

void MainWindow::onCancel() {
    if (searchStop) searchStop->store(true);
    if (currentBatch) currentBatch->cancel();
    cancelRequested = true;
}

MessageList MainWindow::selectedRecords(std::vector<std::string>* files) const {
    const QItemSelectionModel* selection = messageList->selectionModel();
    MessageList chosen;
    for (int row = 0; row < messageModel->rowCount(); ++row) {
        if (!selection->isRowSelected(row, QModelIndex())) continue;
        const int index = messageModel->recordIndex(row);
        if (index >= 0 && static_cast<std::size_t>(index) < records.size()) {
            chosen.push_back(records[static_cast<std::size_t>(index)]);
            if (files) files->push_back(fileOfRecord(static_cast<std::size_t>(index)));
        }
    }
    return chosen;
}

void MainWindow::runBatch(const BatchCommand& command) {
    if (batchActive) return;
    // The list changes when a search ends: a batch walks no list that may go.
    if (searchRunning) {
        statusText->setText(QStringLiteral("Cancel the search or let it end first"));
        return;
    }
    batchActive = true;
    cancelRequested = false;
    cancelAction->setEnabled(true);
    // However the batch ends, by an error too, the window is idle again before
    // anything is reported: bar empty, Cancel off, the next batch possible.
    const OnExit idle([this] {
        setProgress(0);
        cancelAction->setEnabled(false);
        currentBatch = nullptr;
        batchReaders.clear();  // no folder file held open between batches
        batchActive = false;
    });
    try {
        if (firstSelectedRow() < 0) return;
        if (!command.setUp()) return;
        // The selection as it is now; folder changes wait for the batch
        // (onFolderClicked), so the records stay as they are.
        std::vector<std::string> files;  // each message's folder file, in the same order
        BatchRun batch(selectedRecords(&files));
        batchDamaged.clear();
        batchReaders.clear();
        if (batch.total() == 0) return;
        if (cancelRequested) batch.cancel();
        currentBatch = &batch;
        // The walk takes the messages one by one in their order: the n-th call is
        // the n-th message, whose folder file its reader is to read.
        std::size_t position = 0;
        batch.run(
            [&](const MessageInfo& record) {
                batchFile = position < files.size() ? files[position] : listedFile;
                ++position;
                return command.work(record);
            },
            [this](std::int32_t percent) { setProgress(percent); },
            command.letMessagesRun ? BatchRun::BeforeEach([] { QCoreApplication::processEvents(); })
                                   : BatchRun::BeforeEach());
        setProgress(0);
        // A window closed under the batch (the quit button, the close box) ends
        // the program: no report after it.
        if (isVisible()) {
            std::string text = batch.completionText(command.suffix.toStdString());
            if (!batchDamaged.empty()) {
                text += "\n\n" + std::to_string(batchDamaged.size()) +
                        " messages could not be read whole:";
                for (const std::string& line : batchDamaged) text += "\n" + line;
            }
            showMessageBox(this, QMessageBox::Information, command.caption,
                           QString::fromStdString(text));
        }
    } catch (const BatchAbandoned&) {
    }
}

// ---------------------------------------------------------------------------------
// Printing

BatchCommand MainWindow::printCommand() {
    BatchCommand command;
    command.suffix = QStringLiteral(" messages printed!");
    command.caption = QStringLiteral("Printing finished");
    command.work = [this](const MessageInfo& record) { return printOne(record); };
    return command;
}

void MainWindow::onPrint() {
    BatchCommand command = printCommand();
    command.setUp = [this] {
        const bool dateInName = !saveExportDialog || saveExportDialog->dateInNames->isChecked();
        if (!messagePrinter->prepare(this, dateInName)) return false;
        forcePrivateDirectories(paths.workDir);
        return true;
    };
    // The preview is never touched by printing: it shows what it showed before.
    runBatch(command);
}

void MainWindow::onPrintToPdf() {
    // The same pages as printing, into a file chosen for one message, into a
    // directory chosen for several.
    BatchCommand command = printCommand();
    command.setUp = [this] {
        const bool dateInName = !saveExportDialog || saveExportDialog->dateInNames->isChecked();
        const MessageList chosen = selectedRecords();
        if (chosen.empty()) return false;
        QFileDialog dialog(this, QStringLiteral("Print to PDF"));
        dialog.setObjectName(QStringLiteral("printPdfDialog"));
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        if (chosen.size() == 1) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setNameFilter(QStringLiteral("PDF files (*.pdf)"));
            dialog.setDefaultSuffix(QStringLiteral("pdf"));
            dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(
                                  messageFileStem(chosen.front(), dateInName))) +
                              QStringLiteral(".pdf"));
        } else {
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly, true);
        }
        if (showModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        const std::string target = pathBytes(dialog.selectedFiles().front());
        if (chosen.size() == 1) {
            messagePrinter->preparePdf({}, target, dateInName);
        } else {
            messagePrinter->preparePdf(target, {}, dateInName);
        }
        forcePrivateDirectories(paths.workDir);
        return true;
    };
    runBatch(command);
}

bool MainWindow::printOne(const MessageInfo& record) {
    const MessageText text = readBatchMessage(record);
    // What is there of a damaged message is printed, and not counted.
    if (text.text.empty()) return false;
    const std::string& raw = text.text;

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
    design.underHeaderTable = printedAttachmentList(raw, store.codePage().name());
    const std::string page =
        renderMessagePage(raw, record, design, paths.workDir, "print.htm", &pageFiles);
    messagePrinter->print(page, record);
    return text.whole;
}

void MainWindow::onPrinterSetup() {
    messagePrinter->changeSetup(this);
}

// ---------------------------------------------------------------------------------
// Saving and export

void MainWindow::onSave() {
    std::string dir;
    bool dateInName = true;
    OutputNames names;  // the batch's: each name's next suffix is remembered
    BatchCommand command;
    command.suffix = QStringLiteral(" messages saved!");
    command.caption = QStringLiteral("Saving finished");
    command.letMessagesRun = true;
    command.setUp = [&] {
        if (!saveExportDialog) return false;
        // None of the format options concerns saving; the text option is switched off.
        saveExportDialog->textFormat->setEnabled(false);
        saveExportDialog->attachmentsBeside->setEnabled(false);
        if (showModal(*saveExportDialog) != QDialog::Accepted) return false;
        dir = prepareOutputDir(pathBytes(saveExportDialog->directoryEdit->text()));
        dateInName = saveExportDialog->dateInNames->isChecked();
        return true;
    };
    command.work = [&](const MessageInfo& record) {
        const MessageText text = readBatchMessage(record);
        // What is there of a damaged message is saved, marked and not counted.
        if (text.text.empty()) return false;
        try {
            saveMessageAsEml(dir, record, text.text, dateInName, names, !text.whole);
            return text.whole;
        } catch (const SaveFailedError& failure) {
            // Saving's own message; the batch goes on with the next message.
            showMessageBox(this, QMessageBox::Critical, QString(), errorText(failure));
            return false;
        }
    };
    runBatch(command);
}

void MainWindow::onExport() {
    ExportSettings settings;
    BatchCommand command;
    command.suffix = QStringLiteral(" messages exported!");
    command.caption = QStringLiteral("Export finished");
    command.letMessagesRun = true;
    command.setUp = [&] {
        if (!saveExportDialog) return false;
        saveExportDialog->textFormat->setEnabled(true);
        QCheckBox* attachments = saveExportDialog->attachmentsBeside;
        attachments->setEnabled(true);
        attachments->setChecked(windowSettings().value(ExportAttachmentsKey, true).toBool());
        if (showModal(*saveExportDialog) != QDialog::Accepted) return false;
        settings.attachments = attachments->isChecked();
        windowSettings().setValue(ExportAttachmentsKey, settings.attachments);
        settings.dir = prepareOutputDir(pathBytes(saveExportDialog->directoryEdit->text()));
        settings.dateInName = saveExportDialog->dateInNames->isChecked();
        settings.format = saveExportDialog->htmlFormat->isChecked()   ? ExportFormat::AlwaysHtml
                          : saveExportDialog->textFormat->isChecked() ? ExportFormat::AlwaysText
                                                                      : ExportFormat::SameAsMail;
        return true;
    };
    command.work = [&](const MessageInfo& record) {
        const MessageText text = readBatchMessage(record);
        if (text.text.empty()) return false;
        // The options strip is read for each message, as the preview reads it.
        settings.design = currentDesign();
        exportMessage(settings, record, text.text, !text.whole);
        // Parts the page could not have (a Content-ID that is a path) are reported;
        // the page is written and the export goes on.
        for (const FileCreateError& problem : settings.problems)
            reportError(this, errorText(problem));
        settings.problems.clear();
        return text.whole;
    };
    runBatch(command);
}

}  // namespace lumbrook
