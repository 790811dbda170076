// The windows' one helper for background work: what the work reports arrives on
// the window's thread in order, a cancel lets its end arrive, and stopping or
// destroying the job mid-run lets nothing more arrive (run under ASan too).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "windows/BackgroundJob.h"

namespace lumbrook {
namespace {

using Context = BackgroundJob::Context;

TEST(BackgroundJobTest, ReportsAndTheEndArriveInOrderOnTheWindowThread) {
    const auto windowThread = std::this_thread::get_id();
    BackgroundJob job;
    QSignalSpy finished(&job, &BackgroundJob::finished);
    std::vector<int> arrived;
    job.start([&](const Context& context) -> std::function<void()> {
        EXPECT_NE(std::this_thread::get_id(), windowThread);
        for (int i = 0; i < 3; ++i) context.deliver([&arrived, i] { arrived.push_back(i); });
        return [&] {
            EXPECT_EQ(std::this_thread::get_id(), windowThread);
            arrived.push_back(-1);
        };
    });
    EXPECT_TRUE(job.running());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(arrived, (std::vector<int>{0, 1, 2, -1}));
    EXPECT_FALSE(job.running());

    // A cancel reaches the work, and its end still arrives.
    bool ended = false;
    job.start([&](const Context& context) -> std::function<void()> {
        context.stop()->wait(false);
        return [&] { ended = true; };
    });
    job.cancel();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(ended);
    EXPECT_TRUE(job.cancelRequested());
}

TEST(BackgroundJobTest, NothingArrivesOnceTheJobIsStoppedOrGone) {
    int arrived = 0;
    std::atomic<bool> reported{false};
    auto work = [&](const Context& context) -> std::function<void()> {
        context.deliver([&] { ++arrived; });
        reported = true;
        reported.notify_all();
        context.stop()->wait(false);
        context.deliver([&] { ++arrived; });
        return [&] { ++arrived; };
    };

    // Stopped with a report waiting in the queue, then started anew.
    BackgroundJob job;
    QSignalSpy finished(&job, &BackgroundJob::finished);
    job.start(work);
    reported.wait(false);
    job.stop();
    EXPECT_FALSE(job.running());
    QCoreApplication::processEvents();
    EXPECT_EQ(arrived, 0);
    EXPECT_TRUE(finished.isEmpty());

    // Destroyed mid-run: the destructor waits for the work, whose reports go nowhere.
    reported = false;
    auto doomed = std::make_unique<BackgroundJob>();
    doomed->start(work);
    reported.wait(false);
    doomed.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(arrived, 0);
}

}  // namespace
}  // namespace lumbrook
