#include "ui/Ipv4AddressEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpressionValidator>

namespace tavlo::ui {
namespace {

constexpr int kMaxDigits = 3;
constexpr int kFieldWidthInDigits = 3;
constexpr int kFieldPadding = 4;
constexpr int kFrameMarginX = 2;
constexpr int kFrameMarginY = 1;
// Wide enough for four comfortable fields; a layout never stretches the control further.
constexpr int kMaxWidthInDigits = 28;

// Reads up to four dotted numbers; stops at the first character that is neither digit nor dot.
std::array<QString, Ipv4AddressEdit::kFieldCount> SplitDotted(const QString& dotted) {
    std::array<QString, Ipv4AddressEdit::kFieldCount> parts;
    int field = 0;
    QString digits;
    auto flush = [&]() {
        if (field < Ipv4AddressEdit::kFieldCount && !digits.isEmpty()) {
            bool ok = false;
            const int value = digits.left(kMaxDigits + 1).toInt(&ok);
            parts[static_cast<std::size_t>(field)] = QString::number(
                ok && value <= Ipv4AddressEdit::kMaxOctet ? value : Ipv4AddressEdit::kMaxOctet);
        }
        digits.clear();
    };
    for (const QChar c : dotted) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits.append(c);
        } else if (c == QLatin1Char('.')) {
            flush();
            if (++field >= Ipv4AddressEdit::kFieldCount) {
                break;
            }
        } else {
            break;
        }
    }
    flush();
    return parts;
}

}  // namespace

Ipv4AddressEdit::Ipv4AddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kFrameMarginX, kFrameMarginY, kFrameMarginX, kFrameMarginY);
    layout->setSpacing(0);

    const auto* validator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
    for (int i = 0; i < kFieldCount; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setFrame(false);
        edit->setAlignment(Qt::AlignCenter);
        edit->setValidator(validator);
        edit->setMaxLength(kMaxDigits);
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) *
                                  kFieldWidthInDigits +
                              kFieldPadding);
        edit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        edit->installEventFilter(this);
        // Tab moves past the whole control; the fields after the first are reached by typing,
        // the arrow keys or the mouse.
        if (i > 0) {
            edit->setFocusPolicy(Qt::ClickFocus);
        }
        connect(edit, &QLineEdit::textEdited, this, [this, i]() { onFieldEdited(i); });
        connect(edit, &QLineEdit::textChanged, this, [this]() {
            if (!settingText_) {
                emit changed();
            }
        });
        fields_[static_cast<std::size_t>(i)] = edit;
        layout->addWidget(edit, 1);
        if (i + 1 < kFieldCount) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            dot->installEventFilter(this);
            dots_[static_cast<std::size_t>(i)] = dot;
            layout->addWidget(dot, 0);
        }
    }
    setFocusProxy(fields_[0]);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMaximumWidth(kMaxWidthInDigits * fontMetrics().horizontalAdvance(QLatin1Char('0')));
    updateBackground();
}

QString Ipv4AddressEdit::text() const {
    QStringList parts;
    for (const QLineEdit* edit : fields_) {
        parts << QString::number(edit->text().isEmpty() ? 0 : edit->text().toInt());
    }
    return parts.join(QLatin1Char('.'));
}

void Ipv4AddressEdit::setText(const QString& dotted) {
    const auto parts = SplitDotted(dotted);
    const QString before = text();
    const bool wasBlank = isBlank();
    settingText_ = true;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fields_[i]->setText(parts[i]);
    }
    settingText_ = false;
    if (before != text() || wasBlank != isBlank()) {
        emit changed();
    }
}

void Ipv4AddressEdit::clear() {
    const bool wasBlank = isBlank();
    settingText_ = true;
    for (QLineEdit* edit : fields_) {
        edit->clear();
    }
    settingText_ = false;
    if (!wasBlank) {
        emit changed();
    }
}

bool Ipv4AddressEdit::isBlank() const {
    for (const QLineEdit* edit : fields_) {
        if (!edit->text().isEmpty()) {
            return false;
        }
    }
    return true;
}

