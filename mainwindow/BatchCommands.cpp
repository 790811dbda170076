#include "mainwindow/BatchCommands.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeView>
#include <QUrl>
#include <QWidget>
#include <optional>

#include "base/Errors.h"
#include "mainwindow/ErrorReport.h"
#include "mainwindow/EventWait.h"
#include "mainwindow/ListedMessages.h"
#include "mainwindow/MainWindowWidgets.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/MessagePrinter.h"
#include "mainwindow/Modal.h"
#include "mainwindow/WindowSettings.h"
#include "output/AttachmentOutput.h"
#include "output/BatchRun.h"
#include "output/Output.h"
#include "output/OutputNaming.h"
#include "platform/Files.h"
#include "windows/SaveExportDialog.h"

namespace lumbrook {

namespace {

// The window's setting of the dialog's "Attachments beside the page".
const QString ExportAttachmentsKey = QStringLiteral("exportAttachments");

std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
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
    // The completion box: its text for N messages done, under Caption.
    std::function<QString(int done)> completion;
    QString caption;
    // Saving and export let pending window messages run before each message;
    // printing lets them run while it waits for its page.
    bool letMessagesRun = false;
    // Before the walk; false ends the batch without a completion box.
    std::function<bool()> setUp;
    // The work for one message; true when it counts as done.
    BatchRun::Work work;
};

BatchCommands::BatchCommands(QWidget& window, MainWindowWidgets& ui, const MailStore& store,
                             const AppPaths& paths, const ListedMessages& listed,
                             TempFiles& tempFiles, Window hooks)
    : window(window),
      ui(ui),
      store(store),
      paths(paths),
      listed(listed),
      tempFiles(tempFiles),
      hooks(std::move(hooks)) {}

BatchCommands::~BatchCommands() = default;

// A message's text for a batch, through the batch's one reader of its folder file (a
// block two messages claim is the later one's damage). One found damaged is marked
// in the list and named in the completion box.
MessageText BatchCommands::readMessage(const MessageInfo& record) {
    MessageText text;
    if (record.origin == MessageOrigin::Listed) {
        auto reader = batch.readers.find(batch.file);
        if (reader == batch.readers.end())
            reader = batch.readers.try_emplace(batch.file, store, batch.file).first;
        text = reader->second.read(static_cast<std::int32_t>(record.dataOffset));
    } else {
        // Messages the scan found are read as it found them, not through the index's reader.
        text = hooks.readMessage(record, batch.file);
    }
    if (!text.whole) {
        batch.damaged.push_back(tr("\"%1\" at offset %2: %3")
                                    .arg(QString::fromStdString(store.toUtf8(record.subject)),
                                         QString::number(record.dataOffset),
                                         QString::fromStdString(text.problem))
                                    .toStdString());
        ui.messageModel->markDamaged(record.dataOffset);
    }
    return text;
}

void BatchCommands::setProgress(std::int32_t percent) {
    ui.progressBar->setValue(percent);
}

void BatchCommands::cancel() {
    if (batch.run) batch.run->cancel();
    batch.cancelRequested = true;
}

MessageList BatchCommands::selectedRecords(std::vector<std::string>* files) const {
    const QItemSelectionModel* selection = ui.messageList->selectionModel();
    MessageList chosen;
    for (int row = 0; row < ui.messageModel->rowCount(); ++row) {
        if (!selection->isRowSelected(row, QModelIndex())) continue;
        const int index = ui.messageModel->recordIndex(row);
        if (index >= 0 && static_cast<std::size_t>(index) < listed.records.size()) {
            chosen.push_back(listed.records[static_cast<std::size_t>(index)]);
            if (files) files->push_back(listed.fileOf(static_cast<std::size_t>(index)));
        }
    }
    return chosen;
}

void BatchCommands::run(const BatchCommand& command) {
    if (batch.active) return;
    // The list changes when a search ends: a batch walks no list that may go.
    if (hooks.searchRunning()) {
        ui.statusText->setText(tr("Cancel the search or let it end first"));
        return;
    }
    batch.active = true;
    batch.cancelRequested = false;
    ui.cancelAction->setEnabled(true);
    // However the batch ends, by an error too, the window is idle again before
    // anything is reported: bar empty, Cancel off, the next batch possible.
    const OnExit idle([this] {
        setProgress(0);
        ui.cancelAction->setEnabled(false);
        batch.run = nullptr;
        batch.readers.clear();  // no folder file held open between batches
        batch.active = false;
    });
    try {
        if (hooks.firstSelectedRow() < 0) return;
        if (!command.setUp()) return;
        // The selection as it is now; folder changes wait for the batch
        // (onFolderClicked), so the records stay as they are.
        std::vector<std::string> files;  // each message's folder file, in the same order
        BatchRun walk(selectedRecords(&files));
        batch.damaged.clear();
        batch.readers.clear();
        if (walk.total() == 0) return;
        if (batch.cancelRequested) walk.cancel();
        batch.run = &walk;
        // The walk takes the messages one by one in their order: the n-th call is
        // the n-th message, whose folder file its reader is to read.
        std::size_t position = 0;
        walk.run(
            [&](const MessageInfo& record) {
                batch.file = position < files.size() ? files[position] : listed.file;
                ++position;
                return command.work(record);
            },
            [this](std::int32_t percent) { setProgress(percent); },
            command.letMessagesRun ? BatchRun::BeforeEach([] { QCoreApplication::processEvents(); })
                                   : BatchRun::BeforeEach());
        setProgress(0);
        // A window closed under the batch (the quit button, the close box) ends
        // the program: no report after it.
        if (window.isVisible()) {
            QString text = command.completion(static_cast<int>(walk.done()));
            if (!batch.damaged.empty()) {
                text += QStringLiteral("\n\n") +
                        tr("%n messages could not be read whole:", nullptr,
                           static_cast<int>(batch.damaged.size()));
                for (const std::string& line : batch.damaged)
                    text += QStringLiteral("\n") + QString::fromStdString(line);
            }
            showMessageBox(&window, QMessageBox::Information, command.caption, text);
        }
    } catch (const BatchAbandoned&) {
    }
}

// ---------------------------------------------------------------------------------
// Printing

BatchCommand BatchCommands::printCommand() {
    BatchCommand command;
    command.completion = [](int done) {
        return tr("There became %n messages printed!", nullptr, done);
    };
    command.caption = tr("Printing finished");
    command.work = [this](const MessageInfo& record) { return printOne(record); };
    return command;
}

void BatchCommands::print() {
    BatchCommand command = printCommand();
    command.setUp = [this] {
        const bool dateInName = !saveDialog() || saveDialog()->dateInNames->isChecked();
        if (!ui.messagePrinter->prepare(&window, dateInName)) return false;
        forcePrivateDirectories(paths.workDir);
        return true;
    };
    // The preview is never touched by printing: it shows what it showed before.
    run(command);
}

void BatchCommands::printToPdf() {
    // The same pages as printing, into a file chosen for one message, into a
    // directory chosen for several.
    BatchCommand command = printCommand();
    command.setUp = [this] {
        const bool dateInName = !saveDialog() || saveDialog()->dateInNames->isChecked();
        const MessageList chosen = selectedRecords();
        if (chosen.empty()) return false;
        QFileDialog dialog(&window, tr("Print to PDF"));
        dialog.setObjectName(QStringLiteral("printPdfDialog"));
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        if (chosen.size() == 1) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setNameFilter(tr("PDF files (*.pdf)"));
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
            ui.messagePrinter->preparePdf({}, target, dateInName);
        } else {
            ui.messagePrinter->preparePdf(target, {}, dateInName);
        }
        forcePrivateDirectories(paths.workDir);
        return true;
    };
    run(command);
}

