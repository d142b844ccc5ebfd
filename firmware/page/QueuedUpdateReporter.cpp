#include "firmware/page/QueuedUpdateReporter.h"

#include <utility>

#include "ui/QueuedCall.h"

namespace tavlo::firmware {
namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

QueuedUpdateReporter::QueuedUpdateReporter(QObject* context, UpdateView& view)
    : context_(context), view_(view) {}

void QueuedUpdateReporter::post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) {
            return;
        }
    }
    ui::PostQueuedCall(context_, std::move(call));
}

void QueuedUpdateReporter::SetMacAddressText(const std::string& text) {
    post([view = &view_, line = FromUtf8(text)] { view->showMacAddressText(line); });
}

void QueuedUpdateReporter::SetProgressLine(const std::string& text) {
    {
        // A line written now replaces any block progress not yet drawn.
        std::lock_guard lock(mutex_);
        pendingProgress_.reset();
    }
    post([view = &view_, line = FromUtf8(text)] { view->showProgressLine(line); });
}

void QueuedUpdateReporter::SetBlockProgress(int block, int bytes, double percent, std::uint32_t) {
    std::lock_guard lock(mutex_);
    pendingProgress_ = BlockProgress{block, bytes, percent};
}

std::optional<QString> QueuedUpdateReporter::takeBlockProgress() {
    std::optional<BlockProgress> progress;
    {
        std::lock_guard lock(mutex_);
        progress.swap(pendingProgress_);
    }
    if (!progress) {
        return std::nullopt;
    }
    return FromUtf8(FormatProgressLine(progress->block, progress->bytes, progress->percent));
}

void QueuedUpdateReporter::SetCounterLine(const std::string& text) {
    post([view = &view_, line = FromUtf8(text)] { view->showCounterLine(line); });
}

void QueuedUpdateReporter::FocusAddressControl() {
    post([view = &view_] { view->focusAddressControl(); });
}

void QueuedUpdateReporter::FocusMacAddressField() {
    post([view = &view_] { view->focusMacAddressField(); });
}

void QueuedUpdateReporter::ShowMessage(const std::string& text) {
    waitForBox(WorkerBox::kMessage, text);
}

void QueuedUpdateReporter::ShowUpdateResult(const std::string& text) {
    waitForBox(WorkerBox::kResult, text);
}

bool QueuedUpdateReporter::AskYesNo(const std::string& text) {
    return waitForBox(WorkerBox::kQuestion, text);
}

bool QueuedUpdateReporter::waitForBox(WorkerBox box, const std::string& text) {
    std::unique_lock lock(mutex_);
    if (cancelled_) {
        return true;
    }
    const std::uint64_t ticket = ++boxesOpened_;
    lock.unlock();
    std::weak_ptr<QueuedUpdateReporter> self = weak_from_this();
    post([view = &view_, box, line = FromUtf8(text), self, ticket] {
        const auto page = self.lock();
        if (!page || page->cancelled()) {
            return;  // cancelled while this call was on its way
        }
        view->openWorkerBox(box, line, [self, ticket](bool accepted) {
            if (auto page = self.lock()) {
                page->boxClosed(ticket, accepted);
            }
        });
    });
    lock.lock();
    boxClosed_.wait(lock, [&] { return cancelled_ || boxClosedTicket_ == ticket; });
    return cancelled_ || boxAccepted_;
}

void QueuedUpdateReporter::boxClosed(std::uint64_t ticket, bool accepted) {
    {
        std::lock_guard lock(mutex_);
        boxClosedTicket_ = ticket;
        boxAccepted_ = accepted;
    }
    boxClosed_.notify_all();
}

bool QueuedUpdateReporter::cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void QueuedUpdateReporter::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        pendingProgress_.reset();
    }
    boxClosed_.notify_all();
}

}  // namespace tavlo::firmware
