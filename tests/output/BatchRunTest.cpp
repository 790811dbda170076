#include <gtest/gtest.h>

#include <stdexcept>

#include "output/BatchRun.h"

namespace lumbrook {
namespace {

MessageList messagesAt(std::initializer_list<std::int32_t> offsets) {
    MessageList list;
    for (std::int32_t offset : offsets) {
        MessageInfo record;
        record.dataOffset = offset;
        list.push_back(record);
    }
    return list;
}

TEST(BatchRun, WalksInOrderCountsWhatWasDoneAndReportsProgress) {
    BatchRun run(messagesAt({30, 10, 20}));
    std::vector<std::int32_t> walked, progress;
    // The second message fails: it is not counted, but the bar moves on after it.
    const std::int64_t done = run.run(
        [&](const MessageInfo& record) {
            walked.push_back(record.dataOffset);
            return record.dataOffset != 10;
        },
        [&](std::int32_t percent) { progress.push_back(percent); });
    EXPECT_EQ(done, 2);
    EXPECT_EQ(walked, (std::vector<std::int32_t>{30, 10, 20}));
    EXPECT_EQ(progress, (std::vector<std::int32_t>{33, 33, 66}));
    EXPECT_EQ(run.done(), 2);

    BatchRun none(MessageList{});
    EXPECT_EQ(none.run([](const MessageInfo&) { return true; }), 0);
}

TEST(BatchRun, CancelTakesEffectBeforeTheNextMessage) {
    // A cancel that arrives while the second message's turn begins (the window's
    // events run there) still lets that message be done, and no other.
    BatchRun run(messagesAt({1, 2, 3, 4, 5}));
    int turns = 0, worked = 0;
    const std::int64_t done = run.run([&](const MessageInfo&) { return ++worked, true; }, {},
                                      [&] {
                                          if (++turns == 2) run.cancel();
                                      });
    EXPECT_EQ(done, 2);
    EXPECT_EQ(worked, 2);
    EXPECT_TRUE(run.cancelled());

    BatchRun early(messagesAt({1, 2}));
    early.cancel();
    EXPECT_EQ(early.run([](const MessageInfo&) { return true; }), 0);
}

TEST(BatchRun, AFailureEndsTheWalkAndKeepsTheCount) {
    BatchRun run(messagesAt({1, 2, 3}));
    int worked = 0;
    EXPECT_THROW(run.run([&](const MessageInfo& record) {
        ++worked;
        if (record.dataOffset == 2) throw std::runtime_error("disk full");
        return true;
    }),
                 std::runtime_error);
    EXPECT_EQ(worked, 2);
    EXPECT_EQ(run.done(), 1);
}

}  // namespace
}  // namespace lumbrook
