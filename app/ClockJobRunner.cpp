#include "app/ClockJobRunner.h"

#include "ui/QueuedCall.h"

namespace tavlo::app {

ClockJobRunner::ClockJobRunner(QObject* parent) : QObject(parent) {}

ClockJobRunner::~ClockJobRunner() {
    // Whoever listens may already be half destroyed: stop without telling anyone.
    blockSignals(true);
    stopAndJoin();
}

void ClockJobRunner::enqueue(Job job) {
    waiting_.push_back(std::move(job));
    setBusy(true);
    if (!current_ && !inCallback_) {
        startNext();
    }
}

void ClockJobRunner::startNext() {
    if (waiting_.empty()) {
        setBusy(false);
        return;
    }
    Job job = std::move(waiting_.front());
    waiting_.pop_front();
    if (job.start) {
        // A job queued by start() waits for this one; a stop there drops this one too.
        const unsigned long long stops = started_;
        inCallback_ = true;
        job.start();
        inCallback_ = false;
        if (started_ != stops) {
            return;
        }
    }
    const unsigned long long id = ++started_;
    current_ = Job{{}, {}, std::move(job.apply)};
    // The last job's thread has been joined (finish, stopAndJoin), so this one starts.
    thread_.start([this, id, work = std::move(job.work)](std::stop_token stop) {
        work(std::move(stop));
        // The runner outlives this thread (it joins it before it goes), so posting to it is
        // safe; a stop in between makes finish() ignore the call.
        ui::PostQueuedCall(this, [this, id] { finish(id); });
    });
}

void ClockJobRunner::finish(unsigned long long id) {
    if (!current_ || id != started_) {
        return;  // stopped after this result was posted
    }
    // The work has returned; the thread only has its last instructions left.
    thread_.join();
    std::function<void()> apply = std::move(current_->apply);
    current_.reset();
    inCallback_ = true;
    apply();
    inCallback_ = false;
    startNext();
}

void ClockJobRunner::stopAndJoin() {
    waiting_.clear();
    thread_.requestStop();
    thread_.join();
    current_.reset();
    ++started_;  // a result already posted is not applied
    setBusy(false);
}

void ClockJobRunner::setBusy(bool busy) {
    if (busy_ == busy) {
        return;
    }
    busy_ = busy;
    emit busyChanged(busy);
}

}  // namespace tavlo::app
