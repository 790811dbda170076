#include "windows/BackgroundJob.h"

#include <QMetaObject>
#include <utility>

namespace lumbrook {

void BackgroundJob::Context::deliver(std::function<void()> action) const {
    // The job outlives its thread (its destructor joins), so posting to it is safe;
    // the generation tells a stopped or replaced work's reports from the running one's.
    QMetaObject::invokeMethod(
        job,
        [job = job, mine = generation, action = std::move(action)] {
            if (job->generation == mine) action();
        },
        Qt::QueuedConnection);
}

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent) {}

BackgroundJob::~BackgroundJob() {
    stop();
}

void BackgroundJob::start(Work work) {
    stop();
    Context context;
    context.job = this;
    context.generation = ++generation;
    context.stopFlag = std::make_shared<std::atomic<bool>>(false);
    stopFlag = context.stopFlag;
    active = true;
    worker = std::thread([context, work = std::move(work)] {
        std::function<void()> end;
        try {
            end = work(context);
        } catch (...) {
            // The work reports its own failures; one that escapes ends it silently.
        }
        context.deliver([job = context.job, end = std::move(end)] {
            job->join();
            job->active = false;
            if (end) end();
            emit job->finished();
        });
    });
}

void BackgroundJob::cancel() {
    if (!stopFlag) return;
    stopFlag->store(true);
    stopFlag->notify_all();  // for work that waits on the flag
}

void BackgroundJob::stop() {
    ++generation;
    active = false;
    cancel();
    join();
    stopFlag.reset();
}

void BackgroundJob::join() {
    if (worker.joinable()) worker.join();
}

}  // namespace lumbrook
