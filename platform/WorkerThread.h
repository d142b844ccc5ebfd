// One job on a thread of its own: the one thread idiom of the program (the search, each
// firmware update and the window's clock jobs all run on one). The job gets the thread's stop
// token and looks at it between its steps; a stop request never interrupts a step.
//
// It is a std::jthread with what that lacks: whether the job still runs, and a wait for its
// end with a time-out. Destroying it asks the job to stop and waits for the thread, so an
// owner that declares it after everything the job uses never has a job outliving its data.
//
// The verbs are for the thread that owns the worker; isRunning() may be asked from anywhere.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace tavlo::platform {

class WorkerThread {
  public:
    using Job = std::function<void(std::stop_token)>;

    WorkerThread() = default;
    // Asks a running job to stop and waits for its thread.
    ~WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs `job` on a new thread. Refused (false, nothing started) while the worker still
    // holds the thread of an earlier job, running or not yet joined.
    bool start(Job job);
    // Asks the job to stop; returns at once. Nothing happens when no job was started.
    void requestStop();
    // True from start() until the job has returned.
    bool isRunning() const;
    // Waits up to `timeout` for the job to return; true when it has (or none was started).
    bool waitFor(std::chrono::milliseconds timeout);
    // Waits for the thread to end; the worker can then start another job.
    void join();

  private:
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    bool running_ = false;
    // Last: joined before the members the job reports through are destroyed.
    std::jthread thread_;
};

}  // namespace tavlo::platform
