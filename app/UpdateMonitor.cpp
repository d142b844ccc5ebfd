#include "app/UpdateMonitor.h"

#include <QTimer>

#include "firmware/UpdateState.h"
#include "firmware/UpdateWorker.h"
#include "firmware/page/SystemPage.h"
#include "platform/Ipv4.h"
#include "ui/Prompter.h"

namespace tavlo::app {

UpdateMonitor::UpdateMonitor(UpdateMonitorHost& host, firmware::UpdateState& update,
                             ui::Prompter& prompter, std::chrono::milliseconds interval,
                             QObject* parent)
    : QObject(parent), host_(host), update_(update), prompter_(prompter) {
    timer_ = new QTimer(this);
    timer_->setInterval(interval);
    connect(timer_, &QTimer::timeout, this, &UpdateMonitor::onTimer);
}

bool UpdateMonitor::startSingle() {
    return start(Operation::kSingle);
}

bool UpdateMonitor::startBatch() {
    return start(Operation::kBatch);
}

bool UpdateMonitor::start(Operation operation) {
    update_.updateCounter = 0;
    batch_.clear();
    batchSize_ = 0;
    if (operation == Operation::kBatch) {
        batch_.push_back({host_.selectedClockAddress(), 0, false});
        batchSize_ = 1 + host_.followingClocks();
    }
    if (host_.StoreSystemPage(firmware::StoreFlag::kFreshStart) ==
        firmware::UpdateStatus::kEndedOrRefused) {
        return false;
    }
    operation_ = operation;
    nextClockSelected_ = false;
    timer_->start();
    return true;
}

void UpdateMonitor::abandon() {
    timer_->stop();
    operation_ = Operation::kNone;
    nextClockSelected_ = false;
}

bool UpdateMonitor::ticking() const {
    return timer_->isActive();
}

void UpdateMonitor::onTimer() {
    if (operation_ == Operation::kNone) {
        return;
    }
    // Suspended for the tick: a box it opens runs a message loop of its own, in which further
    // ticks would otherwise poll again and stack box upon box.
    timer_->stop();
    const bool goesOn = operation_ == Operation::kSingle ? tickSingle() : tickBatch();
    if (goesOn && operation_ != Operation::kNone) {
        timer_->start();
    }
}

bool UpdateMonitor::pollSaysRunning() {
    // The first poll for a newly selected clock is a fresh start: a worker the page still
    // remembers (a poll refused by the page's checks counts as ended without forgetting it)
    // must not be taken for this clock's.
    const firmware::StoreFlag flag =
        nextClockSelected_ ? firmware::StoreFlag::kFreshStart : firmware::StoreFlag::kPoll;
    nextClockSelected_ = false;
    return host_.StoreSystemPage(flag) == firmware::UpdateStatus::kRunning ||
           operation_ == Operation::kNone;
}

bool UpdateMonitor::tickSingle() {
    if (pollSaysRunning()) {
        return true;
    }
    end();
    return false;
}

bool UpdateMonitor::tickBatch() {
    host_.setBreakEnabled(true);
    if (nextClockSelected_) {
        // The next clock's update waits for any earlier worker to end (one left running by a
        // refused poll; its result box is closed like the others) and for the page to hold
        // the clock.
        if (host_.updateRunning()) {
            host_.startCloseBoxTimer();
            return true;
        }
        if (host_.readingSelectedClock()) {
            return true;
        }
        // The clock before is settled; this one starts from the counter as it is now.
        settleLastClock();
        batch_.push_back({host_.selectedClockAddress(), update_.updateCounter.load(), false});
    }
    const bool nextClock = !update_.breakFlag && host_.hasNextClock();
    if (nextClock) {
        host_.startCloseBoxTimer();
    }
    if (pollSaysRunning()) {
        return true;
    }
    if (nextClock) {
        // The clock is done, well or not: the next one becomes the target, and the next tick
        // starts its update.
        host_.selectNextClock();
        host_.aimUpdateAt(host_.selectedClockAddress());
        nextClockSelected_ = true;
        return true;
    }
    host_.setBreakEnabled(false);
    end();
    return false;
}

void UpdateMonitor::end() {
    const bool batch = operation_ == Operation::kBatch;
    timer_->stop();
    operation_ = Operation::kNone;
    nextClockSelected_ = false;
    host_.giveControlsBack();
    if (update_.breakFlag) {
        prompter_.inform(QString::fromLatin1(firmware::kUserBreakMessage));
    }
    update_.breakFlag = false;
    if (batch) {
        settleLastClock();
        prompter_.inform(batchSummary());
    }
}

void UpdateMonitor::settleLastClock() {
    if (!batch_.empty()) {
        batch_.back().updated = update_.updateCounter.load() > batch_.back().counterAtStart;
    }
}

QString UpdateMonitor::batchSummary() const {
    QStringList failed;
    int updated = 0;
    for (const BatchClock& clock : batch_) {
        if (clock.updated) {
            ++updated;
        } else {
            failed << QString::fromStdString(platform::FormatIpv4(clock.address));
        }
    }
    QString summary = QString::fromLatin1(kBatchSummaryFormat).arg(updated).arg(batchSize_);
    if (!failed.isEmpty()) {
        summary += QLatin1Char('\n') +
                   QString::fromLatin1(kBatchFailedFormat).arg(failed.join(QStringLiteral(", ")));
    }
    return summary;
}

}  // namespace tavlo::app
