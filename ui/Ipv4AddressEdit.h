#pragma once

#include <QFrame>
#include <QString>
#include <array>

class QLabel;
class QLineEdit;

namespace tavlo::ui {

// An IPv4 address entry made of four octet fields, in the manner of the classic IP-address
// control: digits only, each field 0 to 255 (larger values become 255), a typed '.' or a third
// digit moves on to the next field, Backspace and the arrow keys cross field borders, a click on
// a dot puts the caret into the field after it, Tab leaves the control. Blank
// fields read as 0, so a blank control reads "0.0.0.0". Pasting a dotted address into any
// field fills all four.
class Ipv4AddressEdit final : public QFrame {
    Q_OBJECT

  public:
    static constexpr int kFieldCount = 4;
    static constexpr int kMaxOctet = 255;

    explicit Ipv4AddressEdit(QWidget* parent = nullptr);

    // Dotted text of the four fields, a blank field as 0.
    QString text() const;
    // Shows a dotted address. Up to four numbers separated by '.' are taken (each clamped to
    // 255); reading stops at the first other character; missing fields stay blank.
    void setText(const QString& dotted);
    // Empties all four fields.
    void clear();
    bool isBlank() const;

    // Text of one field as shown (may be empty), 0 <= index < kFieldCount.
    QString fieldText(int index) const;
    QLineEdit* field(int index) const;
    // True when any of the four fields has the keyboard focus.
    bool containsFocus() const;

  signals:
    // Any change of the shown address, by the operator or by the program.
    void changed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    int indexOf(QObject* object) const;
    // True when `event` is a left press on one of the dots; the caret is then put at the
    // start of the field after that dot.
    bool dotPressed(QObject* watched, const QEvent& event);
    void onFieldEdited(int index);
    void focusField(int index, bool selectAll, bool cursorAtEnd);
    void updateBackground();

    std::array<QLineEdit*, kFieldCount> fields_{};
    std::array<QLabel*, kFieldCount - 1> dots_{};
    bool settingText_ = false;
};

}  // namespace tavlo::ui
