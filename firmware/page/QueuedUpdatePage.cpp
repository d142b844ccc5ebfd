#include "firmware/page/QueuedUpdatePage.h"

#include <utility>

#include "ui/QueuedCall.h"

namespace tavlo::firmware {
namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

QueuedUpdatePage::QueuedUpdatePage(QObject* context, UpdateView& view, UpdateTarget target)
    : context_(context), view_(view), target_(std::move(target)) {}

platform::Ipv4 QueuedUpdatePage::TargetAddress() {
    std::lock_guard lock(mutex_);
    return target_.address;
}

std::string QueuedUpdatePage::FirmwarePath() {
    std::lock_guard lock(mutex_);
    return target_.firmwarePath;
}

std::string QueuedUpdatePage::MacAddressText() {
    std::lock_guard lock(mutex_);
    return target_.macAddressText;
}

void QueuedUpdatePage::Post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) {
            return;
        }
    }
    ui::PostQueuedCall(context_, std::move(call));
}

void QueuedUpdatePage::SetMacAddressText(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        target_.macAddressText = text;
    }
    Post([view = &view_, line = FromUtf8(text)] { view->showMacAddressText(line); });
}

void QueuedUpdatePage::SetProgressLine(const std::string& text) {
    {
        // A line written now replaces any block progress not yet drawn.
        std::lock_guard lock(mutex_);
        pendingProgress_.reset();
    }
    Post([view = &view_, line = FromUtf8(text)] { view->showProgressLine(line); });
}

void QueuedUpdatePage::SetBlockProgress(int block, int bytes, double percent, std::uint32_t) {
    std::lock_guard lock(mutex_);
    pendingProgress_ = BlockProgress{block, bytes, percent};
}

std::optional<QString> QueuedUpdatePage::TakeBlockProgress() {
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

void QueuedUpdatePage::SetCounterLine(const std::string& text) {
    Post([view = &view_, line = FromUtf8(text)] { view->showCounterLine(line); });
}

void QueuedUpdatePage::FocusAddressControl() {
    Post([view = &view_] { view->focusAddressControl(); });
}

void QueuedUpdatePage::FocusMacAddressField() {
    Post([view = &view_] { view->focusMacAddressField(); });
}

void QueuedUpdatePage::ShowMessage(const std::string& text) {
    WaitForBox(WorkerBox::kMessage, text);
}

void QueuedUpdatePage::ShowUpdateResult(const std::string& text) {
    WaitForBox(WorkerBox::kResult, text);
}

bool QueuedUpdatePage::AskYesNo(const std::string& text) {
    return WaitForBox(WorkerBox::kQuestion, text);
}

bool QueuedUpdatePage::WaitForBox(WorkerBox box, const std::string& text) {
    std::unique_lock lock(mutex_);
    if (cancelled_) {
        return true;
    }
    const std::uint64_t ticket = ++boxesOpened_;
    lock.unlock();
    std::weak_ptr<QueuedUpdatePage> self = weak_from_this();
    Post([view = &view_, box, line = FromUtf8(text), self, ticket] {
        const auto page = self.lock();
        if (!page || page->Cancelled()) {
            return;  // cancelled while this call was on its way
        }
        view->openWorkerBox(box, line, [self, ticket](bool accepted) {
            if (auto page = self.lock()) {
                page->BoxClosed(ticket, accepted);
            }
        });
    });
    lock.lock();
    boxClosed_.wait(lock, [&] { return cancelled_ || boxClosedTicket_ == ticket; });
    return cancelled_ || boxAccepted_;
}

void QueuedUpdatePage::BoxClosed(std::uint64_t ticket, bool accepted) {
    {
        std::lock_guard lock(mutex_);
        boxClosedTicket_ = ticket;
        boxAccepted_ = accepted;
    }
    boxClosed_.notify_all();
}

bool QueuedUpdatePage::Cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void QueuedUpdatePage::Cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        pendingProgress_.reset();
    }
    boxClosed_.notify_all();
}

}  // namespace tavlo::firmware
