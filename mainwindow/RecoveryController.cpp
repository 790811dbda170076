#include "mainwindow/RecoveryController.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSettings>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <utility>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/ListedMessages.h"
#include "mainwindow/MainWindowWidgets.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/WindowSettings.h"
#include "store/StoreFile.h"

namespace lumbrook {

namespace {
const QString ShowRecoveredKey = QStringLiteral("showRecovered");
}  // namespace

RecoveryController::RecoveryController(QWidget& window, MainWindowWidgets& ui,
                                       const MailStore& store, ListedMessages& listed, Window hooks)
    : QObject(&window),
      window(window),
      ui(ui),
      store(store),
      listed(listed),
      hooks(std::move(hooks)) {
    connect(ui.showRecoveredAction, &QAction::toggled, this,
            [this](bool on) { runReported(&this->window, [&] { onShowRecovered(on); }); });
    connect(ui.recoverButton, &QToolButton::clicked, ui.showRecoveredAction,
            [action = ui.showRecoveredAction] { action->setChecked(true); });
}

void RecoveryController::onShowRecovered(bool show) {
    if (hooks.batchRunning()) {
        // A running batch reads the rows as they were when it began.
        const QSignalBlocker blocker(ui.showRecoveredAction);
        ui.showRecoveredAction->setChecked(!show);
        return;
    }
    windowSettings().setValue(ShowRecoveredKey, show);
    // Search results are not a folder: the choice counts when a folder is listed again.
    if (hooks.showingSearchResults()) return;
    if (show) {
        listRecovered();
        return;
    }
    forgetRecovered();
    changeRecords([this] {
        std::erase_if(listed.records,
                      [](const MessageInfo& m) { return m.origin != MessageOrigin::Listed; });
    });
    listRecovered();  // the word on an unreadable index comes back
}

void RecoveryController::forgetRecovered() {
    scan.stop();
    recovered.reset();
    damage = IndexDamage::None;
    ui.recoveryStatus->clear();
    ui.recoverButton->hide();
}

QString RecoveryController::damageText() const {
    switch (damage) {
        case IndexDamage::None:
            break;
        case IndexDamage::EmptyWithData:
            return tr("The index of this folder lists nothing, but its file holds data.");
        case IndexDamage::CountsMore:
            return tr("The index of this folder lists fewer messages than its file counts.");
        case IndexDamage::Unreadable:
        case IndexDamage::Failed:
            return tr("The index of this folder cannot be read.");
    }
    return {};
}

void RecoveryController::listRecovered() {
    forgetRecovered();
    if (hooks.showingSearchResults() || listed.file.empty() || listed.node == nullptr) return;
    // Rows a scan added before (a damaged folder's, before the switch) make way for
    // the new scan's.
    if (std::any_of(listed.records.begin(), listed.records.end(),
                    [](const MessageInfo& m) { return m.origin != MessageOrigin::Listed; }))
        changeRecords([this] {
            std::erase_if(listed.records,
                          [](const MessageInfo& m) { return m.origin != MessageOrigin::Listed; });
        });
    MessageList listedRecords;
    for (const MessageInfo& m : listed.records)
        if (m.origin == MessageOrigin::Listed) listedRecords.push_back(m);
    // The header and the index alone tell a damaged folder: a healthy one is not scanned.
    if (const auto file = StoreFile::tryOpen(store.filePath(listed.file)))
        damage = indexDamageOf(*file, listedRecords.size());
    if (ui.showRecoveredAction->isChecked()) {
        ui.recoveryStatus->setText(tr("Looking for deleted messages..."));
        startScan(listedRecords);
        return;
    }
    if (damage == IndexDamage::None) return;
    ui.recoveryStatus->setText(damageText());
    // The switch adds the deleted ones.
    ui.recoverButton->show();
    startScan(listedRecords);
}

void RecoveryController::startScan(const MessageList& listedRecords) {
    // The thread has copies of all it reads: the store's copy shares only the code
    // page, and the scan's conversions have their own converters.
    scan.start([this, reader = store, fileName = listed.file,
                listedRecords](const BackgroundJob::Context& context) -> std::function<void()> {
        try {
            const StoreFile file(reader.filePath(fileName));
            ScanOptions options;
            int lastPercent = -1;
            options.progress = [&](std::uint64_t done, std::uint64_t total) {
                const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
                if (percent != lastPercent) {
                    lastPercent = percent;
                    context.deliver([this, percent] {
                        const QString looking =
                            tr("Looking for deleted messages: %1 %").arg(percent);
                        ui.recoveryStatus->setText(damage == IndexDamage::None
                                                       ? looking
                                                       : damageText() + QLatin1Char(' ') + looking);
                    });
                }
                return !context.stopRequested();
            };
            auto result = std::make_shared<RecoveredFolder>(findRecoveredMessages(
                file, listedRecords, reader.codePage(), options, context.stop()));
            if (context.stopRequested()) return {};
            result->fileName = fileName;
            return [this, result] { runReported(&window, [&] { addRecovered(result); }); };
        } catch (const std::exception& e) {
            const QString problem = errorText(e);
            return [this, problem] {
                ui.recoveryStatus->setText(tr("The search for deleted messages failed: ") +
                                           problem);
            };
        }
    });
}

void RecoveryController::addRecovered(std::shared_ptr<const RecoveredFolder> found) {
    // A result for a folder listed before, or after the switch went off on a folder
    // read whole, is stale.
    const bool showDeleted = ui.showRecoveredAction->isChecked();
    if (!found || hooks.showingSearchResults() || found->fileName != listed.file ||
        (!showDeleted && damage == IndexDamage::None))
        return;
    if (!showDeleted) {
        // A damaged folder's own lost messages only; the deleted ones wait for the switch.
        auto orphaned = std::make_shared<RecoveredFolder>();
        orphaned->fileName = found->fileName;
        for (std::size_t i = 0; i < found->records.size() && i < found->found.size(); ++i) {
            if (found->records[i].origin == MessageOrigin::Deleted) continue;
            orphaned->records.push_back(found->records[i]);
            orphaned->found.push_back(found->found[i]);
        }
        found = std::move(orphaned);
    }
    recovered = found;
    changeRecords([&] {
        listed.records.insert(listed.records.end(), found->records.begin(), found->records.end());
    });
    std::size_t deleted = 0;
    for (std::size_t i = 0; i < found->found.size(); ++i) {
        if (found->found[i].kind == RecoveredMessage::Kind::Deleted) ++deleted;
        // A chain cut short is damaged before anyone reads it.
        if (!found->found[i].complete) ui.messageModel->markDamaged(found->records[i].dataOffset);
    }
    const std::size_t orphaned = found->found.size() - deleted;
    QString text;
    if (!showDeleted)
        text = tr("%1 more messages were found in its file.").arg(orphaned);
    else
        text = found->found.empty()
                   ? tr("No deleted or orphaned messages found.")
                   : tr("Found %1 deleted and %2 orphaned messages.").arg(deleted).arg(orphaned);
    ui.recoveryStatus->setText(damage == IndexDamage::None ? text
                                                           : damageText() + QLatin1Char(' ') + text);
}

void RecoveryController::changeRecords(const std::function<void()>& change) {
    // The rows of listed messages keep their selection and damaged marks: the
    // records of the index stay in front, at the same indexes.
    MessageListModel& model = *ui.messageModel;
    QItemSelectionModel& selectionModel = *ui.messageList->selectionModel();
    std::vector<int> selected;
    std::vector<std::int64_t> damaged;
    for (int row = 0; row < model.rowCount(); ++row) {
        const int index = model.recordIndex(row);
        if (index < 0 || static_cast<std::size_t>(index) >= listed.records.size()) continue;
        const MessageInfo& m = listed.records[static_cast<std::size_t>(index)];
        if (m.origin != MessageOrigin::Listed) continue;
        if (selectionModel.isRowSelected(row, QModelIndex())) selected.push_back(index);
        if (model.isMarkedDamaged(m.dataOffset)) damaged.push_back(m.dataOffset);
    }
    model.beginUpdate();
    try {
        change();
    } catch (...) {
        model.endUpdate(&listed.records);
        throw;
    }
    model.endUpdate(&listed.records);
    for (const std::int64_t offset : damaged) model.markDamaged(offset);
    QItemSelection selection;
    for (const int index : selected) {
        const int row = model.rowOfRecord(index);
        if (row >= 0)
            selection.select(model.index(row, 0), model.index(row, model.columnCount() - 1));
    }
    if (!selection.isEmpty()) selectionModel.select(selection, QItemSelectionModel::ClearAndSelect);
}

MessageText RecoveryController::readMessage(const MessageInfo& record,
                                            const std::string& file) const {
    if (record.origin == MessageOrigin::Listed)
        return store.readMessage(file, static_cast<std::int32_t>(record.dataOffset));
    const RecoveredMessage* message =
        recovered && recovered->fileName == file ? recovered->find(record) : nullptr;
    if (message) return readRecoveredMessage(store, file, *message);
    // A found row of another list (search results): its chain followed on its own,
    // as lumbrook-cli text reads it.
    if (record.dataOffset > 0) {
        const StoreFile source(store.filePath(file));
        if (const auto chain = describeChainAt(source, static_cast<std::uint64_t>(record.dataOffset)))
            return readRecoveredMessage(source, *chain);
    }
    return {{}, false, tr("The message is no longer listed.").toStdString()};
}

}  // namespace lumbrook
