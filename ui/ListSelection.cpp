#include "ui/ListSelection.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>

namespace tavlo::ui {

void ClearSelection(QComboBox& list) {
    list.setCurrentIndex(-1);
    if (list.isEditable()) {
        list.clearEditText();
    }
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
