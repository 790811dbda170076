#include "mainwindow/MessageListModel.h"

#include <QFont>
#include <QMimeData>
#include <algorithm>
#include <numeric>
#include <set>

#include "platform/CodePage.h"
#include "listing/MessageLabels.h"

namespace lumbrook {

namespace {
const char* const Headings[] = {QT_TRANSLATE_NOOP("lumbrook::MessageListModel", "From:"),
                                QT_TRANSLATE_NOOP("lumbrook::MessageListModel", "To:"),
                                QT_TRANSLATE_NOOP("lumbrook::MessageListModel", "Subject"),
                                QT_TRANSLATE_NOOP("lumbrook::MessageListModel", "Date")};
const char* const FolderHeading = QT_TRANSLATE_NOOP("lumbrook::MessageListModel", "Folder");

const std::string& fieldOf(const MessageInfo& record, std::int32_t column) {
    switch (column) {
        case ColFrom:
            return record.from;
        case ColTo:
            return record.to;
        default:
            return record.subject;
    }
}
}  // namespace

MessageListModel::MessageListModel(const IconSet& icons, CodePage codePage, QObject* parent)
    : QAbstractTableModel(parent),
      envelope(icons.icon(ImgEnvelope)),
      replied(icons.icon(ImgReplied)),
      forwarded(icons.icon(ImgForwarded)),
      flag(icons.icon(ImgFlag)),
      priority(icons.icon(ImgPriority)),
      clip(icons.icon(ImgClip)),
      warning(icons.icon(ImgDamaged)),
      deletedMark(icons.icon(ImgDeleted)),
      orphanedMark(icons.icon(ImgOrphaned)),
      codePage(std::move(codePage)) {}

void MessageListModel::markDamaged(std::int64_t dataOffset) {
    if (!damaged.insert(dataOffset).second || !records) return;
    for (std::size_t row = 0; row < order.size(); ++row) {
        if ((*records)[order[row]].dataOffset != dataOffset) continue;
        const QModelIndex cell = index(static_cast<int>(row), ColFrom);
        emit dataChanged(cell, cell, {Qt::DecorationRole, Qt::ToolTipRole});
    }
}

void MessageListModel::markHasAttachments(std::int64_t dataOffset) {
    if (!withAttachments.insert(dataOffset).second || !records) return;
    for (std::size_t row = 0; row < order.size(); ++row) {
        if ((*records)[order[row]].dataOffset != dataOffset) continue;
        const QModelIndex cell = index(static_cast<int>(row), ColAttachment);
        emit dataChanged(cell, cell, {Qt::DecorationRole, Qt::ToolTipRole});
    }
}

bool MessageListModel::showsClip(const MessageInfo& message) const {
    return message.hasAttachment() || withAttachments.contains(message.dataOffset);
}

bool MessageListModel::hasMark(const MessageInfo& message, std::int32_t column) const {
    switch (column) {
        case ColPriority:
            return message.isHighPriority() || message.origin != MessageOrigin::Listed;
        case ColAttachment:
            return showsClip(message);
        case ColFlag:
            return message.isFlagged();
        default:
            return false;
    }
}

void MessageListModel::beginUpdate() {
    // Marks belong to the records they were found in; a refill lists others.
    damaged.clear();
    withAttachments.clear();
    folderTexts.clear();
    beginResetModel();
    records = nullptr;
    keys.reset();
    order.clear();
    rowOf.clear();
}

void MessageListModel::endUpdate(const MessageList* newRecords) {
    records = newRecords;
    if (records) keys.emplace(*records);
    rowOf.assign(records ? records->size() : 0, -1);
    reorder();
    endResetModel();
}

void MessageListModel::reorder() {
    if (!keys) return;
    if (currentSortColumn == ColFolder) {
        // Hits grouped by folder, in their order (best match first) within each.
        order.resize(records->size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        auto folder = [&](std::size_t record) -> std::string_view {
            return record < folderTexts.size() ? folderTexts[record] : std::string_view();
        };
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const int c = compareText(folder(a), folder(b));
            return currentSortDescending ? c > 0 : c < 0;
        });
    } else if (currentSortColumn >= ColPriority && currentSortColumn <= ColFlag) {
        // The marked ones before the rest (ascending), each group newest first.
        order = keys->sorted(ColDate, true);
        auto marked = [&](std::size_t record) {
            return hasMark((*records)[record], currentSortColumn);
        };
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return currentSortDescending ? marked(b) && !marked(a) : marked(a) && !marked(b);
        });
    } else {
        order = keys->sorted(currentSortColumn, currentSortDescending);
    }
    for (std::size_t row = 0; row < order.size(); ++row) rowOf[order[row]] = static_cast<int>(row);
}

