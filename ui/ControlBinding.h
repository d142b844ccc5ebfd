// Moving the plain control models of a page (pagemodel/PageControls.h) to and from its widgets.
// A page lists each widget beside its control once, in a visit function, and runs it with a
// ControlReader to take a model from the widgets or with a ControlWriter to show a model. The
// writer changes only what differs, so writing back what was read leaves every widget as it was
// (cursor, half-typed address, open edit).
#pragma once

#include <QStringList>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "pagemodel/PageControls.h"

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace tavlo::ui {

class Ipv4AddressEdit;

// The items of a fixed list as list texts.
QStringList ItemTexts(std::span<const std::string_view> items);

// The widget's own enabled state, whatever its parents' (a page inside a disabled window still
// knows which of its boxes are open).
bool OwnEnabled(const QWidget& widget);

struct ControlReader {
    void operator()(const QLineEdit* edit, pagemodel::TextControl& control) const;
    void operator()(const QLabel* label, pagemodel::TextControl& control) const;
    void operator()(const QLabel* label, std::string& text) const;
    // A blank address control reads as the empty text.
    void operator()(const Ipv4AddressEdit* edit, pagemodel::TextControl& control) const;
    void operator()(const QAbstractButton* button, pagemodel::ButtonControl& control) const;
    // An editable list reads its edit text; the item with exactly that text is the selection.
    void operator()(const QComboBox* list, pagemodel::ListControl& control) const;
    // The buttons of an exclusive group, each as it is.
    void group(QButtonGroup& group, std::initializer_list<QAbstractButton*> buttons,
               std::initializer_list<pagemodel::ButtonControl*> controls) const;
};

struct ControlWriter {
    void operator()(QLineEdit* edit, const pagemodel::TextControl& control) const;
    void operator()(QLabel* label, const pagemodel::TextControl& control) const;
    void operator()(QLabel* label, const std::string& text) const;
    void operator()(Ipv4AddressEdit* edit, const pagemodel::TextControl& control) const;
    // A check box (a radio button of a group goes through group()).
    void operator()(QAbstractButton* button, const pagemodel::ButtonControl& control) const;
    void operator()(QComboBox* list, const pagemodel::ListControl& control) const;
    // The buttons of an exclusive group: the checked one, or none checked.
    void group(QButtonGroup& group, std::initializer_list<QAbstractButton*> buttons,
               std::initializer_list<const pagemodel::ButtonControl*> controls) const;
};

}  // namespace tavlo::ui
