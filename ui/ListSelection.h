#pragma once

#include <QString>
#include <QStringList>

class QButtonGroup;
class QComboBox;

namespace tavlo::ui {

// "0", "1", ..., "last" as list items.
QStringList NumberItems(int first, int last);

// Leaves the list with no selection (an editable list also loses its typed text).
void ClearSelection(QComboBox& list);

// Selects the first item whose text begins with `text`, ignoring case; with no such item (or
// an empty text) the list is left with no selection. True when an item was selected.
bool SelectByText(QComboBox& list, const QString& text);

// Selects the item at `index`; an index outside the list leaves no selection.
bool SelectByIndex(QComboBox& list, int index);

// Unchecks every button of an exclusive group (which Qt otherwise keeps at one checked).
void UncheckAll(QButtonGroup& group);

}  // namespace tavlo::ui
