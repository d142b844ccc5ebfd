#include "ui/QtPrompter.h"

#include <QMessageBox>
#include <algorithm>

namespace tavlo::ui {

QtPrompter::QtPrompter(QWidget* parent) : parent_(parent) {}

QtPrompter::~QtPrompter() = default;

int QtPrompter::run(QMessageBox& box) {
    open_.emplace_back(&box);
    const int result = box.exec();
    open_.erase(std::remove(open_.begin(), open_.end(), QPointer<QMessageBox>(&box)), open_.end());
    return result;
}

void QtPrompter::inform(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent_.data());
    run(box);
}

bool QtPrompter::askYesNo(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent_.data());
    box.setDefaultButton(QMessageBox::Yes);
    return run(box) == QMessageBox::Yes;
}

bool QtPrompter::dismissOpen(const QString& caption) {
    // The innermost box first: that is the one the operator sees on top.
    for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
        QMessageBox* box = it->data();
        if (box == nullptr || box->windowTitle() != caption) {
            continue;
        }
        const bool isQuestion = box->standardButtons().testFlag(QMessageBox::Yes);
        box->done(isQuestion ? QMessageBox::Yes : QMessageBox::Ok);
        return true;
    }
    return false;
}

}  // namespace tavlo::ui
