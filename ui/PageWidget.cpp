#include "ui/PageWidget.h"

#include <QKeyEvent>

namespace tavlo::ui {

bool IsEnterOrEscape(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return true;
        default:
            return false;
    }
}

PageWidget::PageWidget(QWidget* parent) : QWidget(parent) {}

void PageWidget::keyPressEvent(QKeyEvent* event) {
    if (IsEnterOrEscape(*event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tavlo::ui