bool BatchCommands::printOne(const MessageInfo& record) {
    const MessageText text = readMessage(record);
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
    Design design = hooks.design();
    design.apply = true;
    // One parse for the page and the list of the attachments it does not show.
    MailMessage message;
    message.loadText(raw);
    message.locateBodies();
    design.underHeaderTable = attachmentListHtml(listedAttachments(message, store.codePage().name()));
    const std::string page =
        renderMessagePage(message, record, design, paths.workDir, "print.htm", &pageFiles);
    ui.messagePrinter->print(page, record);
    return text.whole;
}

void BatchCommands::printerSetup() {
    ui.messagePrinter->changeSetup(&window);
}

// ---------------------------------------------------------------------------------
// Saving and export

void BatchCommands::save() {
    std::string dir;
    bool dateInName = true;
    OutputNames names;  // the batch's: each name's next suffix is remembered
    BatchCommand command;
    command.completion = [](int done) {
        return tr("There became %n messages saved!", nullptr, done);
    };
    command.caption = tr("Saving finished");
    command.letMessagesRun = true;
    command.setUp = [&] {
        if (!saveDialog()) return false;
        // None of the format options concerns saving; the text option is switched off.
        saveDialog()->textFormat->setEnabled(false);
        saveDialog()->attachmentsBeside->setEnabled(false);
        if (showModal(*saveDialog()) != QDialog::Accepted) return false;
        dir = prepareOutputDir(pathBytes(saveDialog()->directoryEdit->text()));
        dateInName = saveDialog()->dateInNames->isChecked();
        return true;
    };
    command.work = [&](const MessageInfo& record) {
        const MessageText text = readMessage(record);
        // What is there of a damaged message is saved, marked and not counted.
        if (text.text.empty()) return false;
        try {
            saveMessageAsEml(dir, record, text.text, dateInName, names, !text.whole);
            return text.whole;
        } catch (const SaveFailedError& failure) {
            // Saving's own message; the batch goes on with the next message.
            showMessageBox(&window, QMessageBox::Critical, QString(), errorText(failure));
            return false;
        }
    };
    run(command);
}

