#include "ui/Cp936LengthLimiter.h"

#include <QLineEdit>
#include <algorithm>

#include "ui/Cp936Text.h"

namespace tavlo::ui {
namespace {

// Removes the last character (a whole surrogate pair where there is one).
void ChopLastCharacter(QString& text) {
    if (text.size() >= 2 && text.back().isLowSurrogate() &&
        text.at(text.size() - 2).isHighSurrogate()) {
        text.chop(2);
    } else {
        text.chop(1);
    }
}

}  // namespace

Cp936LengthLimiter::Cp936LengthLimiter(QLineEdit* edit, std::size_t maxBytes)
    : QObject(edit), edit_(edit), maxBytes_(maxBytes), current_(edit->text()) {
    connect(edit, &QLineEdit::textChanged, this, &Cp936LengthLimiter::onTextChanged);
    connect(edit, &QLineEdit::textEdited, this, &Cp936LengthLimiter::onTextEdited);
}

Cp936LengthLimiter* Cp936LengthLimiter::attach(QLineEdit* edit, std::size_t maxBytes) {
    return new Cp936LengthLimiter(edit, maxBytes);
}

Cp936LengthLimiter* Cp936LengthLimiter::of(const QLineEdit* edit) {
    return edit->findChild<Cp936LengthLimiter*>(QString(), Qt::FindDirectChildrenOnly);
}

void Cp936LengthLimiter::onTextChanged(const QString&) {
    // QLineEdit emits textEdited before textChanged, so current_ still holds the text from
    // before an edit when onTextEdited runs. After a cut the line edit still announces the
    // uncut text, so the edit itself is asked for its text.
    current_ = edit_->text();
}

void Cp936LengthLimiter::onTextEdited(const QString& text) {
    const QString previous = current_;
    if (Cp936ByteCount(text) <= maxBytes_ || Cp936ByteCount(text) <= Cp936ByteCount(previous)) {
        return;
    }
    // The edit replaced the middle of the old text: find the common head and tail.
    const qsizetype common = std::min(previous.size(), text.size());
    qsizetype head = 0;
    while (head < common && previous.at(head) == text.at(head)) {
        ++head;
    }
    if (head > 0 && text.at(head - 1).isHighSurrogate()) {
        --head;
    }
    qsizetype tail = 0;
    while (tail < common - head &&
           previous.at(previous.size() - 1 - tail) == text.at(text.size() - 1 - tail)) {
        ++tail;
    }
    if (tail > 0 && text.at(text.size() - tail).isLowSurrogate()) {
        --tail;
    }
    const QString before = text.left(head);
    const QString after = text.right(tail);
    QString inserted = text.mid(head, text.size() - head - tail);
    while (!inserted.isEmpty() && Cp936ByteCount(before + inserted + after) > maxBytes_) {
        ChopLastCharacter(inserted);
    }
    edit_->setText(before + inserted + after);
    edit_->setCursorPosition(static_cast<int>(before.size() + inserted.size()));
}

}  // namespace tavlo::ui
