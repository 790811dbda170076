#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>

#include "mainwindow/MessageListModel.h"
#include "mainwindow/SortOrder.h"

namespace lumbrook {
namespace {

constexpr std::uint64_t Ms = 10'000;  // file-time ticks per millisecond
constexpr std::uint64_t Day = 86'400'000 * Ms;
constexpr std::uint64_t Base = 132'000'000'000'000'000ULL;

Toe5_MessageInfo Record(std::string from, std::string subject, std::uint64_t date) {
    Toe5_MessageInfo m;
    m.From = std::move(from);
    m.To = "to";
    m.Subject = std::move(subject);
    m.Date = date;
    return m;
}

// The rows' subjects top to bottom.
std::vector<std::string> Subjects(const TMessageListModel& model, const TMessageList& list) {
    std::vector<std::string> out;
    for (int row = 0; row < model.rowCount(); ++row)
        out.push_back(list[model.RecordIndex(row)].Subject);
    return out;
}

class MessageListModelTest : public ::testing::Test {
  protected:
    TMessageListModel Model{QIcon()};
    QAbstractItemModelTester Tester{&Model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    TMessageList List = {
        Record("carl", "beta", Base + 2 * Day),
        Record("Anna", "Alpha", Base + 5 * Ms),  // five milliseconds after "gamma"
        Record("bert", "gamma", Base),
        Record("anna", "Beta", Base + 2 * Day),
    };

    void Fill() {
        Model.BeginUpdate();
        Model.EndUpdate(&List);
    }
};

TEST_F(MessageListModelTest, ShowsTheRecordsAndTheirDataValues) {
    Fill();
    ASSERT_EQ(Model.rowCount(), 4);
    ASSERT_EQ(Model.columnCount(), 4);
    const char* headings[] = {"From:", "To:", "Subject", "Date"};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(Model.headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(headings[c]));
    for (int row = 0; row < 4; ++row) {
        const int record = Model.index(row, 0).data(TMessageListModel::DataValueRole).toInt();
        EXPECT_EQ(record, Model.RecordIndex(row));
        EXPECT_EQ(Model.RowOfRecord(record), row);
        EXPECT_EQ(Model.index(row, ColFrom).data().toString().toStdString(), List[record].From);
        EXPECT_EQ(Model.index(row, ColSubject).data().toString().toStdString(),
                  List[record].Subject);
    }
    EXPECT_FALSE(Model.flags(Model.index(0, 0)).testFlag(Qt::ItemIsEditable));
}

TEST_F(MessageListModelTest, OrdersNewestFirstThenFollowsHeadingClicks) {
    Fill();
    // Start-up order: newest first; milliseconds count; equal dates in record order.
    EXPECT_EQ(Subjects(Model, List), (std::vector<std::string>{"beta", "Beta", "Alpha", "gamma"}));

    Model.ColumnClick(ColDate);  // oldest first
    EXPECT_FALSE(Model.SortDescending());
    EXPECT_EQ(Subjects(Model, List), (std::vector<std::string>{"gamma", "Alpha", "beta", "Beta"}));

    Model.ColumnClick(ColSubject);  // by subject, ascending, case ignored
    EXPECT_EQ(Model.SortColumn(), ColSubject);
    EXPECT_FALSE(Model.SortDescending());
    EXPECT_EQ(Subjects(Model, List), (std::vector<std::string>{"Alpha", "beta", "Beta", "gamma"}));

    Model.ColumnClick(ColSubject);  // reversed; equal subjects still in record order
    EXPECT_TRUE(Model.SortDescending());
    EXPECT_EQ(Subjects(Model, List), (std::vector<std::string>{"gamma", "beta", "Beta", "Alpha"}));
}

TEST_F(MessageListModelTest, EveryOrderAgreesWithListView1Compare) {
    Fill();
    for (std::int32_t column = 0; column < 4; ++column) {
        for (bool descending : {false, true}) {
            Model.SetSortOrder(column, descending);
            for (int row = 1; row < Model.rowCount(); ++row) {
                EXPECT_LE(ListView1Compare(List[Model.RecordIndex(row - 1)],
                                           List[Model.RecordIndex(row)], column, descending),
                          0)
                    << "column " << column << " descending " << descending << " row " << row;
            }
        }
    }
}

TEST_F(MessageListModelTest, SelectionStaysWithItsMessagesWhenTheOrderChanges) {
    Fill();
    QItemSelectionModel selection(&Model);
    const int alpha = 1, gamma = 2;
    for (int record : {alpha, gamma}) {
        selection.select(Model.index(Model.RowOfRecord(record), 0),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    Model.ColumnClick(ColFrom);
    Model.ColumnClick(ColSubject);
    QList<int> rows;
    for (const QModelIndex& index : selection.selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (QList<int>{Model.RowOfRecord(alpha), Model.RowOfRecord(gamma)}));
}

TEST_F(MessageListModelTest, RefillAndEmptyFolders) {
    Fill();
    TMessageList none;
    Model.BeginUpdate();
    Model.EndUpdate(&none);
    EXPECT_EQ(Model.rowCount(), 0);
    EXPECT_EQ(Model.RecordIndex(0), -1);
    Model.BeginUpdate();
    Model.EndUpdate(nullptr);
    EXPECT_EQ(Model.rowCount(), 0);
    Fill();
    EXPECT_EQ(Model.rowCount(), 4);
}

}  // namespace
}  // namespace lumbrook
