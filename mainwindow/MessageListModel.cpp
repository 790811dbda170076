#include "mainwindow/MessageListModel.h"

#include "platform/CodePage.h"
#include "render/OutputNaming.h"

namespace lumbrook {

namespace {
const char* const Headings[] = {"From:", "To:", "Subject", "Date"};

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

MessageListModel::MessageListModel(QIcon envelope, CodePage codePage, QObject* parent)
    : QAbstractTableModel(parent), envelope(std::move(envelope)), codePage(std::move(codePage)) {}

void MessageListModel::beginUpdate() {
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
    order = keys->sorted(currentSortColumn, currentSortDescending);
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
    return parent.isValid() ? 0 : 4;
}

QString MessageListModel::cellText(const MessageInfo& record, int column) const {
    // Dates come in the locale's UTF-8; the other texts in the store's code page.
    if (column == ColDate) return QString::fromStdString(messageDateText(record));
    return QString::fromStdString(codePage.toUtf8(fieldOf(record, column)));
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const std::size_t record = order[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return cellText((*records)[record], index.column());
        case Qt::DecorationRole:
            return index.column() == ColFrom ? QVariant(envelope) : QVariant();
        case DataValueRole:
            return static_cast<int>(record);
        default:
            return {};
    }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
        return QString::fromLatin1(Headings[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace lumbrook
