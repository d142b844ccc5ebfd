#include "ui/testing/RecordingPrompter.h"

#include <QStringList>

namespace tavlo::ui::testing {

void RecordingPrompter::record(Kind kind, const QString& text, const QString& caption) {
    messages_.push_back(Message{kind, caption, text});
    if (onMessage_) {
        onMessage_(messages_.back());
    }
}

void RecordingPrompter::inform(const QString& text, const QString& caption) {
    record(Kind::Inform, text, caption);
}

bool RecordingPrompter::askYesNo(const QString& text, const QString& caption) {
    record(Kind::Question, text, caption);
    if (answers_.empty()) {
        return defaultAnswer_;
    }
    const bool answer = answers_.front();
    answers_.pop_front();
    return answer;
}

bool RecordingPrompter::dismissOpen(const QString& caption) {
    dismissRequests_.push_back(caption);
    return false;
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
}

}  // namespace tavlo::ui::testing