void MessageListModel::setSortOrder(std::int32_t column, bool descending) {
    currentSortColumn = column;
    currentSortDescending = descending;
    // A vertical sort lets the selection follow its rows without listing every
    // selected cell.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> records;
    records.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) records.push_back(recordIndex(index.row()));
    reorder();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int row = rowOfRecord(records[static_cast<std::size_t>(i)]);
        after.push_back(row < 0 ? QModelIndex() : index(row, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit sortOrderChanged(column, descending);
}

void MessageListModel::columnClick(std::int32_t column) {
    if (column == currentSortColumn) {
        setSortOrder(column, !currentSortDescending);
    } else {
        setSortOrder(column, false);
    }
}

int MessageListModel::recordIndex(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < order.size() ? static_cast<int>(order[row]) : -1;
}

int MessageListModel::rowOfRecord(int record) const {
    return record >= 0 && static_cast<std::size_t>(record) < rowOf.size() ? rowOf[record] : -1;
}

int MessageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(order.size());
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : MessageColumnCount;
}

QString MessageListModel::cellText(const MessageInfo& record, int column) const {
    if (column > ColDate) return {};
    // Dates come in the locale's UTF-8; the other texts in the store's code page.
    if (column == ColDate) return QString::fromStdString(messageDateText(record));
    return QString::fromStdString(codePage.toUtf8(fieldOf(record, column)));
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const std::size_t record = order[static_cast<std::size_t>(index.row())];
    const MessageInfo& message = (*records)[record];
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == ColFolder)
                return record < folderTexts.size() ? QString::fromStdString(folderTexts[record])
                                                   : QString();
            return cellText(message, index.column());
        case Qt::ToolTipRole:
            switch (index.column()) {
                case ColPriority:
                    if (message.origin == MessageOrigin::Deleted)
                        return tr("Deleted message, found in the folder's free space");
                    if (message.origin == MessageOrigin::Orphaned)
                        return tr("Orphaned message, no longer in the folder's index");
                    return message.isHighPriority() ? tr("High priority") : QVariant();
                case ColAttachment:
                    return showsClip(message) ? tr("Attachment") : QVariant();
                case ColFlag:
                    return message.isFlagged() ? tr("Flagged") : QVariant();
                case ColFolder:
                    return data(index, Qt::DisplayRole);
                case ColFrom:
                    if (damaged.contains(message.dataOffset))
                        return tr("Could not be read whole: ") + cellText(message, index.column());
                    return cellText(message, index.column());
                default:
                    return cellText(message, index.column());
            }
        case Qt::DecorationRole:
            switch (index.column()) {
                case ColFrom:
                    return damaged.contains(message.dataOffset) ? warning
                           : message.isReplied()               ? replied
                           : message.isForwarded() ? forwarded
                                                   : envelope;
                case ColPriority:
                    if (message.origin == MessageOrigin::Deleted) return deletedMark;
                    if (message.origin == MessageOrigin::Orphaned) return orphanedMark;
                    return message.isHighPriority() ? QVariant(priority) : QVariant();
                case ColAttachment:
                    return showsClip(message) ? QVariant(clip) : QVariant();
                case ColFlag:
                    return message.isFlagged() ? QVariant(flag) : QVariant();
                default:
                    return {};
            }
        case Qt::FontRole:
            if (message.isRead()) return {};
            {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
        case DataValueRole:
            return static_cast<int>(record);
        default:
            return {};
    }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
        return tr(Headings[section]);
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == ColFolder)
        return tr(FolderHeading);
    if (orientation == Qt::Horizontal && section > ColDate && section < ColFolder) {
        if (role == Qt::DisplayRole) return QString();  // the picture alone, no number
        if (role == Qt::DecorationRole)
            return section == ColPriority ? priority : section == ColAttachment ? clip : flag;
        if (role == Qt::ToolTipRole)
            return section == ColPriority     ? tr("Priority")
                   : section == ColAttachment ? tr("Attachment")
                                              : tr("Flag");
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren |
           Qt::ItemIsDragEnabled;
}

QStringList MessageListModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* MessageListModel::mimeData(const QModelIndexList& indexes) const {
    if (!dragSource) return nullptr;
    // One entry per row, in the list's order, whatever cells were picked.
    std::set<int> rows;
    for (const QModelIndex& index : indexes) {
        if (index.isValid()) rows.insert(index.row());
    }
    std::vector<int> recordIndexes;
    for (const int row : rows) {
        const int record = recordIndex(row);
        if (record >= 0) recordIndexes.push_back(record);
    }
    return recordIndexes.empty() ? nullptr : dragSource(recordIndexes);
}

Qt::DropActions MessageListModel::supportedDragActions() const {
    return Qt::CopyAction;
}

}  // namespace lumbrook
