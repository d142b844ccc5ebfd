// A gate a scripted peer waits at (on the thread that sends) until the test opens it, so the
// test can look at the window while a search or an update is held there.
#pragma once

#include <condition_variable>
#include <mutex>

namespace tavlo::test {

class Gate {
  public:
    void wait() {
        std::unique_lock lock(mutex_);
        reached_ = true;
        cv_.wait(lock, [this] { return open_; });
    }
    bool reached() {
        std::lock_guard lock(mutex_);
        return reached_;
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool reached_ = false;
    bool open_ = false;
};

}  // namespace tavlo::test
