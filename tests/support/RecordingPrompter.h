#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "ui/Prompter.h"

namespace tavlo::test {

// A Prompter for tests: records every box, answers questions from a script, never blocks.
// Boxes shown with open() are closed at once (OK, or the scripted answer) unless the test
// holds them open (holdOpenBoxes); held boxes close through dismissOpen or closeOpen.
class RecordingPrompter final : public ui::Prompter {
  public:
    enum class Kind { Inform, Question };

    struct Message {
        Kind kind;
        QString caption;
        QString text;
        // Shown with open(): the caller did not wait for it.
        bool opened = false;
        ui::BoxMode mode = ui::BoxMode::kModal;
        // informWithDetails: what "Show Details..." unfolds.
        QString details{};
    };

    using Prompter::askYesNo;
    using Prompter::inform;
    void inform(const QString& text, const QString& caption) override;
    using Prompter::informWithDetails;
    void informWithDetails(const QString& text, const QString& details,
                           const QString& caption) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    void open(ui::BoxKind kind, const QString& text, const QString& caption, ui::BoxMode mode,
              Closed closed) override;
    bool dismissOpen(const QString& caption) override;

    // Answers for the next questions, in order; when the script runs out the default answer
    // (No unless changed) is given.
    void queueAnswer(bool yes) { answers_.push_back(yes); }
    void setDefaultAnswer(bool yes) { defaultAnswer_ = yes; }
    // Runs while a box is "open", e.g. to look at the focus at that moment.
    void setOnMessage(std::function<void(const Message&)> hook) { onMessage_ = std::move(hook); }
    // Boxes shown with open() from now on stay open until closed.
    void holdOpenBoxes(bool hold) { hold_ = hold; }
    // Captions of the boxes held open, the oldest first.
    QStringList openCaptions() const;
    // Closes the innermost held box with this caption as the operator would (true: OK or
    // Yes); false when none is open.
    bool closeOpen(const QString& caption, bool accepted);

    const std::vector<Message>& messages() const { return messages_; }
    QStringList texts() const;
    // Text of the last box, or an empty string when none was shown.
    QString lastText() const;
    const std::vector<QString>& dismissRequests() const { return dismissRequests_; }
    void clear();

  private:
    struct HeldBox {
        QString caption;
        Closed closed;
    };
    void record(Message message);
    bool nextAnswer();

    std::vector<Message> messages_;
    std::deque<bool> answers_;
    bool defaultAnswer_ = false;
    bool hold_ = false;
    std::vector<HeldBox> held_;
    std::function<void(const Message&)> onMessage_;
    std::vector<QString> dismissRequests_;
};

}  // namespace tavlo::test
