// Carries one update worker's reports to the System page: everything the worker shows is
// posted to the GUI thread as a queued call on `context`. Nothing here touches a widget on the
// worker's thread. The worker waits for the boxes it shows (the page opens them without a message
// loop of its own, so the GUI thread never waits for the worker); cancel() answers every such wait
// at once, so the page can stop and join its worker without a deadlock.
#pragma once

#include <QObject>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "firmware/UpdateReporter.h"

namespace tavlo::firmware {

// The boxes an update worker shows.
enum class WorkerBox {
    kMessage,   // an ordinary message box with an OK button
    kResult,    // the result box titled "Update"; it leaves the window usable
    kQuestion,  // the break question, Yes or No
};

// The page side of an update; every function runs on the GUI thread.
class UpdateView {
  public:
    // Runs on the GUI thread when a worker's box is closed: true for OK or Yes.
    using boxClosed = std::function<void(bool accepted)>;

    virtual ~UpdateView() = default;
    virtual void showMacAddressText(const QString& text) = 0;
    virtual void showProgressLine(const QString& text) = 0;
    virtual void showCounterLine(const QString& text) = 0;
    virtual void focusAddressControl() = 0;
    virtual void focusMacAddressField() = 0;
    // Shows the box and returns at once; `closed` runs when it is closed.
    virtual void openWorkerBox(WorkerBox box, const QString& text, boxClosed closed) = 0;
};

class QueuedUpdateReporter final : public UpdateReporter,
                                   public std::enable_shared_from_this<QueuedUpdateReporter> {
  public:
    // `view` must live as long as `context` (usually they are the same page), and the
    // context must outlive every worker using this object.
    QueuedUpdateReporter(QObject* context, UpdateView& view);

    // UpdateReporter: called on the worker's thread.
    void SetMacAddressText(const std::string& text) override;
    void SetProgressLine(const std::string& text) override;
    void SetCounterLine(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void ShowUpdateResult(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void FocusAddressControl() override;
    void FocusMacAddressField() override;
    // Only kept: the page draws the latest block progress at its own pace.
    void SetBlockProgress(int block, int bytes, double percent, std::uint32_t fileLength) override;

    // GUI thread: the progress line of the latest block not yet drawn, if any.
    std::optional<QString> takeBlockProgress();
    // Any thread: every box the worker waits for counts as closed now, a question as
    // answered Yes, and so does every later one; nothing more reaches the page.
    void cancel();
    bool cancelled() const;

  private:
    struct BlockProgress {
        int block = 0;
        int bytes = 0;
        double percent = 0.0;
    };
    // Posts `call` to the GUI thread unless cancelled.
    void post(std::function<void()> call);
    // Shows a box and waits until it is closed (or the page cancels); true for OK or Yes.
    bool waitForBox(WorkerBox box, const std::string& text);
    void boxClosed(std::uint64_t ticket, bool accepted);

    QObject* context_;
    UpdateView& view_;
    mutable std::mutex mutex_;
    std::condition_variable boxClosed_;
    bool cancelled_ = false;
    std::uint64_t boxesOpened_ = 0;  // tickets handed out
    std::uint64_t boxClosedTicket_ = 0;
    bool boxAccepted_ = false;
    std::optional<BlockProgress> pendingProgress_;
};

}  // namespace tavlo::firmware
