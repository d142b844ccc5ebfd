#pragma once

#include <QObject>
#include <QString>
#include <cstddef>

class QLineEdit;

namespace tavlo::ui {

// Keeps what the operator types into a line edit within a number of code-page-936 bytes, the
// way the clocks count text: an edit that would pass the limit keeps only as much of the
// inserted text as fits (a typed character that does not fit is refused). Text set by the
// program is not cut, and an edit that does not lengthen an over-long text is let through.
// The limiter is a child of the line edit and lives as long as it. When it cuts an edit, the
// line edit's textChanged() that follows still carries the uncut text: listeners read text().
class Cp936LengthLimiter final : public QObject {
    Q_OBJECT

  public:
    Cp936LengthLimiter(QLineEdit* edit, std::size_t maxBytes);

    // Attaches a limiter to the edit and returns it (owned by the edit).
    static Cp936LengthLimiter* attach(QLineEdit* edit, std::size_t maxBytes);
    // The limiter attached to the edit, or nullptr.
    static Cp936LengthLimiter* of(const QLineEdit* edit);

    std::size_t maxBytes() const { return maxBytes_; }

  private:
    void onTextChanged(const QString& text);
    void onTextEdited(const QString& text);

    QLineEdit* edit_;
    std::size_t maxBytes_;
    QString current_;
};

}  // namespace tavlo::ui
