// The About box: the application icon, the name and an OK button.
#pragma once

#include <QDialog>

namespace tavlo::app {

class CAboutDlg final : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace tavlo::app
