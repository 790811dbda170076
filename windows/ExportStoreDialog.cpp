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
#include "windows/SaveExportDialog.h"

namespace lumbrook {

ExportStoreDialog::ExportStoreDialog(const MailStore& store, QWidget* parent)
    : QDialog(parent), folders(storeFolders(store)) {
    setWindowTitle(QStringLiteral("Export store"));
    auto* column = new QVBoxLayout(this);

    auto* formatRow = new QHBoxLayout;
    formats = new QButtonGroup(this);
    const std::pair<MailboxFormat, const char*> choices[] = {
        {MailboxFormat::Mbox, "mbox (Thunderbird)"},
        {MailboxFormat::Maildir, "Maildir"},
        {MailboxFormat::Eml, ".eml files"}};
    for (const auto& [format, caption] : choices) {
        auto* button = new QRadioButton(QString::fromUtf8(caption), this);
        formats->addButton(button, static_cast<int>(format));
        formatRow->addWidget(button);
    }
    formats->button(static_cast<int>(MailboxFormat::Mbox))->setChecked(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Format:"), formatRow);
    destination = new DirectoryEdit(this);
    form->addRow(QStringLiteral("Into directory:"), destination);
    column->addLayout(form);

    column->addWidget(new QLabel(QStringLiteral("Folders:"), this));
    tree = new QTreeWidget(this);
    tree->setHeaderHidden(true);
    std::vector<QTreeWidgetItem*> items;
    for (const StoreFolder& f : folders) {
        auto* item = f.parent < 0 ? new QTreeWidgetItem(tree) : new QTreeWidgetItem(items[f.parent]);
        item->setText(0, QString::fromStdString(f.name));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        item->setCheckState(0, Qt::Checked);
        items.push_back(item);
    }
    tree->expandAll();
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
    // Tree items stand in the folders' order, depth first.
    std::vector<bool> checked;
    std::vector<QTreeWidgetItem*> stack;
    for (int i = tree->topLevelItemCount(); i-- > 0;) stack.push_back(tree->topLevelItem(i));
    while (!stack.empty()) {
        QTreeWidgetItem* item = stack.back();
        stack.pop_back();
        checked.push_back(item->checkState(0) != Qt::Unchecked);
        for (int i = item->childCount(); i-- > 0;) stack.push_back(item->child(i));
    }
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < folders.size() && i < checked.size(); ++i)
        if (checked[i]) paths.push_back(folders[i].path);
    o.include = [paths](const StoreFolder& f) {
        return std::find(paths.begin(), paths.end(), f.path) != paths.end();
    };
    return o;
}

void exportStore(const MailStore& store, QWidget* parent) {
    ExportStoreDialog dialog(store, parent);
    if (dialog.exec() != QDialog::Accepted) return;
    const ConversionOptions options = dialog.options();

    QProgressDialog progress(QStringLiteral("Exporting the store..."), QStringLiteral("Cancel"), 0,
                             1000, parent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    ConversionReport report;
    std::string error;
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
            error = e.what();
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
    if (!error.empty()) {
        text = QString::fromStdString(error);
    } else {
        text = QStringLiteral("%1 messages written, %2 already there, in %3 folders.")
                   .arg(report.written)
                   .arg(report.alreadyThere)
                   .arg(report.folders);
        if (report.cancelled) text += QStringLiteral("\nCancelled: run it again to go on.");
        if (!report.failures.empty()) {
            text += QStringLiteral("\n%1 could not be written:").arg(report.failures.size());
            for (std::size_t i = 0; i < report.failures.size() && i < 10; ++i)
                text += QStringLiteral("\n") + QString::fromStdString(report.failures[i]);
        }
    }
    QMessageBox::information(parent, QStringLiteral("Export store"), text);
}

}  // namespace lumbrook
