// The device tree: found clocks as items "address (SN)" under one group item per clock
// generation ("a.b.c.0 (WIRED:n)", "a.b.c.0 (WIFI:n)", "Early Versions: n"). Single-expand:
// selecting an item expands it, and the item selected before collapses unless it holds the
// new one.
//
// Besides the signals of every tree it reports each left click with the item under the mouse
// (nothing for empty space), after the selection change the press made, and each move of the
// current item made with the keyboard. Selections made by the program raise neither.
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

  signals:
    // A left click ended on the tree: the item under the mouse, or nullptr for empty space.
    void treeClicked(QTreeWidgetItem* hit);
    // A key pressed on the tree made `current` the current item.
    void keyboardMoved(QTreeWidgetItem* current);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void expandSelected(QTreeWidgetItem* current, QTreeWidgetItem* previous);

    std::map<protocol::SearchGroup, QTreeWidgetItem*> groups_;
    bool leftButtonHeld_ = false;
};

}  // namespace tavlo::app
