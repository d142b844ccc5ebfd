#include "ui/PageWidget.h"

#include <QKeyEvent>

namespace tavlo::ui {

PageWidget::PageWidget(QWidget* parent) : QWidget(parent) {}

void PageWidget::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace tavlo::ui
