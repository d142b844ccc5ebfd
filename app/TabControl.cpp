#include "app/TabControl.h"

#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

namespace tavlo::app {

TabControl::TabControl(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
    bar_->setObjectName(QStringLiteral("tabBar"));
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
    bar_->setFocusPolicy(Qt::TabFocus);
    connect(bar_, &QTabBar::currentChanged, this, [this](int index) {
        if (!silent_) {
            emit selectionChanged(index);
        }
    });
}

void TabControl::addTab(const QString& text) {
    silent_ = true;
    bar_->addTab(text);
    silent_ = false;
    bar_->resize(width(), bar_->sizeHint().height());
}

int TabControl::count() const {
    return bar_->count();
}

QString TabControl::tabText(int index) const {
    return bar_->tabText(index);
}

int TabControl::currentIndex() const {
    return bar_->currentIndex();
}

void TabControl::setCurrentIndexSilently(int index) {
    silent_ = true;
    bar_->setCurrentIndex(index);
    silent_ = false;
}

void TabControl::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame pane;
    pane.initFrom(this);
    const int barHeight = bar_->height();
    pane.rect = rect().adjusted(0, barHeight - 1, 0, 0);
    pane.tabBarSize = bar_->size();
    pane.shape = QTabBar::RoundedNorth;
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, pane);
}

void TabControl::resizeEvent(QResizeEvent*) {
    bar_->setGeometry(0, 0, width(), bar_->sizeHint().height());
}

}  // namespace tavlo::app
