#include "windows/UploadDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "windows/BackgroundJob.h"
#include "windows/FolderCheckTree.h"

namespace lumbrook {

namespace {

QString uploadErrorText(const UploadError& e, const ImapAccount& account) {
    const QString detail = QString::fromStdString(e.detail());
    const QString host = QString::fromStdString(account.host);
    switch (e.kind()) {
        case UploadErrorKind::Connect:
            return UploadDialog::tr("%1 cannot be reached: %2").arg(host, detail);
        case UploadErrorKind::Certificate:
            return UploadDialog::tr("The certificate of %1 is not trusted (%2). Nothing was uploaded.")
                .arg(host, detail);
        case UploadErrorKind::Login:
            return UploadDialog::tr("The server refused the login (%1). Please check the user name and password.")
                .arg(detail);
        case UploadErrorKind::Connection:
            return UploadDialog::tr("The connection to %1 broke: %2. Upload again to go on.").arg(host, detail);
        case UploadErrorKind::Server:
            return UploadDialog::tr("The server refused: %1").arg(detail);
        case UploadErrorKind::Record:
            return UploadDialog::tr("The upload record: %1").arg(detail);
    }
    return detail;
}

}  // namespace

UploadDialog::UploadDialog(const MailStore& store, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Upload to mail server"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    server = new QLineEdit(this);
    server->setPlaceholderText(tr("imap.example.org"));
    form->addRow(tr("Server:"), server);
    security = new QComboBox(this);
    security->addItem(tr("TLS (port 993)"));
    security->addItem(tr("STARTTLS (port 143)"));
    form->addRow(tr("Security:"), security);
    port = new QSpinBox(this);
    port->setRange(1, 65535);
    port->setValue(993);
    form->addRow(tr("Port:"), port);
    user = new QLineEdit(this);
    form->addRow(tr("User:"), user);
    password = new QLineEdit(this);
    password->setEchoMode(QLineEdit::Password);
    form->addRow(tr("Password:"), password);
    prefix = new QLineEdit(this);
    prefix->setPlaceholderText(tr("(optional) Old mail/Outlook Express"));
    form->addRow(tr("Into folder:"), prefix);
    caFile = new QLineEdit(this);
    caFile->setPlaceholderText(tr("(optional) certificate authority file for a private server"));
    form->addRow(tr("CA file:"), caFile);
    column->addLayout(form);
    deletedMessages = new QCheckBox(tr("Also the deleted messages the folder files still hold"), this);
    column->addWidget(deletedMessages);

    column->addWidget(new QLabel(tr("Folders:"), this));
    tree = new FolderCheckTree(storeFolders(store), this);
    column->addWidget(tree, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    okButton->setText(tr("Upload"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(security, &QComboBox::currentIndexChanged, this, &UploadDialog::onSecurityChanged);
    for (QLineEdit* field : {server, user, password})
        connect(field, &QLineEdit::textChanged, this, &UploadDialog::updateOk);
    column->addWidget(buttons);
    updateOk();
    resize(480, 620);
}

void UploadDialog::onSecurityChanged(int index) {
    // The usual port of the other kind, unless the user chose one of his own.
    if (port->value() == 993 || port->value() == 143) port->setValue(index == 0 ? 993 : 143);
}

void UploadDialog::updateOk() {
    okButton->setEnabled(!server->text().trimmed().isEmpty() && !user->text().trimmed().isEmpty() &&
                         !password->text().isEmpty());
}

UploadOptions UploadDialog::options() const {
    UploadOptions o;
    o.account.security = security->currentIndex() == 0 ? ImapSecurity::Tls : ImapSecurity::StartTls;
    o.account.host = server->text().trimmed().toStdString();
    o.account.port = static_cast<std::uint16_t>(port->value());
    o.account.user = user->text().trimmed().toStdString();
    std::string folder = prefix->text().trimmed().toStdString();
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    while (!folder.empty() && folder.front() == '/') folder.erase(0, 1);
    o.account.prefix = folder;
    o.credentials.password = password->text().toStdString();
    o.caFile = caFile->text().trimmed().toStdString();
    o.deletedMessages = deletedMessages->isChecked();
    o.include = tree->includeChecked();
    return o;
}

UploadOutcome runUpload(const MailStore& store, const UploadOptions& options, QWidget* parent) {
    QProgressDialog progress(UploadDialog::tr("Connecting to %1...").arg(QString::fromStdString(options.account.host)),
                             UploadDialog::tr("Cancel"), 0, 1000, parent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    UploadReport report;
    QString error;
    UploadCancel cancel;
    // An upload talks to a server for minutes or hours: off the window's thread,
    // which shows the progress and takes the Cancel meanwhile. The report and the
    // error are read only once the thread has ended.
    BackgroundJob job;
    QEventLoop waiting;
    QObject::connect(&job, &BackgroundJob::finished, &waiting, &QEventLoop::quit);
    QObject::connect(&progress, &QProgressDialog::canceled, &job, [&job, &cancel] {
        cancel.ask();
        job.cancel();
    });
    const auto started = std::chrono::steady_clock::now();
    job.start([&](const BackgroundJob::Context& context) -> std::function<void()> {
        auto lastShown = std::chrono::steady_clock::time_point{};
        try {
            report = lumbrook::uploadStore(
                store, options,
                [&](const UploadProgress& p) {
                    const auto now = std::chrono::steady_clock::now();
                    if (now - lastShown < std::chrono::milliseconds(200) && p.messagesDone < p.messagesTotal) return;
                    lastShown = now;
                    const int permille =
                        static_cast<int>(p.bytesDone * 1000 / std::max<std::uint64_t>(1, p.bytesTotal));
                    const double seconds = std::chrono::duration<double>(now - started).count();
                    const double mb = static_cast<double>(p.bytesDone) / 1e6;
                    const double rate = seconds > 0 ? mb / seconds : 0;
                    const QString text = UploadDialog::tr("%1 of %2 messages, %3 of %4 MB, %5 MB/s")
                                             .arg(p.messagesDone)
                                             .arg(p.messagesTotal)
                                             .arg(mb, 0, 'f', 1)
                                             .arg(static_cast<double>(p.bytesTotal) / 1e6, 0, 'f', 1)
                                             .arg(rate, 0, 'f', 1);
                    context.deliver([&progress, permille, text] {
                        progress.setLabelText(text);
                        progress.setValue(std::min(999, permille));
                    });
                },
                &cancel);
        } catch (const UploadError& e) {
            error = uploadErrorText(e, options.account);
        } catch (const std::exception& e) {
            error = QString::fromStdString(e.what());
        }
        return {};
    });
    progress.setValue(0);
    if (job.running()) waiting.exec();
    // The program quitting ends the wait early: the upload stops after the batch in hand.
    cancel.ask();
    job.cancel();
    job.stop();
    progress.reset();

    QString text;
    bool whole = error.isEmpty();
    if (!error.isEmpty()) {
        text = error;
    } else {
        text = UploadDialog::tr("%n messages uploaded, %1 uploaded before, %2 already on the server, in %3 folders.",
                                nullptr, static_cast<int>(report.uploaded))
                   .arg(report.alreadyRecorded)
                   .arg(report.foundOnServer)
                   .arg(report.folders);
        if (report.cancelled) text += UploadDialog::tr("\nCancelled: upload again to go on.");
        if (report.leftBehind > 0 && !report.cancelled)
            text += UploadDialog::tr("\n%n messages are not on the server yet: upload again to go on.", nullptr,
                                     static_cast<int>(report.leftBehind));
        appendReportLines(text, UploadDialog::tr("%n were refused by the server:", nullptr, static_cast<int>(report.refused.size())),
             report.refused);
        appendReportLines(text, UploadDialog::tr("%n could not be uploaded:", nullptr, static_cast<int>(report.failures.size())),
             report.failures);
        appendReportLines(text,
             UploadDialog::tr("%n could not be read whole and were uploaded as far as they could be read:", nullptr,
                              static_cast<int>(report.damaged.size())),
             report.damaged);
        whole = report.complete() && report.damaged.empty();
    }
    return {text, whole};
}

void uploadStore(const MailStore& store, QWidget* parent) {
    UploadDialog dialog(store, parent);
    if (dialog.exec() != QDialog::Accepted) return;
    const UploadOutcome outcome = runUpload(store, dialog.options(), parent);
    if (outcome.whole)
        QMessageBox::information(parent, UploadDialog::tr("Upload to mail server"), outcome.text);
    else
        QMessageBox::warning(parent, UploadDialog::tr("Upload to mail server"), outcome.text);
}

QAction* addUploadAction(QAction* after, QWidget* window, std::function<const MailStore&()> store,
                         std::function<bool()> mayStart) {
    auto* action = new QAction(UploadDialog::tr("Upload to mail server..."), window);
    action->setObjectName(QStringLiteral("uploadStoreAction"));
    action->setStatusTip(UploadDialog::tr("The store's folders into a mail account over IMAP, flags and dates kept"));
    action->setEnabled(after->isEnabled());
    QObject::connect(after, &QAction::enabledChanged, action, &QAction::setEnabled);
    for (QObject* holder : after->associatedObjects()) {
        auto* menu = qobject_cast<QMenu*>(holder);
        if (!menu) continue;
        const QList<QAction*> actions = menu->actions();
        const qsizetype at = actions.indexOf(after);
        menu->insertAction(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr, action);
    }
    QObject::connect(action, &QAction::triggered, window, [window, store = std::move(store), mayStart = std::move(mayStart)] {
        if (mayStart && !mayStart()) return;
        uploadStore(store(), window);
    });
    return action;
}

}  // namespace lumbrook
