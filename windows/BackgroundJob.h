#pragma once

// The one way the windows run long work: on a thread of its own, with what it
// reports and its result coming back on the window's thread through the event
// queue, a stop flag the work checks, and no way for a late report to reach a
// window or a part that is gone (the job is a member of its owner, and ending the
// job waits for the thread).

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace lumbrook {

class BackgroundJob : public QObject {
    Q_OBJECT

  public:
    // What the work has of its job, on its own thread.
    class Context {
      public:
        bool stopRequested() const { return stopFlag->load(); }
        // For code that takes a cancel flag of its own.
        const std::atomic<bool>* stop() const { return stopFlag.get(); }
        // Runs action on the job's thread (the window's) later, unless the job has
        // been stopped or started anew by then.
        void deliver(std::function<void()> action) const;

      private:
        friend class BackgroundJob;
        BackgroundJob* job = nullptr;
        std::uint64_t generation = 0;
        std::shared_ptr<std::atomic<bool>> stopFlag;
    };
    // The work returns what is to happen on the window's thread once it is over
    // (nothing for an empty function); it runs after everything it delivered.
    using Work = std::function<std::function<void()>(const Context&)>;

    explicit BackgroundJob(QObject* parent = nullptr);
    // Stops the work and waits for its thread.
    ~BackgroundJob() override;
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Starts work, after stopping the one still running.
    void start(Work work);
    // Asks the work to end; what it still delivers, its end too, arrives.
    void cancel();
    // Asks the work to end and waits for it: nothing of it arrives any more.
    void stop();
    // From start until the end has been delivered or the job was stopped.
    bool running() const { return active; }
    bool cancelRequested() const { return stopFlag && stopFlag->load(); }

  signals:
    // The work is over and its end has run; not after stop().
    void finished();

  private:
    void join();

    std::thread worker;
    std::shared_ptr<std::atomic<bool>> stopFlag;
    std::uint64_t generation = 0;  // of the work whose reports are awaited
    bool active = false;
};

}  // namespace lumbrook
