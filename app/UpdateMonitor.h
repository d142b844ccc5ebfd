// The update monitor: the main window's timer that watches a firmware update worker. For a
// single update (Modify) it waits for the worker to end and gives the controls back; for a
// batch update (Batch Modify) it takes the selected clock and then each following sibling in
// the device tree, one after the other, starting each clock's update when the previous one has
// ended.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <vector>

#include "firmware/page/SystemPage.h"
#include "platform/Network.h"

class QTimer;

namespace tavlo::firmware {
struct UpdateState;
}  // namespace tavlo::firmware

namespace tavlo::ui {
class Prompter;
}  // namespace tavlo::ui

namespace tavlo::app {

// The monitor ticks this often, for a single update and for a batch.
inline constexpr std::chrono::milliseconds kUpdateMonitorInterval{2000};

// The box that ends a batch: how many of its clocks took the file, then the addresses of the
// clocks whose update failed, if any.
inline constexpr char kBatchSummaryFormat[] = "%1 of %2 clocks updated";
inline constexpr char kBatchFailedFormat[] = "Failed: %1";

// What the monitor needs of the main window, its device tree and its System page. Every call is
// made on the GUI thread and returns without waiting for the network or a worker (except
// StoreSystemPage showing a refusal, which returns when its box is closed).
class UpdateMonitorHost {
  public:
    virtual ~UpdateMonitorHost() = default;

    // The device tree. The selected item is the clock being updated.
    // True when the selected item has a following sibling under the same group item.
    virtual bool hasNextClock() const = 0;
    // The number of those following siblings.
    virtual int followingClocks() const = 0;
    // Selects that sibling (a selection by the program: nothing is read).
    virtual void selectNextClock() = 0;
    // The address at the beginning of the selected item's text (up to the first blank).
    virtual platform::Ipv4 selectedClockAddress() const = 0;
    // True while the window still reads the clock it has just selected; the monitor starts no
    // worker for it until that read has ended and filled in the System page.
    virtual bool readingSelectedClock() const = 0;

    // The window.
    // The System page's SetUpdateTarget with the address, keeping "Update Control" checked.
    virtual void aimUpdateAt(platform::Ipv4 address) = 0;
    // Enables "Modify", "Batch Modify", "Search" and the device tree again.
    virtual void giveControlsBack() = 0;

    // The System page (see firmware::SystemPage).
    virtual firmware::UpdateStatus StoreSystemPage(firmware::StoreFlag flag) = 0;
    // True while any worker the page started still runs.
    virtual bool updateRunning() const = 0;
    virtual void startCloseBoxTimer() = 0;
    virtual void setBreakEnabled(bool enabled) = 0;
};

// Use from the window:
//   - Modify with the System page in front and "Update Control" checked: disable the three
//     buttons and the tree, then startSingle(); when it returns false the update was refused
//     (the page showed why) and the window gives the controls back itself.
//   - Batch Modify likewise: disable the controls, select the first clock of the batch and make
//     it the System page's target (SetUpdateTarget), then startBatch().
//   - Once a start returned true the monitor owns the operation: it gives the controls back
//     through the host when the operation ends.
//   - While operation() is kBatch, the tree's selection handling keeps "Update Control"
//     checked (the monitor is the one selecting); an operator's own choice resets it.
//   - Closing the window: abandon(), then stop the page's workers.
//
// A single update's tick polls the page until the worker has ended, then ends the operation.
// A batch tick enables "Break"; while the break flag is clear and the selected clock has a
// following sibling it starts the close-box timer and polls, and once the worker has ended it
// selects the next clock and makes it the target; the following tick starts that clock's
// update (a fresh start, once the window has read the clock and no earlier worker runs). With
// the break flag set, or on the last clock, it polls until the worker has ended, disables
// "Break" and ends the operation. Ending gives the controls back, shows the break message when
// the flag is set, and clears the flag; a batch then sums up in one box (kBatchSummaryFormat):
// its clocks that took the file (the update counter grew while their workers ran) out of all
// clocks of the batch (visited or not, after a break), and the visited ones that failed.
//
// The timer is suspended while a tick runs, so a message box opened during a tick (a poll
// refused by the page's checks, the break message) never has further ticks stacked behind it:
// the next tick comes one interval after the box was closed.
class UpdateMonitor final : public QObject {
    Q_OBJECT

  public:
    enum class Operation { kNone, kSingle, kBatch };

    // All references must outlive the monitor. `interval` is kUpdateMonitorInterval in the
    // program.
    UpdateMonitor(UpdateMonitorHost& host, firmware::UpdateState& update, ui::Prompter& prompter,
                  std::chrono::milliseconds interval = kUpdateMonitorInterval,
                  QObject* parent = nullptr);

    // Sets the update counter to 0 and starts the update of the System page's target (a fresh
    // start). True when the worker runs and the monitor has taken over; false when the page
    // refused (its message shown) and the monitor stays idle. Only while idle.
    bool startSingle();
    // As startSingle, for a batch that begins at the selected clock of the tree and goes on
    // over its following siblings.
    bool startBatch();
    // Ends the operation at once without a message and without giving anything back (the
    // window is closing).
    void abandon();

    // One expiry of the timer: a poll of the page, and for a batch the move to the next clock.
    void onTimer();

    Operation operation() const { return operation_; }
    // The timer runs (false while idle, and while a tick is under way).
    bool ticking() const;

  private:
    bool start(Operation operation);
    // Polls the page: true when the worker still runs or one has just been started, and also
    // when the operation was abandoned while a box of the poll was open; either way the tick
    // stops there.
    bool pollSaysRunning();
    // One tick of each operation; false when the operation has ended.
    bool tickSingle();
    bool tickBatch();
    void end();
    // The clocks a batch has started so far: each clock's update succeeded when the update
    // counter grew from its start until the next clock's start (every earlier worker has ended
    // then) or the end of the batch.
    void settleLastClock();
    QString batchSummary() const;

    struct BatchClock {
        platform::Ipv4 address = 0;
        int counterAtStart = 0;
        bool updated = false;
    };

    UpdateMonitorHost& host_;
    firmware::UpdateState& update_;
    ui::Prompter& prompter_;
    QTimer* timer_ = nullptr;
    Operation operation_ = Operation::kNone;
    // A batch has made the next clock the target; its update has not been started yet.
    bool nextClockSelected_ = false;
    std::vector<BatchClock> batch_;
    int batchSize_ = 0;
};

}  // namespace tavlo::app
