#include "mainwindow/MessageListModel.h"

#include <algorithm>
#include <numeric>

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
    order.clear();
    rowOf.clear();
    dates.clear();
    for (auto& keys : foldedKeys) keys.clear();
}

void MessageListModel::endUpdate(const MessageList* newRecords) {
    records = newRecords;
    const std::size_t n = records ? records->size() : 0;
    order.resize(n);
    std::iota(order.begin(), order.end(), 0);
    rowOf = order;
    dates.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        dates.push_back(fileTimeToLocalDateTime((*records)[i].date));
    reorder();
    endResetModel();
}

const std::vector<std::string>& MessageListModel::textKeys(std::int32_t column) {
    auto& keys = foldedKeys[column];
    if (keys.empty() && records && !records->empty()) {
        keys.reserve(records->size());
        for (const auto& record : *records) keys.push_back(foldCase(fieldOf(record, column)));
    }
    return keys;
}

void MessageListModel::reorder() {
    // Rows that compare equal are kept in record order, in both directions, so the
    // order never depends on earlier clicks.
    const bool desc = currentSortDescending;
    if (currentSortColumn == ColDate) {
        std::sort(order.begin(), order.end(), [this, desc](int a, int b) {
            const double x = dates[a], y = dates[b];
            if (x != y) return desc ? y < x : x < y;
            return a < b;
        });
    } else if (currentSortColumn >= ColFrom && currentSortColumn <= ColSubject) {
        const auto& keys = textKeys(currentSortColumn);
        std::sort(order.begin(), order.end(), [&keys, desc](int a, int b) {
            const int c = desc ? compareFolded(keys[b], keys[a]) : compareFolded(keys[a], keys[b]);
            if (c != 0) return c < 0;
            return a < b;
        });
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
}

void MessageListModel::columnClick(std::int32_t column) {
    if (column == currentSortColumn) {
        setSortOrder(column, !currentSortDescending);
    } else {
        setSortOrder(column, false);
    }
}

int MessageListModel::recordIndex(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < order.size() ? order[row] : -1;
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
    const int record = order[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return cellText((*records)[record], index.column());
        case Qt::DecorationRole:
            return index.column() == ColFrom ? QVariant(envelope) : QVariant();
        case DataValueRole:
            return record;
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
