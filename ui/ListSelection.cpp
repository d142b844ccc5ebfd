#include "ui/ListSelection.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>

namespace tavlo::ui {

QStringList NumberItems(int first, int last) {
    QStringList items;
    for (int value = first; value <= last; ++value) {
        items << QString::number(value);
    }
    return items;
}

void ClearSelection(QComboBox& list) {
    list.setCurrentIndex(-1);
    if (list.isEditable()) {
        list.clearEditText();
    }
}

bool SelectByText(QComboBox& list, const QString& text) {
    const int index =
        text.isEmpty() ? -1 : list.findText(text, Qt::MatchStartsWith);  // case-insensitive
    return SelectByIndex(list, index);
}

bool SelectByIndex(QComboBox& list, int index) {
    if (index < 0 || index >= list.count()) {
        ClearSelection(list);
        return false;
    }
    list.setCurrentIndex(index);
    return true;
}

void UncheckAll(QButtonGroup& group) {
    const bool exclusive = group.exclusive();
    group.setExclusive(false);
    for (QAbstractButton* button : group.buttons()) {
        button->setChecked(false);
    }
    group.setExclusive(exclusive);
}

}  // namespace tavlo::ui
