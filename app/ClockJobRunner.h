// Runs the window's clock jobs (a read, a write, a MAC lookup) off the GUI thread, one at a
// time, and hands each result back to the GUI thread.
//
// A job is two functions: `work`, run on a worker thread with a stop token, returns a value;
// `apply`, run later on the GUI thread (a queued call), takes that value and shows it. The
// work touches no widget: whatever it needs from the window is copied into it beforehand. A
// job may also have a `start`, run on the GUI thread just before its work begins (a read
// empties the pages there).
// Jobs run in the order they were given; one given while another runs waits for it (and for
// its apply). busyChanged(true) comes before the first job starts, busyChanged(false) after
// the apply of the last one, so the window can lock its controls for the whole stretch.
//
// stopAndJoin() (and the destructor) drops the jobs still waiting, asks the running one to
// stop and waits for its thread; the result of a stopped job is never applied. Nothing is
// delivered once the runner is gone, so no thread ever reports to a destroyed window.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <type_traits>
#include <utility>

#include "platform/WorkerThread.h"

namespace tavlo::app {

class ClockJobRunner final : public QObject {
    Q_OBJECT

  public:
    explicit ClockJobRunner(QObject* parent = nullptr);
    ~ClockJobRunner() override;

    // Queues a job. `work(std::stop_token)` returns a value R (not void); `apply(R)` runs on
    // the GUI thread once the work has returned, unless the runner was stopped meanwhile.
    template <typename Work, typename Apply>
    void run(Work work, Apply apply) {
        run(std::function<void()>{}, std::move(work), std::move(apply));
    }
    // The same with `start()` run on the GUI thread when the job's turn comes.
    template <typename Work, typename Apply>
    void run(std::function<void()> start, Work work, Apply apply) {
        using Result = std::invoke_result_t<Work&, std::stop_token>;
        static_assert(!std::is_void_v<Result>, "a clock job returns what its apply shows");
        auto result = std::make_shared<std::optional<Result>>();
        enqueue(Job{std::move(start),
                    [work = std::move(work), result](std::stop_token stop) mutable {
                        result->emplace(work(std::move(stop)));
                    },
                    [apply = std::move(apply), result]() mutable {
                        if (result->has_value()) {
                            apply(std::move(**result));
                        }
                    }});
    }

    // True from the first queued job until the apply of the last one has returned.
    bool busy() const { return busy_; }

    // Drops the waiting jobs, asks the running one to stop and joins its thread. Nothing of
    // them is applied. The runner can take new jobs afterwards.
    void stopAndJoin();

  signals:
    void busyChanged(bool busy);

  private:
    struct Job {
        std::function<void()> start;
        std::function<void(std::stop_token)> work;
        std::function<void()> apply;
    };

    void enqueue(Job job);
    void startNext();
    void finish(unsigned long long id);
    void setBusy(bool busy);

    std::deque<Job> waiting_;
    // The job whose work runs or whose result is on its way; its thread.
    std::optional<Job> current_;
    platform::WorkerThread thread_;
    // Numbers the started jobs, so that a result queued before a stop is recognised.
    unsigned long long started_ = 0;
    // A start or an apply runs: jobs queued meanwhile wait for the runner to go on.
    bool inCallback_ = false;
    bool busy_ = false;
};

}  // namespace tavlo::app
