#pragma once

// messageList's rows: one per record of the listed folder, in the list's order
// (listing/MessageOrder.h). Four text columns and, after them, three narrow state
// columns (priority, attachment, flag) that the window shows first; unread rows in
// bold. A message found outside the folder's index shows its origin in the first
// state column. The model holds no copies of the records, only the row order and the
// order's sort keys.

#include <QAbstractTableModel>
#include <QIcon>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_set>
#include <vector>

#include "mainwindow/ImageList.h"
#include "listing/MessageOrder.h"
#include "platform/CodePage.h"
#include "store/DbxReader.h"

namespace lumbrook {

// The state columns, after the text columns of ListColumn, and the folder of a
// search hit, shown only with search results.
enum StateColumn : std::int32_t { ColPriority = 4, ColAttachment = 5, ColFlag = 6, ColFolder = 7 };
inline constexpr int MessageColumnCount = 8;

class MessageListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    // Each row's data value: the record's index in the message list.
    static constexpr int DataValueRole = Qt::UserRole;

    // The records' texts are shown as codePage reads them.
    MessageListModel(const IconSet& icons, CodePage codePage, QObject* parent = nullptr);

    // What a drag of rows carries: made from the records' indexes when the drag
    // begins; nullptr for no drag.
    using DragSource = std::function<QMimeData*(const std::vector<int>& recordIndexes)>;
    void setDragSource(DragSource source) { dragSource = std::move(source); }

    // A message found damaged (by the preview or a batch) keeps a warning mark in
    // its row while its folder is listed.
    void markDamaged(std::int64_t dataOffset);
    bool isMarkedDamaged(std::int64_t dataOffset) const { return damaged.contains(dataOffset); }
    // A message whose record does not say so but which the preview found to carry
    // attachments shows the clip too, while its folder is listed.
    void markHasAttachments(std::int64_t dataOffset);

    // The update bracket of a refill: between the two calls the records may change;
    // endUpdate lists Records (nullptr: none) and orders the rows once.
    void beginUpdate();
    void endUpdate(const MessageList* records);
    // Inside the bracket: the Folder column's text of each record (UTF-8); a
    // refill without it leaves the column empty.
    void setFolderTexts(std::vector<std::string> texts) { folderTexts = std::move(texts); }

    // onColumnClicked: the same column reverses the order, another one sorts
    // ascending by it. A mark column (priority, attachment, flag) puts the marked
    // messages first when ascending, newest first among themselves.
    void columnClick(std::int32_t column);
    // Sets both criteria and re-orders the rows.
    void setSortOrder(std::int32_t column, bool descending);
    std::int32_t sortColumn() const { return currentSortColumn; }
    bool sortDescending() const { return currentSortDescending; }

  signals:
    // After every change of the order's criteria; column -1 is the list's own order.
    void sortOrderChanged(int column, bool descending);

  public:

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
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

  private:
    void reorder();
    QString cellText(const MessageInfo& record, int column) const;
    bool showsClip(const MessageInfo& record) const;
    // Whether the record shows its mark in a mark column.
    bool hasMark(const MessageInfo& record, std::int32_t column) const;

    QIcon envelope, replied, forwarded, flag, priority, clip, warning, deletedMark, orphanedMark;
    std::unordered_set<std::int64_t> damaged;  // data offsets
    std::unordered_set<std::int64_t> withAttachments;  // data offsets
    std::vector<std::string> folderTexts;      // by record index
    DragSource dragSource;

    CodePage codePage;
    const MessageList* records = nullptr;
    std::int32_t currentSortColumn = ColDate;
    bool currentSortDescending = true;

    std::optional<MessageOrder> keys;  // of the records listed
    std::vector<std::size_t> order;    // row -> record index
    std::vector<int> rowOf;            // record index -> row
};

}  // namespace lumbrook
