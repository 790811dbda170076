#include "mainwindow/MessageListModel.h"

#include <algorithm>
#include <numeric>

#include "platform/CodePage.h"
#include "render/OutputNaming.h"

namespace lumbrook {

namespace {
const char* const Headings[] = {"From:", "To:", "Subject", "Date"};

const std::string& FieldOf(const Toe5_MessageInfo& record, std::int32_t column) {
    switch (column) {
        case ColFrom:
            return record.From;
        case ColTo:
            return record.To;
        default:
            return record.Subject;
    }
}
}  // namespace

TMessageListModel::TMessageListModel(QIcon Envelope, QObject* parent)
    : QAbstractTableModel(parent), Envelope(std::move(Envelope)) {}

void TMessageListModel::BeginUpdate() {
    beginResetModel();
    Records = nullptr;
    Order.clear();
    RowOf.clear();
    Dates.clear();
    for (auto& keys : FoldedKeys) keys.clear();
}

void TMessageListModel::EndUpdate(const TMessageList* NewRecords) {
    Records = NewRecords;
    const std::size_t n = Records ? Records->size() : 0;
    Order.resize(n);
    std::iota(Order.begin(), Order.end(), 0);
    RowOf = Order;
    Dates.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        Dates.push_back(FileTimeToLocalDateTime((*Records)[i].Date));
    Reorder();
    endResetModel();
}

const std::vector<std::string>& TMessageListModel::TextKeys(std::int32_t Column) {
    auto& keys = FoldedKeys[Column];
    if (keys.empty() && Records && !Records->empty()) {
        keys.reserve(Records->size());
        for (const auto& record : *Records) keys.push_back(FoldCase(FieldOf(record, Column)));
    }
    return keys;
}

void TMessageListModel::Reorder() {
    // Rows that compare equal are kept in record order, in both directions, so the
    // order never depends on earlier clicks.
    const bool desc = SortDescending_;
    if (SortColumn_ == ColDate) {
        std::sort(Order.begin(), Order.end(), [this, desc](int a, int b) {
            const double x = Dates[a], y = Dates[b];
            if (x != y) return desc ? y < x : x < y;
            return a < b;
        });
    } else if (SortColumn_ >= ColFrom && SortColumn_ <= ColSubject) {
        const auto& keys = TextKeys(SortColumn_);
        std::sort(Order.begin(), Order.end(), [&keys, desc](int a, int b) {
            const int c = desc ? CompareFolded(keys[b], keys[a]) : CompareFolded(keys[a], keys[b]);
            if (c != 0) return c < 0;
            return a < b;
        });
    }
    for (std::size_t row = 0; row < Order.size(); ++row) RowOf[Order[row]] = static_cast<int>(row);
}

void TMessageListModel::SetSortOrder(std::int32_t Column, bool Descending) {
    SortColumn_ = Column;
    SortDescending_ = Descending;
    // A vertical sort lets the selection follow its rows without listing every
    // selected cell.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> records;
    records.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) records.push_back(RecordIndex(index.row()));
    Reorder();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int row = RowOfRecord(records[static_cast<std::size_t>(i)]);
        after.push_back(row < 0 ? QModelIndex() : index(row, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TMessageListModel::ColumnClick(std::int32_t Column) {
    if (Column == SortColumn_) {
        SetSortOrder(Column, !SortDescending_);
    } else {
        SetSortOrder(Column, false);
    }
}

int TMessageListModel::RecordIndex(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < Order.size() ? Order[row] : -1;
}

int TMessageListModel::RowOfRecord(int record) const {
    return record >= 0 && static_cast<std::size_t>(record) < RowOf.size() ? RowOf[record] : -1;
}

int TMessageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(Order.size());
}

int TMessageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QString TMessageListModel::CellText(const Toe5_MessageInfo& record, int column) const {
    // Dates come in the locale's UTF-8; the other texts in the store's code page.
    if (column == ColDate) return QString::fromStdString(MessageDateText(record));
    return QString::fromStdString(AnsiToUtf8(FieldOf(record, column)));
}

QVariant TMessageListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int record = Order[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return CellText((*Records)[record], index.column());
        case Qt::DecorationRole:
            return index.column() == ColFrom ? QVariant(Envelope) : QVariant();
        case DataValueRole:
            return record;
        default:
            return {};
    }
}

QVariant TMessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
        return QString::fromLatin1(Headings[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TMessageListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace lumbrook
