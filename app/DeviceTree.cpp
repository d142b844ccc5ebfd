#include "app/DeviceTree.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace tavlo::app {

DeviceTree::DeviceTree(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("deviceTree"));
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setUniformRowHeights(true);
    setMouseTracking(true);  // hot tracking
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFrameShape(QFrame::StyledPanel);
    connect(this, &QTreeWidget::currentItemChanged, this, &DeviceTree::expandSelected);
}

void DeviceTree::expandSelected(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (previous != nullptr) {
        bool holdsCurrent = false;
        for (QTreeWidgetItem* up = current; up != nullptr; up = up->parent()) {
            holdsCurrent = holdsCurrent || up == previous;
        }
        if (!holdsCurrent) {
            previous->setExpanded(false);
        }
    }
    if (current != nullptr) {
        current->setExpanded(true);
    }
}

void DeviceTree::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        leftButtonHeld_ = true;
    }
    QTreeWidget::mousePressEvent(event);
}

void DeviceTree::mouseReleaseEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton && leftButtonHeld_;
    if (event->button() == Qt::LeftButton) {
        leftButtonHeld_ = false;
    }
    QTreeWidget::mouseReleaseEvent(event);
    if (left) {
        // The item under the mouse where the click ended, as a hit test finds it.
        emit treeClicked(itemAt(event->position().toPoint()));
    }
}

void DeviceTree::keyPressEvent(QKeyEvent* event) {
    QTreeWidgetItem* before = currentItem();
    QTreeWidget::keyPressEvent(event);
    if (QTreeWidgetItem* now = currentItem(); now != nullptr && now != before) {
        emit keyboardMoved(now);
    }
}

void DeviceTree::clearAll() {
    groups_.clear();
    clear();
}

void DeviceTree::addGroup(protocol::SearchGroup group, const QString& text) {
    auto* item = new QTreeWidgetItem(this, QStringList{text});
    item->setToolTip(0, text);  // info tips
    groups_[group] = item;
}

QTreeWidgetItem* DeviceTree::groupItem(protocol::SearchGroup group) const {
    auto it = groups_.find(group);
    return it == groups_.end() ? nullptr : it->second;
}

void DeviceTree::addItem(protocol::SearchGroup group, const QString& text) {
    if (QTreeWidgetItem* parent = groupItem(group)) {
        auto* item = new QTreeWidgetItem(parent, QStringList{text});
        item->setToolTip(0, text);
    }
}

void DeviceTree::finishGroup(protocol::SearchGroup group, const QStringList& items,
                             const QString& label) {
    QTreeWidgetItem* parent = groupItem(group);
    if (parent == nullptr) {
        return;
    }
    qDeleteAll(parent->takeChildren());
    for (const QString& text : items) {
        auto* item = new QTreeWidgetItem(parent, QStringList{text});
        item->setToolTip(0, text);
    }
    parent->setText(0, label);
    parent->setToolTip(0, label);
}

void DeviceTree::expandGroup(protocol::SearchGroup group) {
    if (QTreeWidgetItem* parent = groupItem(group)) {
        parent->setExpanded(true);
    }
}

}  // namespace tavlo::app
