#include "tests/support/RecordingPrompter.h"

#include <QStringList>

namespace tavlo::test {

void RecordingPrompter::record(Message message) {
    messages_.push_back(std::move(message));
    if (onMessage_) {
        onMessage_(messages_.back());
    }
}

bool RecordingPrompter::nextAnswer() {
    if (answers_.empty()) {
        return defaultAnswer_;
    }
    const bool answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void RecordingPrompter::inform(const QString& text, const QString& caption) {
    record(Message{Kind::Inform, caption, text});
}

void RecordingPrompter::informWithDetails(const QString& text, const QString& details,
                                          const QString& caption) {
    Message message{Kind::Inform, caption, text};
    message.details = details;
    record(std::move(message));
}

bool RecordingPrompter::askYesNo(const QString& text, const QString& caption) {
    record(Message{Kind::Question, caption, text});
    return nextAnswer();
}

void RecordingPrompter::open(ui::BoxKind kind, const QString& text, const QString& caption,
                             ui::BoxMode mode, Closed closed) {
    const bool question = kind == ui::BoxKind::kQuestion;
    record(Message{question ? Kind::Question : Kind::Inform, caption, text, true, mode});
    if (hold_) {
        held_.push_back(HeldBox{caption, std::move(closed)});
        return;
    }
    const bool accepted = question ? nextAnswer() : true;
    if (closed) {
        closed(accepted);
    }
}

bool RecordingPrompter::closeOpen(const QString& caption, bool accepted) {
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
        if (it->caption != caption) {
            continue;
        }
        Closed closed = std::move(it->closed);
        held_.erase(std::next(it).base());
        if (closed) {
            closed(accepted);
        }
        return true;
    }
    return false;
}

bool RecordingPrompter::dismissOpen(const QString& caption) {
    dismissRequests_.push_back(caption);
    return closeOpen(caption, true);
}

QStringList RecordingPrompter::openCaptions() const {
    QStringList out;
    for (const HeldBox& box : held_) {
        out << box.caption;
    }
    return out;
}

QStringList RecordingPrompter::texts() const {
    QStringList out;
    for (const Message& m : messages_) {
        out << m.text;
    }
    return out;
}

QString RecordingPrompter::lastText() const {
    return messages_.empty() ? QString() : messages_.back().text;
}

void RecordingPrompter::clear() {
    messages_.clear();
    answers_.clear();
    dismissRequests_.clear();
    held_.clear();
}

}  // namespace tavlo::test
