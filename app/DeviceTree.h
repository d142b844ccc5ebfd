// The device tree: found clocks as items "address (SN)" under one group item per clock
// generation ("a.b.c.0 (WIRED:n)", "a.b.c.0 (WIFI:n)", "Early Versions: n"). Single-expand:
// selecting an item expands it, and the item selected before collapses unless it holds the
// new one.
#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <map>

#include "protocol/Discovery.h"

namespace tavlo::app {

class DeviceTree final : public QTreeWidget {
    Q_OBJECT

  public:
    explicit DeviceTree(QWidget* parent = nullptr);

    // Deletes every item, groups included.
    void clearAll();
    // A new root group item with this text.
    void addGroup(protocol::SearchGroup group, const QString& text);
    // A new item, last under the group (nothing when the group does not exist).
    void addItem(protocol::SearchGroup group, const QString& text);
    // Replaces the group's children and its text.
    void finishGroup(protocol::SearchGroup group, const QStringList& items, const QString& label);
    void expandGroup(protocol::SearchGroup group);

    QTreeWidgetItem* groupItem(protocol::SearchGroup group) const;

  private:
    void expandSelected(QTreeWidgetItem* current, QTreeWidgetItem* previous);

    std::map<protocol::SearchGroup, QTreeWidgetItem*> groups_;
};

}  // namespace tavlo::app
