#pragma once

class QButtonGroup;
class QComboBox;

namespace tavlo::ui {

// Leaves the list with no selection (an editable list also loses its typed text).
void ClearSelection(QComboBox& list);

// Unchecks every button of an exclusive group (which Qt otherwise keeps at one checked).
void UncheckAll(QButtonGroup& group);

}  // namespace tavlo::ui