QString Ipv4AddressEdit::fieldText(int index) const {
    return field(index) != nullptr ? field(index)->text() : QString();
}

QLineEdit* Ipv4AddressEdit::field(int index) const {
    if (index < 0 || index >= kFieldCount) {
        return nullptr;
    }
    return fields_[static_cast<std::size_t>(index)];
}

bool Ipv4AddressEdit::containsFocus() const {
    for (const QLineEdit* edit : fields_) {
        if (edit->hasFocus()) {
            return true;
        }
    }
    return false;
}

int Ipv4AddressEdit::indexOf(QObject* object) const {
    for (int i = 0; i < kFieldCount; ++i) {
        if (fields_[static_cast<std::size_t>(i)] == object) {
            return i;
        }
    }
    return -1;
}

void Ipv4AddressEdit::focusField(int index, bool selectAll, bool cursorAtEnd) {
    QLineEdit* edit = field(index);
    if (edit == nullptr) {
        return;
    }
    edit->setFocus(Qt::OtherFocusReason);
    if (selectAll) {
        edit->selectAll();
    } else {
        edit->setCursorPosition(cursorAtEnd ? static_cast<int>(edit->text().size()) : 0);
    }
}

void Ipv4AddressEdit::onFieldEdited(int index) {
    QLineEdit* edit = field(index);
    const QString current = edit->text();
    if (!current.isEmpty() && current.toInt() > kMaxOctet) {
        edit->setText(QString::number(kMaxOctet));
    }
    if (edit->text().size() == kMaxDigits && edit->cursorPosition() == kMaxDigits &&
        index + 1 < kFieldCount) {
        focusField(index + 1, true, false);
    }
}

bool Ipv4AddressEdit::dotPressed(QObject* watched, const QEvent& event) {
    if (event.type() != QEvent::MouseButtonPress ||
        static_cast<const QMouseEvent&>(event).button() != Qt::LeftButton) {
        return false;
    }
    for (std::size_t dot = 0; dot < dots_.size(); ++dot) {
        if (dots_[dot] == watched) {
            focusField(static_cast<int>(dot) + 1, false, false);
            return true;
        }
    }
    return false;
}

bool Ipv4AddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (dotPressed(watched, *event)) {
        return true;
    }
    const int index = indexOf(watched);
    if (index < 0 || event->type() != QEvent::KeyPress) {
        return QFrame::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* edit = field(index);
    const int pos = edit->cursorPosition();
    const bool atStart = pos == 0 && !edit->hasSelectedText();
    const bool atEnd = pos == edit->text().size() && !edit->hasSelectedText();

    if (key->matches(QKeySequence::Paste)) {
        const QString pasted = QApplication::clipboard()->text().trimmed();
        if (pasted.contains(QLatin1Char('.'))) {
            setText(pasted);
            focusField(kFieldCount - 1, false, true);
            return true;
        }
        return false;
    }
    switch (key->key()) {
        case Qt::Key_Period:
        case Qt::Key_Comma:
            if (!edit->text().isEmpty() && !edit->hasSelectedText() && index + 1 < kFieldCount) {
                focusField(index + 1, true, false);
            }
            return true;
        case Qt::Key_Backspace:
            if (atStart && index > 0) {
                focusField(index - 1, false, true);
                return true;
            }
            return false;
        case Qt::Key_Left:
            if (atStart && index > 0) {
                focusField(index - 1, false, true);
                return true;
            }
            return false;
        case Qt::Key_Right:
            if (atEnd && index + 1 < kFieldCount) {
                focusField(index + 1, false, false);
                return true;
            }
            return false;
        default:
            return false;
    }
}

void Ipv4AddressEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        updateBackground();
    }
    QFrame::changeEvent(event);
}

void Ipv4AddressEdit::updateBackground() {
    setBackgroundRole(isEnabled() ? QPalette::Base : QPalette::Window);
    for (QLineEdit* edit : fields_) {
        edit->setBackgroundRole(backgroundRole());
    }
}

}  // namespace tavlo::ui
