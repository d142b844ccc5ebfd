// The About box: the application icon, the name, the program's version (the package's) and an
// OK button.
#pragma once

#include <QDialog>

namespace tavlo::app {

class AboutDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace tavlo::app
