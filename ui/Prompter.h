#pragma once

#include <QString>
#include <QtGlobal>

namespace tavlo::ui {

// Caption of every message box of the program unless a caller names another one.
inline constexpr char kMessageCaption[] = "TavloAdmin";

// The one way the window talks to the operator through message boxes. Every call is made on
// the GUI thread and returns only after the box has been closed, so tests can record the
// texts and script the answers (see ui/testing/RecordingPrompter.h).
class Prompter {
  public:
    virtual ~Prompter() = default;

    // A box with an OK button and the given caption.
    virtual void inform(const QString& text, const QString& caption) = 0;
    // A box with the buttons Yes and No; true when the operator answers Yes.
    virtual bool askYesNo(const QString& text, const QString& caption) = 0;
    // Closes the box with exactly this caption that is open at the moment, as if its first
    // button (OK or Yes) had been pressed. False when no such box is open.
    virtual bool dismissOpen(const QString& caption) = 0;

    void inform(const QString& text) { inform(text, QString::fromLatin1(kMessageCaption)); }
    bool askYesNo(const QString& text) {
        return askYesNo(text, QString::fromLatin1(kMessageCaption));
    }
};

}  // namespace tavlo::ui
