#pragma once

// messageList's rows: one per record of the listed folder, four columns, in the
// list's order (render/MessageOrder.h). The model holds no copies of the records,
// only the row order and the order's sort keys.

#include <QAbstractTableModel>
#include <QIcon>
#include <cstdint>
#include <optional>
#include <vector>

#include "render/MessageOrder.h"
#include "platform/CodePage.h"
#include "store/DbxReader.h"

namespace lumbrook {

class MessageListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    // Each row's data value: the record's index in the message list.
    static constexpr int DataValueRole = Qt::UserRole;

    // The records' texts are shown as codePage reads them.
    MessageListModel(QIcon envelope, CodePage codePage, QObject* parent = nullptr);

    // The update bracket of a refill: between the two calls the records may change;
    // endUpdate lists Records (nullptr: none) and orders the rows once.
    void beginUpdate();
    void endUpdate(const MessageList* records);

    // onColumnClicked: the same column reverses the order, another one sorts
    // ascending by it.
    void columnClick(std::int32_t column);
    // Sets both criteria and re-orders the rows.
    void setSortOrder(std::int32_t column, bool descending);
    std::int32_t sortColumn() const { return currentSortColumn; }
    bool sortDescending() const { return currentSortDescending; }

    // The row's data value, -1 for a row out of range.
    int recordIndex(int row) const;
    // The row that shows a record, -1 when none does.
    int rowOfRecord(int record) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    void reorder();
    QString cellText(const MessageInfo& record, int column) const;

    QIcon envelope;

    CodePage codePage;
    const MessageList* records = nullptr;
    std::int32_t currentSortColumn = ColDate;
    bool currentSortDescending = true;

    std::optional<MessageOrder> keys;  // of the records listed
    std::vector<std::size_t> order;    // row -> record index
    std::vector<int> rowOf;            // record index -> row
};

}  // namespace lumbrook
