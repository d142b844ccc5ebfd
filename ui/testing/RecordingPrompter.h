#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "ui/Prompter.h"

namespace tavlo::ui::testing {

// A Prompter for tests: records every box, answers questions from a script, never blocks.
class RecordingPrompter final : public Prompter {
  public:
    enum class Kind { Inform, Question };

    struct Message {
        Kind kind;
        QString caption;
        QString text;
    };

    using Prompter::askYesNo;
    using Prompter::inform;
    void inform(const QString& text, const QString& caption) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    bool dismissOpen(const QString& caption) override;

    // Answers for the next questions, in order; when the script runs out the default answer
    // (No unless changed) is given.
    void queueAnswer(bool yes) { answers_.push_back(yes); }
    void setDefaultAnswer(bool yes) { defaultAnswer_ = yes; }
    // Runs while a box is "open", e.g. to look at the focus at that moment.
    void setOnMessage(std::function<void(const Message&)> hook) { onMessage_ = std::move(hook); }

    const std::vector<Message>& messages() const { return messages_; }
    QStringList texts() const;
    // Text of the last box, or an empty string when none was shown.
    QString lastText() const;
    const std::vector<QString>& dismissRequests() const { return dismissRequests_; }
    void clear();

  private:
    void record(Kind kind, const QString& text, const QString& caption);

    std::vector<Message> messages_;
    std::deque<bool> answers_;
    bool defaultAnswer_ = false;
    std::function<void(const Message&)> onMessage_;
    std::vector<QString> dismissRequests_;
};

}  // namespace tavlo::ui::testing
