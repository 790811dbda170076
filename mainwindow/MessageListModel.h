#pragma once

// ListView1's rows: one per record of the listed folder, four columns, ordered by
// ListView1Compare. The model holds no copies of the records, only the row order
// and the sort keys, computed once per fill and column so that a folder of
// 100,000 messages lists and re-sorts quickly.

#include <QAbstractTableModel>
#include <QIcon>
#include <cstdint>
#include <string>
#include <vector>

#include "mainwindow/SortOrder.h"
#include "store/oexpress.h"

namespace lumbrook {

class TMessageListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    // Each row's data value: the record's index in the message list.
    static constexpr int DataValueRole = Qt::UserRole;

    explicit TMessageListModel(QIcon Envelope, QObject* parent = nullptr);

    // The update bracket of a refill: between the two calls the records may change;
    // EndUpdate lists Records (nullptr: none) and orders the rows once.
    void BeginUpdate();
    void EndUpdate(const TMessageList* Records);

    // ListView1ColumnClick: the same column reverses the order, another one sorts
    // ascending by it.
    void ColumnClick(std::int32_t Column);
    // Sets both criteria and re-orders the rows.
    void SetSortOrder(std::int32_t Column, bool Descending);
    std::int32_t SortColumn() const { return SortColumn_; }
    bool SortDescending() const { return SortDescending_; }

    // The row's data value, -1 for a row out of range.
    int RecordIndex(int row) const;
    // The row that shows a record, -1 when none does.
    int RowOfRecord(int record) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    void Reorder();
    const std::vector<std::string>& TextKeys(std::int32_t Column);
    QString CellText(const Toe5_MessageInfo& record, int column) const;

    QIcon Envelope;
    const TMessageList* Records = nullptr;
    std::int32_t SortColumn_ = ColDate;
    bool SortDescending_ = true;

    std::vector<int> Order;                  // row -> record index
    std::vector<int> RowOf;                  // record index -> row
    std::vector<double> Dates;               // converted dates, by record index
    std::vector<std::string> FoldedKeys[3];  // per text column, filled when first needed
};

}  // namespace lumbrook
