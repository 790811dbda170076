#include "windows/ExportStoreDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "windows/BackgroundJob.h"
#include "windows/FolderCheckTree.h"
#include "windows/SaveExportDialog.h"

namespace lumbrook {

ExportStoreDialog::ExportStoreDialog(const MailStore& store, QWidget* parent)
    : QDialog(parent), folders(storeFolders(store)) {
    setWindowTitle(tr("Export store"));
    auto* column = new QVBoxLayout(this);

    auto* formatRow = new QHBoxLayout;
    formats = new QButtonGroup(this);
    const std::pair<MailboxFormat, const char*> choices[] = {
        {MailboxFormat::Mbox, QT_TR_NOOP("mbox (Thunderbird)")},
        {MailboxFormat::Maildir, QT_TR_NOOP("Maildir")},
        {MailboxFormat::Eml, QT_TR_NOOP(".eml files")}};
    for (const auto& [format, caption] : choices) {
        auto* button = new QRadioButton(tr(caption), this);
        formats->addButton(button, static_cast<int>(format));
        formatRow->addWidget(button);
    }
    formats->button(static_cast<int>(MailboxFormat::Mbox))->setChecked(true);
    auto* form = new QFormLayout;
    form->addRow(tr("Format:"), formatRow);
    destination = new DirectoryEdit(this);
    form->addRow(tr("Into directory:"), destination);
    column->addLayout(form);

    column->addWidget(new QLabel(tr("Folders:"), this));
    tree = new FolderCheckTree(folders, this);
    column->addWidget(tree, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(destination, &DirectoryEdit::changed, this, &ExportStoreDialog::updateOk);
    column->addWidget(buttons);
    updateOk();
    resize(480, 520);
}

void ExportStoreDialog::updateOk() { okButton->setEnabled(!destination->text().trimmed().isEmpty()); }

ConversionOptions ExportStoreDialog::options() const {
    ConversionOptions o;
    o.outDir = destination->text().trimmed().toStdString();
    o.mailbox.format = static_cast<MailboxFormat>(formats->checkedId());
    o.include = tree->includeChecked();
    return o;
}

void exportStore(const MailStore& store, QWidget* parent,
                 std::function<QString(const std::exception&)> wordError) {
    ExportStoreDialog dialog(store, parent);
    if (dialog.exec() != QDialog::Accepted) return;
    ConversionOptions options = dialog.options();
    if (wordError)
        options.wordError = [wordError](const std::exception& e) {
            return wordError(e).toStdString();
        };

    QProgressDialog progress(ExportStoreDialog::tr("Exporting the store..."),
                             ExportStoreDialog::tr("Cancel"), 0, 1000, parent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    ConversionReport report;
    QString error;
    // The walk reads and writes files for minutes on a big store: off the window's
    // thread, which shows the progress and takes the Cancel meanwhile. The report
    // and the error are read only once the thread has ended.
    BackgroundJob job;
    QEventLoop waiting;
    QObject::connect(&job, &BackgroundJob::finished, &waiting, &QEventLoop::quit);
    QObject::connect(&progress, &QProgressDialog::canceled, &job, &BackgroundJob::cancel);
    job.start([&](const BackgroundJob::Context& context) -> std::function<void()> {
        int shown = -1;
        try {
            report = convertStore(
                store, options,
                [&](const ConversionProgress& p) {
                    const int permille = static_cast<int>(p.bytesDone * 1000 /
                                                          std::max<std::uint64_t>(1, p.bytesTotal));
                    if (permille == shown) return;
                    shown = permille;
                    context.deliver(
                        [&progress, permille] { progress.setValue(std::min(999, permille)); });
                },
                context.stop());
        } catch (const std::exception& e) {
            error = wordError ? wordError(e) : QString::fromStdString(e.what());
        }
        return {};
    });
    progress.setValue(0);  // a modal progress dialog lets events run: the walk may be over
    if (job.running()) waiting.exec();
    // The program quitting ends the wait early: the walk stops after the message in hand.
    job.cancel();
    job.stop();
    progress.reset();

    QString text;
    bool whole = error.isEmpty();
    if (!error.isEmpty()) {
        text = error;
    } else {
        text = ExportStoreDialog::tr("%n messages written, %1 already there, in %2 folders.",
                                     nullptr, static_cast<int>(report.written))
                   .arg(report.alreadyThere)
                   .arg(report.folders);
        if (report.cancelled)
            text += ExportStoreDialog::tr("\nCancelled: run it again to go on.");
        appendReportLines(text,
             ExportStoreDialog::tr("%n could not be written:", nullptr,
                                   static_cast<int>(report.failures.size())),
             report.failures);
        appendReportLines(text,
             ExportStoreDialog::tr("%n could not be read whole and were written as far as "
                                   "they could be read:",
                                   nullptr, static_cast<int>(report.damaged.size())),
             report.damaged);
        appendReportLines(text, ExportStoreDialog::tr("Please note:"), report.notices);
        whole = !report.cancelled && report.failures.empty() && report.damaged.empty() &&
                report.damagedFolders.empty();
    }
    if (whole)
        QMessageBox::information(parent, ExportStoreDialog::tr("Export store"), text);
    else
        QMessageBox::warning(parent, ExportStoreDialog::tr("Export store"), text);
}

}  // namespace lumbrook
