#include <gtest/gtest.h>

#include <QSignalSpy>

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>

#include "mainwindow/MessageListModel.h"
#include "listing/MessageOrder.h"

namespace lumbrook {
namespace {

constexpr std::uint64_t Ms = 10'000;  // file-time ticks per millisecond
constexpr std::uint64_t Day = 86'400'000 * Ms;
constexpr std::uint64_t Base = 132'000'000'000'000'000ULL;

MessageInfo makeRecord(std::string from, std::string subject, std::uint64_t date) {
    MessageInfo m;
    m.from = std::move(from);
    m.to = "to";
    m.subject = std::move(subject);
    m.date = date;
    return m;
}

// The rows' subjects top to bottom.
std::vector<std::string> subjects(const MessageListModel& model, const MessageList& list) {
    std::vector<std::string> out;
    for (int row = 0; row < model.rowCount(); ++row)
        out.push_back(list[model.recordIndex(row)].subject);
    return out;
}

class MessageListModelTest : public ::testing::Test {
  protected:
    IconSet icons;
    MessageListModel model{icons, CodePage()};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    MessageList list = {
        makeRecord("carl", "beta", Base + 2 * Day),
        makeRecord("Anna", "Alpha", Base + 5 * Ms),  // five milliseconds after "gamma"
        makeRecord("bert", "gamma", Base),
        makeRecord("anna", "Beta", Base + 2 * Day),
    };

    void fill() {
        model.beginUpdate();
        model.endUpdate(&list);
    }
};

TEST_F(MessageListModelTest, ShowsTheRecordsAndTheirDataValues) {
    fill();
    ASSERT_EQ(model.rowCount(), 4);
    ASSERT_EQ(model.columnCount(), MessageColumnCount);
    const char* headings[] = {"From:", "To:", "Subject", "Date"};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(headings[c]));
    for (int row = 0; row < 4; ++row) {
        const int record = model.index(row, 0).data(MessageListModel::DataValueRole).toInt();
        EXPECT_EQ(record, model.recordIndex(row));
        EXPECT_EQ(model.rowOfRecord(record), row);
        EXPECT_EQ(model.index(row, ColFrom).data().toString().toStdString(), list[record].from);
        EXPECT_EQ(model.index(row, ColSubject).data().toString().toStdString(),
                  list[record].subject);
    }
    EXPECT_FALSE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
}

TEST_F(MessageListModelTest, ADamagedMessageKeepsAWarningUntilTheFolderIsListedAgain) {
    for (std::size_t i = 0; i < list.size(); ++i) list[i].dataOffset = 1000 + static_cast<int>(i);
    fill();
    const int row = model.rowOfRecord(1);
    const QModelIndex from = model.index(row, ColFrom);
    const qint64 envelope = from.data(Qt::DecorationRole).value<QIcon>().cacheKey();
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.markDamaged(1001);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_NE(from.data(Qt::DecorationRole).value<QIcon>().cacheKey(), envelope);
    EXPECT_TRUE(from.data(Qt::ToolTipRole).toString().startsWith(QStringLiteral("Could not be read whole")));
    // Another row keeps its envelope; a refill (another folder) drops the mark.
    EXPECT_EQ(model.index(model.rowOfRecord(0), ColFrom).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
              envelope);
    fill();
    EXPECT_EQ(model.index(model.rowOfRecord(1), ColFrom).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
              envelope);
}

TEST_F(MessageListModelTest, OrdersNewestFirstThenFollowsHeadingClicks) {
    fill();
    // Start-up order: newest first; milliseconds count; equal dates in record order.
    EXPECT_EQ(subjects(model, list), (std::vector<std::string>{"beta", "Beta", "Alpha", "gamma"}));

    model.columnClick(ColDate);  // oldest first
    EXPECT_FALSE(model.sortDescending());
    EXPECT_EQ(subjects(model, list), (std::vector<std::string>{"gamma", "Alpha", "beta", "Beta"}));

    model.columnClick(ColSubject);  // by subject, ascending, case ignored
    EXPECT_EQ(model.sortColumn(), ColSubject);
    EXPECT_FALSE(model.sortDescending());
    EXPECT_EQ(subjects(model, list), (std::vector<std::string>{"Alpha", "beta", "Beta", "gamma"}));

    model.columnClick(ColSubject);  // reversed; equal subjects still in record order
    EXPECT_TRUE(model.sortDescending());
    EXPECT_EQ(subjects(model, list), (std::vector<std::string>{"gamma", "beta", "Beta", "Alpha"}));
}

TEST_F(MessageListModelTest, RowsFollowTheSharedMessageOrder) {
    fill();
    for (std::int32_t column = 0; column < 4; ++column) {
        for (bool descending : {false, true}) {
            model.setSortOrder(column, descending);
            const std::vector<std::size_t> expected = sortedMessageOrder(list, column, descending);
            for (int row = 0; row < model.rowCount(); ++row) {
                EXPECT_EQ(model.recordIndex(row), static_cast<int>(expected[row]))
                    << "column " << column << " descending " << descending << " row " << row;
            }
        }
    }
}

TEST_F(MessageListModelTest, SelectionStaysWithItsMessagesWhenTheOrderChanges) {
    fill();
    QItemSelectionModel selection(&model);
    const int alpha = 1, gamma = 2;
    for (int record : {alpha, gamma}) {
        selection.select(model.index(model.rowOfRecord(record), 0),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    model.columnClick(ColFrom);
    model.columnClick(ColSubject);
    QList<int> rows;
    for (const QModelIndex& index : selection.selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (QList<int>{model.rowOfRecord(alpha), model.rowOfRecord(gamma)}));
}

TEST_F(MessageListModelTest, RefillAndEmptyFolders) {
    fill();
    MessageList none;
    model.beginUpdate();
    model.endUpdate(&none);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.recordIndex(0), -1);
    model.beginUpdate();
    model.endUpdate(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
    fill();
    EXPECT_EQ(model.rowCount(), 4);
}

}  // namespace
}  // namespace lumbrook
