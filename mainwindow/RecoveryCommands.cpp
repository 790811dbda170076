// The deleted and orphaned messages of MainWindow: the View menu's switch, the
// scan of the folder listed (RecoveredMessages), the rows it adds and the status
// bar's word on a folder whose index cannot be read.

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/RecoveredMessages.h"
#include "store/StoreFile.h"

namespace lumbrook {

namespace {
const QString ShowRecoveredKey = QStringLiteral("showRecovered");
}  // namespace

void MainWindow::createRecoveryControls(QStatusBar* bar) {
    showRecoveredAction = new QAction(QStringLiteral("Show deleted and orphaned messages"), this);
    showRecoveredAction->setObjectName(QStringLiteral("showRecoveredAction"));
    showRecoveredAction->setToolTip(
        QStringLiteral("Also list the messages the folder's file holds but its index does not"));
    showRecoveredAction->setCheckable(true);
    showRecoveredAction->setChecked(windowSettings().value(ShowRecoveredKey, false).toBool());

    recoveryStatus = new QLabel(bar);
    recoveryStatus->setObjectName(QStringLiteral("recoveryStatus"));
    recoverButton = new QToolButton(bar);
    recoverButton->setObjectName(QStringLiteral("recoverButton"));
    recoverButton->setText(QStringLiteral("Look for its messages"));
    recoverButton->setAutoRaise(true);
    recoverButton->hide();
    bar->addWidget(recoveryStatus);
    bar->addWidget(recoverButton);

    recoveryScanner = new RecoveryScanner(this);
    connect(recoveryScanner, &RecoveryScanner::progressed, recoveryStatus, &QLabel::setText);
    connect(recoveryScanner, &RecoveryScanner::failed, this, [this](const QString& problem) {
        recoveryStatus->setText(QStringLiteral("The search for deleted messages failed: ") +
                                problem);
    });
    connect(recoveryScanner, &RecoveryScanner::finished, this,
            [this](std::shared_ptr<const RecoveredFolder> found) {
                runReported(this, [&] { addRecovered(std::move(found)); });
            });
    connect(showRecoveredAction, &QAction::toggled, this,
            [this](bool on) { runReported(this, [&] { onShowRecovered(on); }); });
    connect(recoverButton, &QToolButton::clicked, showRecoveredAction,
            [this] { showRecoveredAction->setChecked(true); });
}

void MainWindow::onShowRecovered(bool show) {
    if (batchActive) {
        // A running batch reads the rows as they were when it began.
        const QSignalBlocker blocker(showRecoveredAction);
        showRecoveredAction->setChecked(!show);
        return;
    }
    windowSettings().setValue(ShowRecoveredKey, show);
    // Search results are not a folder: the choice counts when a folder is listed again.
    if (searchView) return;
    if (show) {
        listRecovered();
        return;
    }
    forgetRecovered();
    changeRecords([this] {
        std::erase_if(records,
                      [](const MessageInfo& m) { return m.origin != MessageOrigin::Listed; });
    });
    listRecovered();  // the word on an unreadable index comes back
}

void MainWindow::forgetRecovered() {
    recoveryScanner->stop();
    recovered.reset();
    recoveryStatus->clear();
    recoverButton->hide();
}

void MainWindow::listRecovered() {
    forgetRecovered();
    if (searchView || listedFile.empty() || listedNode == nullptr) return;
    MessageList listed;
    for (const MessageInfo& m : records)
        if (m.origin == MessageOrigin::Listed) listed.push_back(m);
    if (showRecoveredAction->isChecked()) {
        recoveryStatus->setText(QStringLiteral("Looking for deleted messages..."));
        recoveryScanner->start(store, listedFile, listed);
        return;
    }
    const auto file = StoreFile::tryOpen(store.filePath(listedFile));
    if (!file) return;
    switch (indexStateOf(*file, listed.size())) {
        case IndexState::Readable:
            return;
        case IndexState::Unreadable:
            recoveryStatus->setText(QStringLiteral("The index of this folder cannot be read."));
            break;
        case IndexState::EmptyWithData:
            recoveryStatus->setText(
                QStringLiteral("The index of this folder lists nothing, but its file holds data."));
            break;
    }
    recoverButton->show();
}

void MainWindow::addRecovered(std::shared_ptr<const RecoveredFolder> found) {
    // A result for a folder listed before, or after the switch went off, is stale.
    if (!found || searchView || found->fileName != listedFile || !showRecoveredAction->isChecked())
        return;
    recovered = found;
    changeRecords(
        [&] { records.insert(records.end(), found->records.begin(), found->records.end()); });
    std::size_t deleted = 0;
    for (std::size_t i = 0; i < found->found.size(); ++i) {
        if (found->found[i].kind == RecoveredMessage::Kind::Deleted) ++deleted;
        // A chain cut short is damaged before anyone reads it.
        if (!found->found[i].complete) messageModel->markDamaged(found->records[i].dataOffset);
    }
    const std::size_t orphaned = found->found.size() - deleted;
    recoveryStatus->setText(found->found.empty()
                                ? QStringLiteral("No deleted or orphaned messages found.")
                                : QStringLiteral("Found %1 deleted and %2 orphaned messages.")
                                      .arg(deleted)
                                      .arg(orphaned));
}

void MainWindow::changeRecords(const std::function<void()>& change) {
    // The rows of listed messages keep their selection and damaged marks: the
    // records of the index stay in front, at the same indexes.
    std::vector<int> selected;
    std::vector<std::int32_t> damaged;
    for (int row = 0; row < messageModel->rowCount(); ++row) {
        const int index = messageModel->recordIndex(row);
        if (index < 0 || static_cast<std::size_t>(index) >= records.size()) continue;
        const MessageInfo& m = records[static_cast<std::size_t>(index)];
        if (m.origin != MessageOrigin::Listed) continue;
        if (messageList->selectionModel()->isRowSelected(row, QModelIndex()))
            selected.push_back(index);
        if (messageModel->isMarkedDamaged(m.dataOffset)) damaged.push_back(m.dataOffset);
    }
    messageModel->beginUpdate();
    try {
        change();
    } catch (...) {
        messageModel->endUpdate(&records);
        throw;
    }
    messageModel->endUpdate(&records);
    for (const std::int32_t offset : damaged) messageModel->markDamaged(offset);
    QItemSelection selection;
    for (const int index : selected) {
        const int row = messageModel->rowOfRecord(index);
        if (row >= 0)
            selection.select(messageModel->index(row, 0),
                             messageModel->index(row, messageModel->columnCount() - 1));
    }
    if (!selection.isEmpty())
        messageList->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

MessageText MainWindow::readListedMessage(const MessageInfo& record, const std::string& file) {
    if (record.origin == MessageOrigin::Listed) return store.readMessage(file, record.dataOffset);
    const RecoveredMessage* found = recovered ? recovered->find(record) : nullptr;
    if (!found) return {{}, false, "The message is no longer listed."};
    return readRecoveredMessage(store, listedFile, *found);
}

}  // namespace lumbrook
