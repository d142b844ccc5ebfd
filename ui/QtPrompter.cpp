#include "ui/QtPrompter.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <algorithm>
#include <memory>

namespace tavlo::ui {

QtPrompter::QtPrompter(QWidget* parent) : parent_(parent) {}

QtPrompter::~QtPrompter() {
    for (const QPointer<QMessageBox>& box : open_) {
        if (box != nullptr) {
            box->disconnect();
            delete box.data();
        }
    }
}

int QtPrompter::widthForCaption(const QString& caption) {
    const QFontMetrics metrics(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    return metrics.horizontalAdvance(caption) + kTitleBarChromeWidth;
}

QMessageBox* QtPrompter::makeBox(BoxKind kind, const QString& text, const QString& caption,
                                 QWidget* parent) const {
    const bool question = kind == BoxKind::kQuestion;
    auto* box =
        new QMessageBox(question ? QMessageBox::Question : QMessageBox::NoIcon, caption, text,
                        question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    if (question) {
        box->setDefaultButton(QMessageBox::Yes);
    }
    // A message box sizes itself to its text and buttons, so a short text would cut the
    // caption; a spacer across its grid holds it at the caption's width.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(
            new QSpacerItem(widthForCaption(caption), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

int QtPrompter::run(QMessageBox& box) {
    open_.emplace_back(&box);
    const int result = box.exec();
    forget(&box);
    return result;
}

void QtPrompter::forget(QMessageBox* box) {
    open_.erase(std::remove(open_.begin(), open_.end(), QPointer<QMessageBox>(box)), open_.end());
}

void QtPrompter::inform(const QString& text, const QString& caption) {
    std::unique_ptr<QMessageBox> box(makeBox(BoxKind::kInform, text, caption, parent_.data()));
    run(*box);
}

void QtPrompter::informWithDetails(const QString& text, const QString& details,
                                   const QString& caption) {
    std::unique_ptr<QMessageBox> box(makeBox(BoxKind::kInform, text, caption, parent_.data()));
    box->setDetailedText(details);
    run(*box);
}

bool QtPrompter::askYesNo(const QString& text, const QString& caption) {
    std::unique_ptr<QMessageBox> box(makeBox(BoxKind::kQuestion, text, caption, parent_.data()));
    return run(*box) == QMessageBox::Yes;
}

void QtPrompter::open(BoxKind kind, const QString& text, const QString& caption, BoxMode mode,
                      Closed closed) {
    QMessageBox* box = makeBox(kind, text, caption, parent_.data());
    box->setWindowModality(mode == BoxMode::kModeless ? Qt::NonModal
                           : parent_ != nullptr       ? Qt::WindowModal
                                                      : Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, box,
                     [this, box, closed = std::move(closed)](int result) {
                         forget(box);
                         box->deleteLater();
                         if (closed) {
                             closed(result == QMessageBox::Ok || result == QMessageBox::Yes);
                         }
                     });
    open_.emplace_back(box);
    box->show();
    // A box that waits for an answer stays on top of one that only reports (an update's result
    // box opening while the operator is asked whether to close the window): the operator can
    // act on nothing else meanwhile.
    QWidget* waiting = QApplication::activeModalWidget();
    if (mode == BoxMode::kModeless && waiting != nullptr) {
        waiting->raise();
        waiting->activateWindow();
    }
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
