#include "app/TabControl.h"

#include <QMargins>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

namespace tavlo::app {
namespace {

// Where the pages sit inside the client rectangle.
constexpr QMargins kPageInsets(1, 20, 2, 2);

}  // namespace

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
    bar_->raise();  // the tabs stay clickable where a page's top edge meets them
    updateGeometry();
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

void TabControl::addPage(QWidget* page) {
    page->setParent(this);
    pages_.push_back(page);
    page->setGeometry(pageRect());
    bar_->raise();
    updateGeometry();
}

QRect TabControl::pageRect() const {
    return rect().marginsRemoved(kPageInsets);
}

QSize TabControl::sizeHint() const {
    QSize need = bar_->sizeHint();
    for (const QWidget* page : pages_) {
        need = need.expandedTo(page->sizeHint().grownBy(kPageInsets));
    }
    return need;
}

QSize TabControl::minimumSizeHint() const {
    return sizeHint();
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
    placePages();
}

void TabControl::placePages() {
    const QRect rect = pageRect();
    for (QWidget* page : pages_) {
        page->setGeometry(rect);
    }
}

}  // namespace tavlo::app
