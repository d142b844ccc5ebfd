#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

#include "ui/ProgramName.h"

namespace tavlo::ui {

// A box with an OK button, or a question with the buttons Yes and No.
enum class BoxKind { kInform, kQuestion };

// How an open box treats the prompter's window: kModal blocks it until the box is closed;
// kModeless belongs to no window's input and leaves every window usable meanwhile.
enum class BoxMode { kModal, kModeless };

// The one way the window talks to the operator through message boxes, so tests can record
// the texts and script the answers (see tests/support/RecordingPrompter.h). Every call is made
// on the GUI thread.
class Prompter {
  public:
    // Runs on the GUI thread when an open box is closed: true for OK or Yes.
    using Closed = std::function<void(bool accepted)>;

    virtual ~Prompter() = default;

    // A box with an OK button and the given caption; returns when it has been closed.
    virtual void inform(const QString& text, const QString& caption) = 0;
    // A box with an OK button and a "Show Details..." button that unfolds `details` (the
    // clocks a batch reached); returns when it has been closed.
    virtual void informWithDetails(const QString& text, const QString& details,
                                   const QString& caption) = 0;
    // A box with the buttons Yes and No; returns when it has been answered, true for Yes.
    virtual bool askYesNo(const QString& text, const QString& caption) = 0;
    // Shows a box and returns at once, without a message loop of its own; `closed` runs
    // when the box is closed (also when dismissOpen closes it).
    virtual void open(BoxKind kind, const QString& text, const QString& caption, BoxMode mode,
                      Closed closed) = 0;
    // Closes the box with exactly this caption that is open at the moment, as if its first
    // button (OK or Yes) had been pressed. False when no such box is open.
    virtual bool dismissOpen(const QString& caption) = 0;

    void inform(const QString& text) { inform(text, QString::fromLatin1(kProgramName)); }
    bool askYesNo(const QString& text) { return askYesNo(text, QString::fromLatin1(kProgramName)); }
    void informWithDetails(const QString& text, const QString& details) {
        informWithDetails(text, details, QString::fromLatin1(kProgramName));
    }
};

}  // namespace tavlo::ui
