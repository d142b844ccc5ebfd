#include "platform/WorkerThread.h"

#include <utility>

namespace tavlo::platform {

bool WorkerThread::start(Job job) {
    if (thread_.joinable()) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        running_ = true;
    }
    thread_ = std::jthread([this, job = std::move(job)](std::stop_token stop) {
        job(std::move(stop));
        {
            std::lock_guard lock(mutex_);
            running_ = false;
        }
        ended_.notify_all();
    });
    return true;
}

void WorkerThread::requestStop() {
    thread_.request_stop();
}

bool WorkerThread::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

bool WorkerThread::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, timeout, [this] { return !running_; });
}

void WorkerThread::join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace tavlo::platform
