#include "ui/ControlBinding.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/Ipv4AddressEdit.h"
#include "ui/ListSelection.h"

namespace tavlo::ui {

namespace {

constexpr int kNoItem = -1;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void WriteEnabled(QWidget& widget, bool enabled) {
    if (OwnEnabled(widget) != enabled) {
        widget.setEnabled(enabled);
    }
}

}  // namespace

QStringList ItemTexts(std::span<const std::string_view> items) {
    QStringList texts;
    for (const std::string_view item : items) {
        texts << QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size()));
    }
    return texts;
}

bool OwnEnabled(const QWidget& widget) {
    return !widget.testAttribute(Qt::WA_ForceDisabled);
}

void ControlReader::operator()(const QLineEdit* edit, pagemodel::TextControl& control) const {
    control.text = edit->text().toStdString();
    control.enabled = OwnEnabled(*edit);
}

void ControlReader::operator()(const QLabel* label, pagemodel::TextControl& control) const {
    control.text = label->text().toStdString();
    control.enabled = OwnEnabled(*label);
}

void ControlReader::operator()(const QLabel* label, std::string& text) const {
    text = label->text().toStdString();
}

void ControlReader::operator()(const Ipv4AddressEdit* edit, pagemodel::TextControl& control) const {
    control.text = edit->isBlank() ? std::string() : edit->text().toStdString();
    control.enabled = OwnEnabled(*edit);
}

void ControlReader::operator()(const QAbstractButton* button,
                               pagemodel::ButtonControl& control) const {
    control.checked = button->isChecked();
    control.enabled = OwnEnabled(*button);
}

void ControlReader::operator()(const QComboBox* list, pagemodel::ListControl& control) const {
    if (control.editable()) {
        control.setEditText(list->currentText().toStdString());
    } else {
        const int index = list->currentIndex();
        control.selectIndex(
            index < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(index)));
    }
    control.setEnabled(OwnEnabled(*list));
}

void ControlReader::group(QButtonGroup& /*group*/, std::initializer_list<QAbstractButton*> buttons,
                          std::initializer_list<pagemodel::ButtonControl*> controls) const {
    auto control = controls.begin();
    for (auto button = buttons.begin(); button != buttons.end() && control != controls.end();
         ++button, ++control) {
        (*this)(*button, **control);
    }
}

void ControlWriter::operator()(QLineEdit* edit, const pagemodel::TextControl& control) const {
    const QString text = FromUtf8(control.text);
    if (edit->text() != text) {
        edit->setText(text);
    }
    WriteEnabled(*edit, control.enabled);
}

void ControlWriter::operator()(QLabel* label, const pagemodel::TextControl& control) const {
    (*this)(label, control.text);
    WriteEnabled(*label, control.enabled);
}

void ControlWriter::operator()(QLabel* label, const std::string& text) const {
    const QString shown = FromUtf8(text);
    if (label->text() != shown) {
        label->setText(shown);
    }
}

void ControlWriter::operator()(Ipv4AddressEdit* edit, const pagemodel::TextControl& control) const {
    if (control.text.empty()) {
        if (!edit->isBlank()) {
            edit->clear();
        }
    } else if (edit->isBlank() || edit->text().toStdString() != control.text) {
        edit->setText(FromUtf8(control.text));
    }
    WriteEnabled(*edit, control.enabled);
}

void ControlWriter::operator()(QAbstractButton* button,
                               const pagemodel::ButtonControl& control) const {
    if (button->isChecked() != control.checked) {
        button->setChecked(control.checked);
    }
    WriteEnabled(*button, control.enabled);
}

void ControlWriter::operator()(QComboBox* list, const pagemodel::ListControl& control) const {
    const auto selection = control.selection();
    const int index = selection ? static_cast<int>(*selection) : kNoItem;
    if (list->currentIndex() != index) {
        if (index == kNoItem) {
            ClearSelection(*list);
        } else {
            list->setCurrentIndex(index);
        }
    }
    if (list->isEditable()) {
        const QString text = FromUtf8(control.text());
        if (list->currentText() != text) {
            list->setEditText(text);
        }
    }
    WriteEnabled(*list, control.enabled());
}

void ControlWriter::group(QButtonGroup& group, std::initializer_list<QAbstractButton*> buttons,
                          std::initializer_list<const pagemodel::ButtonControl*> controls) const {
    QAbstractButton* checked = nullptr;
    auto control = controls.begin();
    for (auto button = buttons.begin(); button != buttons.end() && control != controls.end();
         ++button, ++control) {
        WriteEnabled(**button, (*control)->enabled);
        if ((*control)->checked && checked == nullptr) {
            checked = *button;
        }
    }
    if (checked == nullptr) {
        if (group.checkedButton() != nullptr) {
            UncheckAll(group);
        }
    } else if (!checked->isChecked()) {
        checked->setChecked(true);
    }
}

}  // namespace tavlo::ui
