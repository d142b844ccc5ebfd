#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "ui/Prompter.h"

class QMessageBox;

namespace tavlo::ui {

// Message boxes as QMessageBox dialogs, modal to the given parent window (or application-modal
// with no parent). Boxes may nest (a timer may open one while another is open); each one can
// be closed from the program with dismissOpen().
class QtPrompter final : public Prompter {
  public:
    explicit QtPrompter(QWidget* parent = nullptr);
    ~QtPrompter() override;

    QtPrompter(const QtPrompter&) = delete;
    QtPrompter& operator=(const QtPrompter&) = delete;

    void setParentWidget(QWidget* parent) { parent_ = parent; }

    using Prompter::askYesNo;
    using Prompter::inform;
    void inform(const QString& text, const QString& caption) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    bool dismissOpen(const QString& caption) override;

  private:
    int run(QMessageBox& box);

    QPointer<QWidget> parent_;
    std::vector<QPointer<QMessageBox>> open_;
};

}  // namespace tavlo::ui