void BatchCommands::exportSelected() {
    ExportSettings settings;
    BatchCommand command;
    command.completion = [](int done) {
        return tr("There became %n messages exported!", nullptr, done);
    };
    command.caption = tr("Export finished");
    command.letMessagesRun = true;
    command.setUp = [&] {
        if (!saveDialog()) return false;
        saveDialog()->textFormat->setEnabled(true);
        QCheckBox* attachments = saveDialog()->attachmentsBeside;
        attachments->setEnabled(true);
        attachments->setChecked(windowSettings().value(ExportAttachmentsKey, true).toBool());
        if (showModal(*saveDialog()) != QDialog::Accepted) return false;
        settings.attachments = attachments->isChecked();
        windowSettings().setValue(ExportAttachmentsKey, settings.attachments);
        settings.dir = prepareOutputDir(pathBytes(saveDialog()->directoryEdit->text()));
        settings.dateInName = saveDialog()->dateInNames->isChecked();
        settings.format = saveDialog()->htmlFormat->isChecked()   ? ExportFormat::AlwaysHtml
                          : saveDialog()->textFormat->isChecked() ? ExportFormat::AlwaysText
                                                                  : ExportFormat::SameAsMail;
        return true;
    };
    command.work = [&](const MessageInfo& record) {
        const MessageText text = readMessage(record);
        if (text.text.empty()) return false;
        // The options strip is read for each message, as the preview reads it.
        settings.design = hooks.design();
        exportMessage(settings, record, text.text, !text.whole);
        // Parts the page could not have (a Content-ID that is a path) are reported;
        // the page is written and the export goes on.
        for (const FileCreateError& problem : settings.problems)
            reportError(&window, errorText(problem));
        settings.problems.clear();
        return text.whole;
    };
    run(command);
}

// ---------------------------------------------------------------------------------
// Dragging messages out

QMimeData* BatchCommands::dragData(const std::vector<int>& recordIndexes) {
    // Each drag writes its files afresh; the previous drag's files are gone by then.
    dragDir = std::make_unique<QTemporaryDir>();
    if (!dragDir->isValid()) return nullptr;
    const std::string dir = QFile::encodeName(dragDir->path()).toStdString() + "/";
    const bool dateInName = !saveDialog() || saveDialog()->dateInNames->isChecked();
    QList<QUrl> urls;
    for (const int index : recordIndexes) {
        if (index < 0 || static_cast<std::size_t>(index) >= listed.records.size()) continue;
        const MessageInfo& record = listed.records[static_cast<std::size_t>(index)];
        const std::string raw =
            hooks.readMessage(record, listed.fileOf(static_cast<std::size_t>(index))).text;
        const std::string path = saveMessageAsEml(dir, record, raw, dateInName);
        urls.push_back(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
    }
    if (urls.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

}  // namespace lumbrook
