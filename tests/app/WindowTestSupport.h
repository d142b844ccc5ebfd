// Small helpers of the window tests that drive the device tree and the command controls.
#pragma once

#include <QPushButton>
#include <QString>
#include <QTreeWidgetItem>
#include <initializer_list>

#include "app/DeviceTree.h"
#include "app/MainWindow.h"

namespace tavlo::test {

// The one tree item with exactly this text; the test ends when there is none or several.
inline QTreeWidgetItem* TreeItem(const app::DeviceTree& tree, const QString& text) {
    const auto found = tree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    if (found.size() != 1) {
        qFatal("tree item %s missing", qPrintable(text));
    }
    return found.front();
}

// The device tree, "Modify", "Batch Modify" and "Search" are all `enabled`.
inline bool CommandControlsAre(const app::MainWindow& window, bool enabled) {
    if (window.deviceTree()->isEnabled() != enabled) {
        return false;
    }
    for (const char* name : {"modifyButton", "batchModifyButton", "searchButton"}) {
        const auto* button = window.findChild<QPushButton*>(QString::fromLatin1(name));
        if (button == nullptr || button->isEnabled() != enabled) {
            return false;
        }
    }
    return true;
}

}  // namespace tavlo::test
