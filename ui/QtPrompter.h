#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "ui/Prompter.h"

class QMessageBox;

namespace tavlo::ui {

// The room a title bar needs beside its caption: the window icon and the buttons.
inline constexpr int kTitleBarChromeWidth = 160;

// Message boxes as QMessageBox dialogs, modal to the given parent window (or application-modal
// with no parent), each at least as wide as its caption needs. A modeless box is still a
// child of the parent window: a box without a parent would take no input while that window
// runs modally. Boxes may nest (a timer may
// open one while another is open); each one can be closed from the program with dismissOpen().
class QtPrompter final : public Prompter {
  public:
    explicit QtPrompter(QWidget* parent = nullptr);
    // Boxes opened with open() and still open are closed without calling back.
    ~QtPrompter() override;

    QtPrompter(const QtPrompter&) = delete;
    QtPrompter& operator=(const QtPrompter&) = delete;

    void setParentWidget(QWidget* parent) { parent_ = parent; }

    // The width a box needs so that its title bar shows `caption` whole.
    static int widthForCaption(const QString& caption);

    using Prompter::askYesNo;
    using Prompter::inform;
    void inform(const QString& text, const QString& caption) override;
    using Prompter::informWithDetails;
    void informWithDetails(const QString& text, const QString& details,
                           const QString& caption) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    void open(BoxKind kind, const QString& text, const QString& caption, BoxMode mode,
              Closed closed) override;
    bool dismissOpen(const QString& caption) override;

  private:
    QMessageBox* makeBox(BoxKind kind, const QString& text, const QString& caption,
                         QWidget* parent) const;
    int run(QMessageBox& box);
    void forget(QMessageBox* box);

    QPointer<QWidget> parent_;
    std::vector<QPointer<QMessageBox>> open_;
};

}  // namespace tavlo::ui
